#include "engine/MarkerScanner.h"

// The marker scanner arrives with its own change; until then nothing matches.
int CheckMarkerFile(const char*, const char*) { return 0; }
