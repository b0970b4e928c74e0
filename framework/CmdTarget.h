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

// A class's message map: DECLARE_MESSAGE_MAP in the class declares it and the
// override that returns it; in the class's source file
//
//   BEGIN_MESSAGE_MAP(CScanDlg, CDialog)
//     MapCommand<&CScanDlg::OnScan>(IDC_SCAN),
//   END_MESSAGE_MAP();
//
// defines its entries (builders in framework/MessageCrackers.h), searched
// before those of the base class's map.
#define DECLARE_MESSAGE_MAP()                       \
 public:                                            \
  const MessageMap* GetMessageMap() const override; \
                                                    \
 protected:                                         \
  static const MessageMap messageMap;               \
                                                    \
 private:                                           \
  static const MessageMapEntry messageEntries[];

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                \
  const MessageMap* theClass::GetMessageMap() const { return &messageMap; }                   \
  const MessageMap theClass::messageMap = {&baseClass::messageMap, theClass::messageEntries}; \
  const MessageMapEntry theClass::messageEntries[] = {
#define END_MESSAGE_MAP() \
  END_OF_MESSAGE_MAP,     \
  }

// A class that handles messages and commands through its message map.
class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)

 public:
  // The root of every map chain: no entries.
  virtual const MessageMap* GetMessageMap() const;

  // Runs the first matching handler of the map chain, most derived class first.
  // False when no entry matches.
  bool DispatchFromMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Runs the handler of a command (a button click or a menu command).
  bool OnCmdMsg(UINT commandId);

 protected:
  static const MessageMap messageMap;
};
