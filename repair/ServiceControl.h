#pragma once

// The longest a stop-pending service is waited for: this many status polls, one
// second apart (the platform's own default wait for a service at shutdown).
inline constexpr int STOP_PENDING_POLL_LIMIT = 20;

// Stops a service by name and waits while it reports stop-pending, for at most
// STOP_PENDING_POLL_LIMIT polls. 1 when it ended stopped, 0 otherwise (no such
// service, stop refused, still stop-pending at the limit, or another state).
int StopService(const char* serviceName);
// The same with a poll limit of the caller's.
int StopServiceWithin(const char* serviceName, int pollLimit);

// Restarts Windows at once, forcing applications to close; on the NT family
// after enabling the shutdown privilege. 0 when the process token cannot be
// opened, the platform's error when the privilege cannot be enabled, otherwise
// the result of the restart request.
int RestartWindows();
