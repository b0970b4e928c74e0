#pragma once
#include <windows.h>

#include "common/ResourceIds.h"
#include "controls/NCExButton.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"

// Which buttons the message dialog shows.
enum class MessageMode {
  None,      // none chosen: no button shows
  PlainOk,   // the plain OK button
  OkCancel,  // OK and Cancel
  YesNo,     // YES and NO
};

// The skinned message dialog: a light-blue face, an icon picture, the message
// text and bitmap buttons, laid out for the length of the text. Choose the
// mode before DoModal.
class CMsgDlg : public CDialog {
 public:
  explicit CMsgDlg(CWnd* parent = nullptr);

  CStatic m_iconArea;
  NCExButton m_yesButton;
  NCExButton m_okButton;
  NCExButton m_noButton;
  NCExButton m_plainOkButton;
  NCExButton m_cancelButton;
  CStatic m_messageText;
  int m_iconBitmapId = IDB_ICON_WARNING;
  MessageMode m_mode = MessageMode::None;
  CString m_text;
  CString m_title = "Tessmark Ver 7.5";

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  BOOL OnInitDialog() override;
  // OK (1) and the Enter key: 1 in every mode.
  void OnOK() override;
  // Cancel (2), Esc and the close box: No in Yes/No mode, else Cancel.
  void OnCancel() override;

 private:
  void OnYes();
  void OnPaint();
  void OnNo();
  void OnPlainOk();
  HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind);

  void ShowModeButtons();

  CBrush m_faceBrush;

  DECLARE_MESSAGE_MAP()
};

// The face colour of the message dialog (and the body of the main dialog's skin).
inline constexpr COLORREF MESSAGE_FACE_COLOUR = RGB(207, 233, 254);
