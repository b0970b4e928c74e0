#pragma once
#include <windows.h>

// Window shape and fixed pixel layout of the skinned main window.

// A region covering the bitmap's pixels that differ from keyColour (excludeKey
// non-zero) or that equal it (excludeKey zero), made of one-pixel-high runs.
// Only red, green and blue are compared. Returns NULL when there is no bitmap
// or the working image cannot be made. The caller owns the region.
HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF keyColour, BOOL excludeKey);

// Rescales every child window of `window`, descendants included, so that its
// client area maps onto referenceWidth x referenceHeight pixels: each child's
// screen edges are divided by (client size / reference size) and truncated.
// hasMenu has no effect. Returns the result of the child enumeration, FALSE when
// a size is not positive (nothing is moved then).
BOOL ScaleChildWindows(HWND window, int referenceWidth, int referenceHeight, BOOL hasMenu);
