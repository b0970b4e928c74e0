// Linked into the test programs instead of repair/RestartRequest.cpp.
#include "tests/support/RecordingRestart.h"

#include "repair/RestartRequest.h"

std::vector<unsigned>& RestartRequests() {
  static std::vector<unsigned> requests;
  return requests;
}

BOOL RequestRestart(UINT flags) {
  RestartRequests().push_back(flags);
  return TRUE;
}
