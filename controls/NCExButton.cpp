#include "controls/NCExButton.h"

#include "framework/MessageCrackers.h"

const CRuntimeClass NCExButton::classNCExButton = {"NCExButton", sizeof(NCExButton), &CButton::classCButton};

const MessageMapEntry NCExButton::messageEntries[] = {
    MapMouse<&NCExButton::OnMouseMove>(WM_MOUSEMOVE),
    MapFocus<&NCExButton::OnKillFocus>(WM_KILLFOCUS),
    MapFocus<&NCExButton::OnSetFocus>(WM_SETFOCUS),
    END_OF_MESSAGE_MAP,
};
const MessageMap NCExButton::messageMap = {&CButton::messageMap, NCExButton::messageEntries};

const CRuntimeClass* NCExButton::GetRuntimeClass() const { return &classNCExButton; }

const MessageMap* NCExButton::GetMessageMap() const { return &messageMap; }
