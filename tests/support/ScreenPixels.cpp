#include "tests/support/ScreenPixels.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr WORD CAPTURE_BITS = 32;
constexpr WORD FILE_BITS = 24;
constexpr WORD BITMAP_FILE_MAGIC = 0x4D42;  // "BM"
constexpr DWORD ROW_ALIGNMENT = 4;
constexpr char SCREENSHOT_VARIABLE[] = "QUELLOR_SCREENSHOTS";

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = CAPTURE_BITS;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

COLORREF FromQuad(DWORD quad) { return RGB((quad >> 16) & 0xFF, (quad >> 8) & 0xFF, quad & 0xFF); }

// Copies width x height pixels at (x, y) of source into an image.
PixelImage CopyFrom(HDC source, int x, int y, int width, int height) {
  PixelImage image;
  if (width <= 0 || height <= 0) return image;
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(source);
  if (section && bits && memory) {
    HGDIOBJ previous = SelectObject(memory, section);
    if (BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY)) {
      GdiFlush();
      const DWORD* quads = static_cast<const DWORD*>(bits);
      image.width = width;
      image.height = height;
      image.pixels.reserve(static_cast<std::size_t>(width) * height);
      for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i)
        image.pixels.push_back(FromQuad(quads[i]));
    }
    SelectObject(memory, previous);
  }
  if (memory) DeleteDC(memory);
  if (section) DeleteObject(section);
  return image;
}

}  // namespace

PixelImage CaptureScreen(const RECT& area) {
  HDC screen = GetDC(nullptr);
  if (!screen) return PixelImage();
  PixelImage image = CopyFrom(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
  ReleaseDC(nullptr, screen);
  return image;
}

PixelImage CaptureWindow(HWND window) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return PixelImage();
  HDC dc = GetWindowDC(window);
  if (!dc) return PixelImage();
  PixelImage image = CopyFrom(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top);
  ReleaseDC(window, dc);
  return image;
}

PixelImage LoadMappedPicture(HMODULE module, LPCSTR name) {
  PixelImage picture;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  if (!bitmap) return picture;
  BITMAP description = {};
  if (GetObjectA(bitmap, sizeof description, &description) && description.bmWidth > 0 && description.bmHeight > 0) {
    BITMAPINFO request = TopDown32(description.bmWidth, description.bmHeight);
    std::vector<DWORD> quads(static_cast<std::size_t>(description.bmWidth) * description.bmHeight);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, description.bmHeight, quads.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows == description.bmHeight) {
      picture.width = description.bmWidth;
      picture.height = description.bmHeight;
      for (DWORD quad : quads) picture.pixels.push_back(FromQuad(quad));
    }
  }
  DeleteObject(bitmap);
  return picture;
}

int CountDifferences(const PixelImage& image, POINT at, const PixelImage& picture, SIZE extent) {
  const int width = extent.cx < picture.width ? extent.cx : picture.width;
  const int height = extent.cy < picture.height ? extent.cy : picture.height;
  int differences = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (image.At(at.x + x, at.y + y) != picture.At(x, y)) ++differences;
  return differences;
}

int CountDifferences(const PixelImage& image, POINT at, const PixelImage& picture) {
  return CountDifferences(image, at, picture, SIZE{picture.width, picture.height});
}

bool WriteBitmapFile(const PixelImage& image, const std::string& path) {
  if (image.Empty()) return false;
  const DWORD rowBytes = (static_cast<DWORD>(image.width) * 3 + ROW_ALIGNMENT - 1) / ROW_ALIGNMENT * ROW_ALIGNMENT;
  const DWORD dataBytes = rowBytes * static_cast<DWORD>(image.height);
  BITMAPFILEHEADER file = {};
  file.bfType = BITMAP_FILE_MAGIC;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + dataBytes;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = image.width;
  header.biHeight = image.height;  // bottom-up, as BMP files usually are
  header.biPlanes = 1;
  header.biBitCount = FILE_BITS;
  header.biCompression = BI_RGB;
  header.biSizeImage = dataBytes;
  std::vector<BYTE> data(dataBytes, 0);
  for (int y = 0; y < image.height; ++y) {
    BYTE* row = data.data() + static_cast<std::size_t>(image.height - 1 - y) * rowBytes;
    for (int x = 0; x < image.width; ++x) {
      const COLORREF colour = image.At(x, y);
      row[3 * x] = GetBValue(colour);
      row[3 * x + 1] = GetGValue(colour);
      row[3 * x + 2] = GetRValue(colour);
    }
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1 &&
                 std::fwrite(data.data(), 1, data.size(), out) == data.size();
  written = std::fclose(out) == 0 && written;
  return written;
}

std::string ScreenshotFolder() {
  const char* folder = std::getenv(SCREENSHOT_VARIABLE);
  return folder ? folder : "";
}

bool SaveScreenshot(const PixelImage& image, const std::string& name) {
  const std::string folder = ScreenshotFolder();
  if (folder.empty()) return true;
  CreateDirectoryA(folder.c_str(), nullptr);
  return WriteBitmapFile(image, folder + "\\" + name + ".bmp");
}

std::string ColourText(COLORREF colour) {
  char text[32];
  std::snprintf(text, sizeof text, "RGB(%u,%u,%u)", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}
