#pragma once

// Stops a service by name and waits while it is stop-pending. 1 when stopped.
int StopService(const char* serviceName);
// Restarts Windows at once, forcing applications to close.
int RestartWindows();
