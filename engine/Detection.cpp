#include "engine/Detection.h"

// Detection and disposal arrive with their own change; until then no file is
// recognised.
int32_t DetectAndDispose(const char*, const char*) { return 0; }
