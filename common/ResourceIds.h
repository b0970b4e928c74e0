/* Resource and control ids of the program, shared by its resource scripts, its
   code, its tests and the UI driver. Plain defines: the resource compiler
   includes this file too. */
#ifndef QUELLOR_COMMON_RESOURCEIDS_H
#define QUELLOR_COMMON_RESOURCEIDS_H

/* The window and file icon: 16, 32 and 48 pixels. */
#define IDI_PROGRAM 128

/* Main dialog. */
#define IDD_SCAN_DIALOG 141
#define IDC_DONE 1070
#define IDC_SCAN 1052
#define IDC_DOWNLOAD 1053
#define IDC_CLOSE_BOX 1054
#define IDC_STATUS_FRAME 1064
#define IDC_STATUS_LINE 1065
#define IDC_SEARCHING_LINE 1076
#define IDC_SUB_TITLE 1068
#define IDC_SUITE_LINE 1075
#define IDC_NOTICE_LINE 1072
#define IDC_HEADLINE 1074
#define IDC_SUITE_LINK 1077
#define IDC_UTILITY_LINK 1080
#define IDC_LOGO 1085
#define IDC_REPORT_FRAME 1034
#define IDC_REPORT_LIST 1055

/* Message dialog. Its OK (1) and Cancel (2) buttons use IDOK and IDCANCEL,
   its YES and NO buttons IDYES (6) and IDNO (7). */
#define IDD_MESSAGE_DIALOG 142
#define IDC_ICON_AREA 1085
#define IDC_MESSAGE_TEXT 1086
#define IDC_PLAIN_OK 3

/* Numbered pictures: the message dialog's icons (42 x 40, 24 bits) and the
   main window's skin (527 x 338, 8 bits). The button bitmaps are named after
   the button captions instead ("SCAN_FOCUS", "SCAN_NOTFOCUS", ...). */
#define IDB_ICON_INFORMATION 152
#define IDB_ICON_QUESTION 153
#define IDB_ICON_WARNING 154
#define IDB_ICON_ERROR 155
#define IDB_SKIN 156

#endif
