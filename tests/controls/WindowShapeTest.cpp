#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "controls/WindowShape.h"

namespace {

constexpr COLORREF KEY = RGB(255, 0, 255);
constexpr COLORREF INK = RGB(10, 20, 30);
constexpr COLORREF NEAR_KEY = RGB(255, 0, 254);

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

std::string Show(const std::vector<RECT>& rects) {
  std::string text;
  for (const RECT& r : rects) text += Show(r) + " ";
  return text;
}

// The colour a pattern character stands for: '.' the key, '~' a colour one step
// from the key, anything else ink.
COLORREF ColourOf(char c) { return c == '.' ? KEY : c == '~' ? NEAR_KEY : INK; }

// How the test hands the picture to RegionFromBitmap: each source format is
// read through the same 32-bit working image.
enum class Source { Dib32, Dib8, ScreenDdb };

const char* Name(Source source) {
  switch (source) {
    case Source::Dib32:
      return "32-bit DIB section";
    case Source::Dib8:
      return "8-bit DIB section";
    case Source::ScreenDdb:
      return "screen-compatible bitmap";
  }
  return "";
}

// A 32-bit top-down DIB section; the reserved byte of every pixel is 0xFF.
HBITMAP MakeDib32(const std::vector<std::string>& rows) {
  const int width = static_cast<int>(rows[0].size());
  const int height = static_cast<int>(rows.size());
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* pixels = static_cast<DWORD*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = ColourOf(rows[y][x]);
      pixels[y * width + x] = 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
  }
  return bitmap;
}

// An 8-bit bottom-up DIB section with a three-colour table.
HBITMAP MakeDib8(const std::vector<std::string>& rows) {
  const int width = static_cast<int>(rows[0].size());
  const int height = static_cast<int>(rows.size());
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[3];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = 3;
  const COLORREF table[3] = {INK, KEY, NEAR_KEY};
  for (int i = 0; i < 3; ++i) info.colours[i] = {GetBValue(table[i]), GetGValue(table[i]), GetRValue(table[i]), 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const int stride = (width + 3) & ~3;
  for (int y = 0; y < height; ++y) {
    BYTE* row = static_cast<BYTE*>(bits) + (height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) row[x] = rows[y][x] == '.' ? 1 : rows[y][x] == '~' ? 2 : 0;
  }
  return bitmap;
}

// A bitmap of the screen's format, painted pixel by pixel.
HBITMAP MakeScreenBitmap(const std::vector<std::string>& rows) {
  const int width = static_cast<int>(rows[0].size());
  const int height = static_cast<int>(rows.size());
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SetPixelV(dc, x, y, ColourOf(rows[y][x]));
  SelectObject(dc, previous);
  DeleteDC(dc);
  return bitmap;
}

HBITMAP MakeBitmap(Source source, const std::vector<std::string>& rows) {
  switch (source) {
    case Source::Dib32:
      return MakeDib32(rows);
    case Source::Dib8:
      return MakeDib8(rows);
    case Source::ScreenDdb:
      return MakeScreenBitmap(rows);
  }
  return nullptr;
}

// The region's rectangles as the platform stores them.
std::vector<RECT> RectanglesOf(HRGN region) {
  const DWORD size = GetRegionData(region, 0, nullptr);
  std::vector<BYTE> buffer(size);
  if (size == 0 || GetRegionData(region, size, reinterpret_cast<RGNDATA*>(buffer.data())) != size) return {};
  const auto* data = reinterpret_cast<const RGNDATA*>(buffer.data());
  const auto* first = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(first, first + data->rdh.nCount);
}

// Which pixels the region holds, in the pattern's own notation ('#' in, '.' out).
std::vector<std::string> CoverageOf(HRGN region, int width, int height) {
  std::vector<std::string> rows(height, std::string(width, '.'));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (PtInRegion(region, x, y)) rows[y][x] = '#';
  return rows;
}

// Holds the bitmap and the region of one case and deletes both.
struct Shaped {
  Shaped(HBITMAP b, COLORREF key, BOOL exclude) : bitmap(b), region(RegionFromBitmap(b, key, exclude)) {}
  ~Shaped() {
    if (region) DeleteObject(region);
    if (bitmap) DeleteObject(bitmap);
  }
  HBITMAP bitmap;
  HRGN region;
};

class RegionFromBitmapTest : public ::testing::TestWithParam<Source> {};

TEST_P(RegionFromBitmapTest, BitmapWithoutKeyPixelsGivesItsWholeRectangle) {
  Shaped shaped(MakeBitmap(GetParam(), {"#####", "#####", "#####"}), KEY, TRUE);
  ASSERT_NE(nullptr, shaped.region) << Name(GetParam());
  EXPECT_EQ(Show(std::vector<RECT>{{0, 0, 5, 3}}), Show(RectanglesOf(shaped.region))) << Name(GetParam());
}

TEST_P(RegionFromBitmapTest, ExcludingTheKeyCoversEveryOtherPixel) {
  const std::vector<std::string> picture = {
      "#####",  // one run over the whole row
      ".....",  // only key pixels: no rectangle
      "..#..",  // a lone pixel between key pixels
      "##..#",  // the last run closes at the row's end
      "~.#.~",  // a colour one step from the key is not the key
  };
  Shaped shaped(MakeBitmap(GetParam(), picture), KEY, TRUE);
  ASSERT_NE(nullptr, shaped.region) << Name(GetParam());
  const std::vector<RECT> expected = {{0, 0, 5, 1}, {2, 2, 3, 3}, {0, 3, 2, 4}, {4, 3, 5, 4},
                                      {0, 4, 1, 5}, {2, 4, 3, 5}, {4, 4, 5, 5}};
  EXPECT_EQ(Show(expected), Show(RectanglesOf(shaped.region))) << Name(GetParam());
  const std::vector<std::string> covered = {"#####", ".....", "..#..", "##..#", "#.#.#"};
  EXPECT_EQ(covered, CoverageOf(shaped.region, 5, 5)) << Name(GetParam());
}

TEST_P(RegionFromBitmapTest, KeepingTheKeyCoversExactlyTheKeyPixels) {
  const std::vector<std::string> picture = {"#####", ".....", "..#..", "##..#", "~.#.~"};
  Shaped shaped(MakeBitmap(GetParam(), picture), KEY, FALSE);
  ASSERT_NE(nullptr, shaped.region) << Name(GetParam());
  const std::vector<std::string> covered = {".....", "#####", "##.##", "..##.", ".#.#."};
  EXPECT_EQ(covered, CoverageOf(shaped.region, 5, 5)) << Name(GetParam());
}

INSTANTIATE_TEST_SUITE_P(SourceFormats, RegionFromBitmapTest,
                         ::testing::Values(Source::Dib32, Source::Dib8, Source::ScreenDdb));

TEST(RegionFromBitmap, PictureOfOnlyKeyPixelsGivesAnEmptyRegion) {
  Shaped shaped(MakeDib32({"...", "..."}), KEY, TRUE);
  ASSERT_NE(nullptr, shaped.region);
  RECT box;
  EXPECT_EQ(NULLREGION, GetRgnBox(shaped.region, &box));
}

// A picture two pixels wide whose covered pixel alternates from row to row, so
// that the platform can merge no two rows: one rectangle per row comes back.
std::vector<std::string> Staircase(int rows) {
  std::vector<std::string> picture;
  for (int y = 0; y < rows; ++y) picture.push_back(y % 2 ? ".#" : "#.");
  return picture;
}

std::vector<RECT> StaircaseRects(int rows) {
  std::vector<RECT> rects;
  for (int y = 0; y < rows; ++y) rects.push_back(RECT{y % 2, y, y % 2 + 1, y + 1});
  return rects;
}

TEST(RegionFromBitmap, NoRectangleIsLostAtTheBatchBoundaries) {
  // 99/100/101 cross the first growth of the block; 2000 fills exactly one batch
  // (the last one left empty), 2001 starts the next batch with one rectangle,
  // 4001 needs three batches.
  for (int rows : {99, 100, 101, 1999, 2000, 2001, 4000, 4001}) {
    Shaped shaped(MakeDib32(Staircase(rows)), KEY, TRUE);
    ASSERT_NE(nullptr, shaped.region) << rows << " rows";
    const std::vector<RECT> got = RectanglesOf(shaped.region);
    ASSERT_EQ(static_cast<size_t>(rows), got.size()) << rows << " rows";
    const std::vector<RECT> expected = StaircaseRects(rows);
    for (int y = 0; y < rows; ++y)
      ASSERT_TRUE(expected[y] == got[y]) << "row " << y << " of " << rows << ": " << Show(got[y]);
  }
}

TEST(RegionFromBitmap, BatchBoundaryInsideOneRow) {
  // One row of 2001 lone pixels separated by key pixels.
  std::string row;
  for (int i = 0; i < 2001; ++i) row += "#.";
  Shaped shaped(MakeDib32({row, row}), KEY, TRUE);
  ASSERT_NE(nullptr, shaped.region);
  const std::vector<RECT> got = RectanglesOf(shaped.region);
  ASSERT_EQ(2001u, got.size()) << "both rows merge into one band of 2001 rectangles";
  for (int i = 0; i < 2001; ++i) ASSERT_TRUE((RECT{2 * i, 0, 2 * i + 1, 2}) == got[i]) << "rectangle " << i;
}

TEST(RegionFromBitmap, NoBitmapOrNotABitmapGivesNoRegion) {
  EXPECT_EQ(nullptr, RegionFromBitmap(nullptr, KEY, TRUE));
  HBRUSH brush = CreateSolidBrush(INK);
  EXPECT_EQ(nullptr, RegionFromBitmap(reinterpret_cast<HBITMAP>(brush), KEY, TRUE));
  DeleteObject(brush);
  HBITMAP deleted = MakeDib32({"##"});
  DeleteObject(deleted);
  EXPECT_EQ(nullptr, RegionFromBitmap(deleted, KEY, TRUE));
}

TEST(RegionFromBitmap, BitmapHeldByAnotherContextGivesNoRegion) {
  HBITMAP bitmap = MakeDib32({"##", "##"});
  HDC holder = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(holder, bitmap);
  ASSERT_NE(nullptr, previous);
  EXPECT_EQ(nullptr, RegionFromBitmap(bitmap, KEY, TRUE)) << "a region from an unreadable picture";
  SelectObject(holder, previous);
  DeleteDC(holder);
  DeleteObject(bitmap);
}

TEST(RegionFromBitmap, SourceBitmapIsReleasedAndUnchanged) {
  HBITMAP bitmap = MakeDib32({"#.#", "..."});
  HRGN region = RegionFromBitmap(bitmap, KEY, TRUE);
  ASSERT_NE(nullptr, region);
  DeleteObject(region);
  // Selectable again: the function deselected it from its own context.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  EXPECT_NE(nullptr, previous);
  EXPECT_EQ(INK, GetPixel(dc, 0, 0));
  EXPECT_EQ(KEY, GetPixel(dc, 1, 0));
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

TEST(RegionFromBitmap, SkinSizedPictureShapesAWindow) {
  // The main window's use: a 527 x 338 picture without key pixels, set as a
  // real window's region; the window is hit inside the picture only.
  std::vector<std::string> picture(338, std::string(527, '#'));
  Shaped shaped(MakeScreenBitmap(picture), KEY, TRUE);
  ASSERT_NE(nullptr, shaped.region);
  EXPECT_EQ(Show(std::vector<RECT>{{0, 0, 527, 338}}), Show(RectanglesOf(shaped.region)));

  HWND window =
      CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 600, 462, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  ASSERT_NE(0, SetWindowRgn(window, shaped.region, TRUE));
  shaped.region = nullptr;  // the window owns it now
  HRGN held = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(SIMPLEREGION, GetWindowRgn(window, held));
  RECT box;
  GetRgnBox(held, &box);
  EXPECT_EQ(Show(RECT{0, 0, 527, 338}), Show(box));
  DeleteObject(held);
  DestroyWindow(window);
}

// A borderless top-level window with two children, one of which holds a grandchild.
class ScaleChildWindowsTest : public ::testing::Test {
 protected:
  void Build(int x, int y, int clientWidth, int clientHeight) {
    window_ =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, clientWidth, clientHeight, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window_);
    child_ = Child(window_, 100, 50, 200, 30);
    container_ = Child(window_, 300, 100, 150, 100);
    grandchild_ = Child(container_, 10, 20, 50, 25);
  }
  ~ScaleChildWindowsTest() override {
    if (window_) DestroyWindow(window_);
  }
  static HWND Child(HWND parent, int x, int y, int w, int h) {
    return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr, nullptr, nullptr);
  }
  // The child's place in its parent's client area: (x, y, width, height).
  static std::string Place(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    POINT topLeft = {r.left, r.top};
    ScreenToClient(GetParent(child), &topLeft);
    return std::to_string(topLeft.x) + "," + std::to_string(topLeft.y) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
  }

  HWND window_ = nullptr;
  HWND child_ = nullptr;
  HWND container_ = nullptr;
  HWND grandchild_ = nullptr;
};

TEST_F(ScaleChildWindowsTest, ClientOfTheReferenceSizeLeavesChildrenInPlace) {
  ASSERT_NO_FATAL_FAILURE(Build(40, 30, 600, 337));
  for (BOOL hasMenu : {FALSE, TRUE}) {
    ScaleChildWindows(window_, 600, 337, hasMenu);
    EXPECT_EQ("100,50 200x30", Place(child_));
    EXPECT_EQ("300,100 150x100", Place(container_));
    EXPECT_EQ("10,20 50x25", Place(grandchild_));
  }
}

TEST_F(ScaleChildWindowsTest, SmallerClientIsSpreadOverTheReferencePlan) {
  // Factors 523/600 and 339/337. Screen edges are divided as they are, the
  // window's own offset (40, 30) included, and truncated: the child's edges
  // 140..340 x 80..110 become 160..390 x 79..109.
  ASSERT_NO_FATAL_FAILURE(Build(40, 30, 523, 339));
  EXPECT_TRUE(ScaleChildWindows(window_, 600, 337, FALSE));
  EXPECT_EQ("120,49 230x30", Place(child_));
  EXPECT_EQ("350,99 172x99", Place(container_));
  // The grandchild is scaled after its parent has moved, from its new screen
  // place 400..450 x 149..174.
  EXPECT_EQ("68,19 58x24", Place(grandchild_));
}

TEST_F(ScaleChildWindowsTest, ZeroSizesMoveNothing) {
  ASSERT_NO_FATAL_FAILURE(Build(40, 30, 523, 339));
  EXPECT_FALSE(ScaleChildWindows(window_, 0, 337, FALSE));
  EXPECT_FALSE(ScaleChildWindows(window_, 600, 0, FALSE));
  EXPECT_FALSE(ScaleChildWindows(window_, -600, 337, FALSE));
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_FALSE(ScaleChildWindows(window_, 600, 337, FALSE)) << "an empty client area";
  EXPECT_EQ("100,50 200x30", Place(child_));
  EXPECT_EQ("10,20 50x25", Place(grandchild_));
  EXPECT_FALSE(ScaleChildWindows(nullptr, 600, 337, FALSE));
}

TEST_F(ScaleChildWindowsTest, WindowWithoutChildrenStaysAsItIs) {
  HWND lone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 40, 30, 523, 339, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, lone);
  ScaleChildWindows(lone, 600, 337, FALSE);
  RECT r;
  GetWindowRect(lone, &r);
  EXPECT_EQ(Show(RECT{40, 30, 563, 369}), Show(r));
  DestroyWindow(lone);
}

}  // namespace
