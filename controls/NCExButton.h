#pragma once
#include "controls/SkinButton.h"

// The message dialog's bitmap button: no mouse cursor of its own.
class NCExButton : public CSkinButton {
 public:
  const CRuntimeClass* GetRuntimeClass() const override;
  const MessageMap* GetMessageMap() const override;
  static const CRuntimeClass classNCExButton;

 protected:
  static const MessageMap messageMap;

 private:
  static const MessageMapEntry messageEntries[];
};
