// Stand-in until the window shape and the pixel layout are built: no region
// (the window keeps its rectangle) and no child is moved.
#include "controls/WindowShape.h"

HRGN RegionFromBitmap(HBITMAP, COLORREF, BOOL) { return nullptr; }

BOOL ScaleChildWindows(HWND, int, int, BOOL) { return TRUE; }
