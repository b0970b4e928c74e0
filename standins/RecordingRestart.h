#pragma once
#include <vector>

// Linked into test programs instead of the real restart: every request is
// recorded (its flags, also in the child journal when one is set) and answered
// TRUE; the machine is never restarted.
std::vector<unsigned>& RestartRequests();
