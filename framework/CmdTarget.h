#pragma once
#include <windows.h>

#include "framework/Object.h"

class CCmdTarget;

// One line of a message map: the messages it takes (a range, for the colour
// messages), and for WM_COMMAND the command id. The call cracks the parameters
// and runs the class's handler.
struct MessageMapEntry {
  UINT firstMessage;
  UINT lastMessage;
  UINT commandId;  // WM_COMMAND entries only
  LRESULT (*call)(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam);

  bool Matches(UINT message, WPARAM wParam) const;
};

// A class's own entries, ended by an entry without a call, and the map of its
// base class, searched when no own entry matches.
struct MessageMap {
  const MessageMap* base;
  const MessageMapEntry* entries;
};

inline constexpr MessageMapEntry END_OF_MESSAGE_MAP = {0, 0, 0, nullptr};

// A class that handles messages and commands through its message map.
class CCmdTarget : public CObject {
 public:
  const CRuntimeClass* GetRuntimeClass() const override;
  virtual const MessageMap* GetMessageMap() const;

  // Runs the first matching handler of the map chain, most derived class first.
  // False when no entry matches.
  bool DispatchFromMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Runs the handler of a command (a button click or a menu command).
  bool OnCmdMsg(UINT commandId);

  static const CRuntimeClass classCCmdTarget;

 protected:
  static const MessageMap messageMap;
};
