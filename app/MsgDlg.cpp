#include "app/MsgDlg.h"

#include "app/AppShared.h"
#include "common/ProgramTexts.h"
#include "framework/MessageCrackers.h"
#include "framework/WinApp.h"

namespace {

// The dialog grows with its text: by a = 10 * (n / 30 + 1) units, b = 1.25 a
// pixels wider and c = a - b / 4 pixels taller.
constexpr int TEXT_STEP_LENGTH = 30;
constexpr int GROWTH_PER_STEP = 10;
constexpr double WIDTH_PER_GROWTH = 1.25;
constexpr int LONG_TEXT_GROWTH = 30;  // beyond this the icon moves up
constexpr int BUTTON_ROW_FROM_BOTTOM = 65;
constexpr int TEXT_RAISE = 25;
constexpr int ICON_ABOVE_TEXT = 30;
constexpr int HIGH_DPI_EXTRA_HEIGHT = 25;

struct Growth {
  int a;
  int b;
  int c;
};

Growth GrowthFor(std::size_t textLength) {
  Growth growth;
  growth.a = GROWTH_PER_STEP * static_cast<int>(textLength / TEXT_STEP_LENGTH + 1);
  growth.b = static_cast<int>(growth.a * WIDTH_PER_GROWTH);
  growth.c = growth.a - growth.b / 4;
  return growth;
}

// Moves a control to a position taken from screen coordinates, keeping its size.
void MoveKeepingSize(CWnd& control, int x, int y) {
  CRect rect;
  control.GetWindowRect(rect);
  control.MoveWindow(x, y, rect.Width(), rect.Height());
}

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CMsgDlg, CDialog)
    MapCommand<&CMsgDlg::OnYes>(IDYES),
    MapPaint<&CMsgDlg::OnPaint>(),
    MapCommand<&CMsgDlg::OnNo>(IDNO),
    MapCommand<&CMsgDlg::OnPlainOk>(IDC_PLAIN_OK),
    MapCtlColor<&CMsgDlg::OnCtlColor>(),
END_MESSAGE_MAP();
// clang-format on

CMsgDlg::CMsgDlg(CWnd* parent) : CDialog(IDD_MESSAGE_DIALOG, parent) {
  m_faceBrush.CreateSolidBrush(MESSAGE_FACE_COLOUR);
}

void CMsgDlg::DoDataExchange(CDataExchange* exchange) {
  CDialog::DoDataExchange(exchange);
  DDX_Control(exchange, IDC_ICON_AREA, m_iconArea);
  DDX_Control(exchange, IDYES, m_yesButton);
  DDX_Control(exchange, IDOK, m_okButton);
  DDX_Control(exchange, IDNO, m_noButton);
  DDX_Control(exchange, IDC_PLAIN_OK, m_plainOkButton);
  DDX_Control(exchange, IDCANCEL, m_cancelButton);
  DDX_Control(exchange, IDC_MESSAGE_TEXT, m_messageText);
}

// Positions are read in screen coordinates while the dialog stands at the
// screen origin and given back unchanged as positions within the dialog.
BOOL CMsgDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  const Growth growth = GrowthFor(static_cast<std::size_t>(m_text.GetLength()));
  CRect dialogRect;
  GetWindowRect(dialogRect);
  MoveWindow(0, 0, dialogRect.Width() + growth.b, dialogRect.Height() + growth.c);
  GetWindowRect(dialogRect);
  const int buttonTop = dialogRect.bottom - BUTTON_ROW_FROM_BOTTOM;

  CRect textRect;
  m_messageText.GetWindowRect(textRect);
  m_messageText.MoveWindow(textRect.left, textRect.top - TEXT_RAISE, textRect.Width() + growth.b,
                           textRect.Height() + growth.c + (dialogShared.highDpi ? HIGH_DPI_EXTRA_HEIGHT : 0));
  const int iconTop = textRect.top - ICON_ABOVE_TEXT;

  NCExButton* const buttons[] = {&m_plainOkButton, &m_okButton, &m_cancelButton, &m_yesButton, &m_noButton};
  for (NCExButton* button : buttons) {
    CRect rect;
    button->GetWindowRect(rect);
    MoveKeepingSize(*button, rect.left + growth.b / 2, buttonTop);
  }
  ShowModeButtons();
  m_okButton.LoadSkin(IDOK, this);
  m_plainOkButton.LoadSkin(IDC_PLAIN_OK, this);
  m_cancelButton.LoadSkin(IDCANCEL, this);
  m_yesButton.LoadSkin(IDYES, this);
  m_noButton.LoadSkin(IDNO, this);
  if (growth.a > LONG_TEXT_GROWTH) {
    CRect iconRect;
    m_iconArea.GetWindowRect(iconRect);
    MoveKeepingSize(m_iconArea, iconRect.left, iconTop);
  }
  m_messageText.SetWindowText(m_text);
  SetWindowText(m_title.IsEmpty() ? PROGRAM_TITLE : m_title.GetString());
  if (dialogShared.mainDialog) CenterWindow(dialogShared.mainDialog);
  return TRUE;
}

void CMsgDlg::ShowModeButtons() {
  const auto showIn = [this](MessageMode mode) { return m_mode == mode ? SW_SHOW : SW_HIDE; };
  m_plainOkButton.ShowWindow(showIn(MessageMode::PlainOk));
  m_okButton.ShowWindow(showIn(MessageMode::OkCancel));
  m_cancelButton.ShowWindow(showIn(MessageMode::OkCancel));
  m_yesButton.ShowWindow(showIn(MessageMode::YesNo));
  m_noButton.ShowWindow(showIn(MessageMode::YesNo));
}

void CMsgDlg::OnOK() { EndDialog(IDOK); }

void CMsgDlg::OnCancel() { EndDialog(m_mode == MessageMode::YesNo ? IDNO : IDCANCEL); }

void CMsgDlg::OnYes() { EndDialog(IDYES); }

void CMsgDlg::OnNo() { EndDialog(IDNO); }

void CMsgDlg::OnPlainOk() { EndDialog(IDOK); }

// The icon picture is copied into the icon area at its client origin and in
// its client size: a larger picture is cropped at the right and bottom.
void CMsgDlg::OnPaint() {
  CPaintDC paint(this);
  HBITMAP icon = static_cast<HBITMAP>(
      ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_iconBitmapId), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  if (!icon) return;
  {
    CClientDC iconDC(&m_iconArea);
    CDC memory;
    if (memory.CreateCompatibleDC(&iconDC)) {
      if (HGDIOBJ previous = memory.SelectObject(icon)) {
        CRect area;
        m_iconArea.GetClientRect(area);
        iconDC.BitBlt(0, 0, area.Width(), area.Height(), &memory, 0, 0, SRCCOPY);
        memory.SelectObject(previous);
      }
    }
  }
  ::DeleteObject(icon);
}

HBRUSH CMsgDlg::OnCtlColor(CDC* dc, CWnd* control, UINT kind) {
  HBRUSH brush = CDialog::OnCtlColor(dc, control, kind);
  dc->SetBkMode(TRANSPARENT);
  if (kind == CTLCOLOR_DLG || kind == CTLCOLOR_STATIC) return m_faceBrush;
  return brush;
}
