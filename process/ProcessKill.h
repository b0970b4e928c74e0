#pragma once

// Terminates the process(es) running the given file by the method of the
// platform. Non-zero: the caller is to try deleting the file again.
int KillProcessByPath(const char* path);
