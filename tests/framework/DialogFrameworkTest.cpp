#include <gtest/gtest.h>
#include <windows.h>

#include "framework/MessageCrackers.h"
#include "tests/app/TestDialog.h"
#include "tests/support/ModalProbe.h"

namespace {

constexpr INT_PTR OWN_CANCEL_RESULT = 42;
constexpr UINT MISSING_TEMPLATE = 12345;
constexpr UINT BN_SETFOCUS_CODE = BN_SETFOCUS;

// A class whose own map takes IDCANCEL: the most derived map is searched first.
class OwnCancelDialog : public TestDialog {
  void OnCancelByMap() { EndDialog(static_cast<int>(OWN_CANCEL_RESULT)); }

  DECLARE_MESSAGE_MAP()
};
// clang-format off
BEGIN_MESSAGE_MAP(OwnCancelDialog, TestDialog)
    MapCommand<&OwnCancelDialog::OnCancelByMap>(IDCANCEL),
END_MESSAGE_MAP();
// clang-format on

INT_PTR RunWith(CDialog& dialog, ModalProbes::Probe probe) {
  ModalProbes probes;
  probes.Add(std::move(probe));
  const INT_PTR result = dialog.DoModal();
  EXPECT_EQ(0u, probes.Waiting()) << "the dialog never ran the probe";
  return result;
}

RECT WorkArea() {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

TEST(DialogFramework, DataExchangeBindsEachControlToItsObjectUntilTheWindowGoes) {
  TestDialog dialog;
  dialog.bindMissing = true;
  HWND window = nullptr;
  HWND listWindow = nullptr;
  RunWith(dialog, [&](HWND d) {
    window = d;
    listWindow = GetDlgItem(d, IDC_TEST_LIST);
    EXPECT_EQ(&dialog, CWnd::FromHandlePermanent(d));
    EXPECT_EQ(&dialog.skinned, CWnd::FromHandlePermanent(GetDlgItem(d, IDC_TEST_SKINNED)));
    EXPECT_EQ(&dialog.twin, CWnd::FromHandlePermanent(GetDlgItem(d, IDC_TEST_SKINNED_TWIN)));
    EXPECT_EQ(&dialog.list, CWnd::FromHandlePermanent(listWindow));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(GetDlgItem(d, IDC_TEST_HALF))) << "never bound";
    EXPECT_EQ(nullptr, dialog.missing.m_hWnd) << "an item that does not exist leaves the object unbound";
    // The bound list box still works as a list box through its own procedure.
    EXPECT_EQ(0, dialog.list.AddString("first"));
    EXPECT_EQ("first", dialog.list.GetText(0));
    EXPECT_EQ("", dialog.list.GetText(5));
    dialog.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(nullptr, dialog.m_hWnd);
  EXPECT_EQ(nullptr, dialog.list.m_hWnd);
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(window));
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(listWindow));
}

struct CloseCase {
  const char* name;
  void (*act)(HWND dialog);
  INT_PTR result;
  int okCalls;
  int cancelCalls;
};

const CloseCase closeCases[] = {
    {"IDOK command", [](HWND d) { SendMessageA(d, WM_COMMAND, IDOK, 0); }, IDOK, 1, 0},
    {"IDCANCEL command", [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); }, IDCANCEL, 0, 1},
    {"Esc key", [](HWND d) { PostKey(d, VK_ESCAPE); }, IDCANCEL, 0, 1},
    // No default button in the template: Enter gives IDOK.
    {"Enter key", [](HWND d) { PostKey(d, VK_RETURN); }, IDOK, 1, 0},
    {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL, 0, 1},
};

TEST(DialogFramework, OkCancelEscEnterAndTheCloseBoxReachTheVirtualHandlers) {
  for (const CloseCase& c : closeCases) {
    TestDialog dialog;
    EXPECT_EQ(c.result, RunWith(dialog, c.act)) << c.name;
    EXPECT_EQ(c.okCalls, dialog.okCalls) << c.name;
    EXPECT_EQ(c.cancelCalls, dialog.cancelCalls) << c.name;
  }
}

TEST(DialogFramework, OtherNotificationsOfAButtonAreNotCommands) {
  TestDialog dialog;
  RunWith(dialog, [&](HWND d) {
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS_CODE), 0);
    EXPECT_EQ(0, dialog.okCalls);
    dialog.EndDialog(IDCANCEL);
  });
}

TEST(DialogFramework, TheMostDerivedMapIsSearchedFirst) {
  OwnCancelDialog dialog;
  EXPECT_EQ(OWN_CANCEL_RESULT, RunWith(dialog, [](HWND d) { PostKey(d, VK_ESCAPE); }));
  EXPECT_EQ(0, dialog.cancelCalls) << "the base map's IDCANCEL entry must not run";
}

TEST(DialogFramework, ColourMessagesReachOnCtlColorWithTheirKindAndControl) {
  TestDialog dialog;
  RunWith(dialog, [&](HWND d) {
    HDC dc = GetDC(d);
    dialog.colourKinds.clear();
    dialog.colourControlIds.clear();
    dialog.colourControls.clear();
    EXPECT_NE(0, SendMessageA(d, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_TEST_TEXT))));
    SendMessageA(d, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_TEST_LIST)));
    SendMessageA(d, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_TEST_HALF)));
    SendMessageA(d, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(d));
    ReleaseDC(d, dc);
    EXPECT_EQ((std::vector<UINT>{CTLCOLOR_STATIC, CTLCOLOR_LISTBOX, CTLCOLOR_BTN, CTLCOLOR_DLG}), dialog.colourKinds);
    EXPECT_EQ((std::vector<int>{IDC_TEST_TEXT, IDC_TEST_LIST, IDC_TEST_HALF, 0}), dialog.colourControlIds);
    ASSERT_EQ(4u, dialog.colourControls.size());
    EXPECT_EQ(&dialog.text, dialog.colourControls[0]) << "a bound control comes as its own object";
    EXPECT_EQ(&dialog, dialog.colourControls[3]);
    dialog.EndDialog(IDCANCEL);
  });
}

TEST(DialogFramework, ADialogItsInitialisationLeavesInPlaceIsCentredOnTheWorkArea) {
  TestDialog dialog;
  RunWith(dialog, [&](HWND d) {
    RECT rect;
    GetWindowRect(d, &rect);
    const RECT area = WorkArea();
    EXPECT_NEAR((area.left + area.right) / 2, (rect.left + rect.right) / 2, 1);
    EXPECT_NEAR((area.top + area.bottom) / 2, (rect.top + rect.bottom) / 2, 1);
    dialog.EndDialog(IDCANCEL);
  });
}

TEST(DialogFramework, ADialogItsInitialisationMovesStaysWhereItWasPut) {
  TestDialog dialog;
  dialog.moveTo = {37, 41};
  RunWith(dialog, [&](HWND d) {
    RECT rect;
    GetWindowRect(d, &rect);
    EXPECT_EQ(37, rect.left);
    EXPECT_EQ(41, rect.top);
    dialog.EndDialog(IDCANCEL);
  });
}

TEST(DialogFramework, AMissingTemplateMakesDoModalFail) {
  CDialog dialog(MISSING_TEMPLATE);
  EXPECT_EQ(-1, dialog.DoModal());
  EXPECT_EQ(nullptr, dialog.m_hWnd);
}

}  // namespace
