#pragma once

// Checks the hosts file and removes the Run/RunServices values that start the
// infected file. Returns 1.
int RepairStartupEntries(const char* detectionName);
