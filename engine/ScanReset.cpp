// The one reset of everything the engine, the repairs and the process code
// keep between calls (declared with the scan state). Each owner resets its
// own record; this file knows them all. The program never calls it.
#include <cstring>

#include "engine/Detection.h"
#include "engine/MarkerScanner.h"
#include "engine/PeLocator.h"
#include "engine/ScanState.h"
#include "engine/VariantTable.h"
#include "process/MemorySweep.h"
#include "repair/Quarantine.h"

void ResetScanState() {
  scanState = ScanState();
  std::memset(removedValueName, 0, sizeof removedValueName);
  ResetDetectionState();
  ResetPeHeaders();
  ResetMarkerScanState();
  ResetQuarantineFolders();
  sweepRestartFlag = false;
}
