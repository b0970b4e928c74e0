// Linked into the test programs instead of repair/RestartRequest.cpp.
#include "standins/RecordingRestart.h"

#include <string>

#include "repair/RestartRequest.h"
#include "tests/support/ChildJournal.h"

std::vector<unsigned>& RestartRequests() {
  static std::vector<unsigned> requests;
  return requests;
}

BOOL RequestRestart(UINT flags) {
  RestartRequests().push_back(flags);
  WriteChildJournal("restart " + std::to_string(flags));
  return TRUE;
}
