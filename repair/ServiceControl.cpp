#include "repair/ServiceControl.h"

// Service stop and restart arrive with their own change; until then neither
// happens.
int StopService(const char*) { return 0; }
int RestartWindows() { return 0; }
