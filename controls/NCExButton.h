#pragma once
#include "controls/SkinButton.h"

// The message dialog's bitmap button: no mouse cursor of its own.
class NCExButton : public CSkinButton {
  DECLARE_DYNAMIC(NCExButton)
  DECLARE_MESSAGE_MAP()
};
