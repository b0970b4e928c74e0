#pragma once

// Checks the image file of every running process before the drive walk,
// terminating infected processes and disposing of their files. May end the
// program after a find in memory.
void SweepMemory();
