#pragma once
// Pixels as the user sees them: read back from the screen or from a window,
// compared with the program's pictures, and saved as screenshots on request.
#include <windows.h>

#include <string>
#include <vector>

// An image as colours, top row first.
struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;

  bool Empty() const { return pixels.empty(); }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // CLR_INVALID outside the image.
  COLORREF At(int x, int y) const {
    return Contains(x, y) ? pixels[static_cast<std::size_t>(y) * width + x] : CLR_INVALID;
  }
};

// What the screen shows in area (screen coordinates): every window of every
// process, as drawn so far. Empty on failure.
PixelImage CaptureScreen(const RECT& area);
// The window of this process with its frame, read from its own drawing surface.
PixelImage CaptureWindow(HWND window);

// A bitmap resource of module as the program loads it, with the 3-D colour
// mapping (LR_LOADMAP3DCOLORS). Empty when it is missing.
PixelImage LoadMappedPicture(HMODULE module, LPCSTR name);

// How many pixels of picture differ from image when the picture's top-left
// corner lies at image position at; only the part of the picture inside
// extent (width, height from its top-left corner) is compared, and a pixel of
// it outside image counts as different.
int CountDifferences(const PixelImage& image, POINT at, const PixelImage& picture, SIZE extent);
int CountDifferences(const PixelImage& image, POINT at, const PixelImage& picture);

// Writes image as an uncompressed 24-bit BMP file.
bool WriteBitmapFile(const PixelImage& image, const std::string& path);
// The folder named by QUELLOR_SCREENSHOTS, empty when the variable is unset.
std::string ScreenshotFolder();
// Writes image as <folder>\<name>.bmp when a screenshot folder is asked for;
// true when none is asked for or the file was written.
bool SaveScreenshot(const PixelImage& image, const std::string& name);

// "RGB(r,g,b)" for failure messages.
std::string ColourText(COLORREF colour);
