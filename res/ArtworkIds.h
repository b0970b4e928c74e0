#ifndef QUELLOR_RES_ARTWORKIDS_H
#define QUELLOR_RES_ARTWORKIDS_H

// Numbered artwork resources. The button bitmaps are named after the button
// captions instead ("SCAN_FOCUS", "SCAN_NOTFOCUS", "SCAN_DISABLE", ...).
// Plain defines: the resource script includes this file too.

#define IDI_PROGRAM 128           /* the window and file icon: 16, 32 and 48 pixels */
#define IDB_ICON_INFORMATION 152  /* message dialog icons, 42 x 40, 24 bits */
#define IDB_ICON_QUESTION 153
#define IDB_ICON_WARNING 154
#define IDB_ICON_ERROR 155
#define IDB_SKIN 156              /* the main window's skin, 527 x 338, 8 bits */

#endif
