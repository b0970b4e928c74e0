#include "process/MemorySweep.h"

#include "engine/ScanState.h"
#include "process/OsProbe.h"

// The process listing of the sweep arrives with its own change. The frame is
// here already: sweep mode is on only while the sweep runs, so that the walk
// afterwards counts files.
void SweepMemory() {
  const int family = GetOsFamily();
  scanState.sweepMode = 1;
  (void)family;
  scanState.sweepMode = 0;
}
