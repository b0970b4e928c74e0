#include "tests/support/EngineFixture.h"

#include "standins/RecordingRestart.h"
#include "standins/ScriptedMessageBox.h"

EngineTest::EngineTest(const std::string& root, ScanStart start) : tree_(root) {
  ResetScanState();
  Answers().Reset();
  RestartRequests().clear();
  scanState.sweepMode = start == ScanStart::AtProgramStart;
  scanState.notifyWindow = collector_.window();
  scanState.disposalChoice = DISPOSE_DELETE;
}

EngineTest::~EngineTest() { ResetScanState(); }
