#pragma once
#include <windows.h>

// A window region covering the pixels of bitmap that differ from keyColour
// (excludeKey non-zero) or that match it (excludeKey zero); nullptr when it
// cannot be made. The caller owns the region.
HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF keyColour, BOOL excludeKey);

// Rescales every child window of window so that its client area maps onto a
// referenceWidth x referenceHeight pixel plan.
BOOL ScaleChildWindows(HWND window, int referenceWidth, int referenceHeight, BOOL hasMenu);
