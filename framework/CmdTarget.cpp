#include "framework/CmdTarget.h"

namespace {
const MessageMapEntry noEntries[] = {END_OF_MESSAGE_MAP};
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
const MessageMap CCmdTarget::messageMap = {nullptr, noEntries};

bool MessageMapEntry::Matches(UINT message, WPARAM wParam) const {
  if (message < firstMessage || message > lastMessage) return false;
  // A command entry takes clicks and menu commands only, not other notifications.
  return message != WM_COMMAND || (LOWORD(wParam) == commandId && HIWORD(wParam) == BN_CLICKED);
}

const MessageMap* CCmdTarget::GetMessageMap() const { return &messageMap; }

bool CCmdTarget::DispatchFromMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
    for (const MessageMapEntry* entry = map->entries; entry->call; ++entry) {
      if (entry->Matches(message, wParam)) {
        result = entry->call(this, message, wParam, lParam);
        return true;
      }
    }
  }
  return false;
}

bool CCmdTarget::OnCmdMsg(UINT commandId) {
  LRESULT ignored = 0;
  return DispatchFromMap(WM_COMMAND, MAKEWPARAM(commandId, BN_CLICKED), 0, ignored);
}
