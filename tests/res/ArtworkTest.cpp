#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/ResourceIds.h"
#include "controls/WindowShape.h"
#include "tests/support/ScreenPixels.h"

namespace {

constexpr COLORREF TITLE_BAND = RGB(2, 77, 246);
constexpr COLORREF BODY = RGB(207, 233, 254);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF KEY = RGB(255, 0, 255);
constexpr COLORREF NO_CHECK = CLR_INVALID;
// LR_LOADMAP3DCOLORS replaces exactly these colour-table entries.
constexpr COLORREF LOADMAP3D_GREYS[] = {RGB(128, 128, 128), RGB(192, 192, 192), RGB(223, 223, 223)};

constexpr int SKIN_WIDTH = 527;
constexpr int SKIN_HEIGHT = 338;

// Every bitmap the program loads, with the colour of the place it sits on (its
// corners carry it, so the picture blends into the skin or the dialog face).
struct BitmapRow {
  const char* name;  // null: numbered
  int id;
  int width;
  int height;
  int bits;
  COLORREF background;
};

const BitmapRow kBitmaps[] = {
    {nullptr, IDB_SKIN, SKIN_WIDTH, SKIN_HEIGHT, 8, NO_CHECK},
    {nullptr, IDB_ICON_INFORMATION, 42, 40, 24, BODY},
    {nullptr, IDB_ICON_QUESTION, 42, 40, 24, BODY},
    {nullptr, IDB_ICON_WARNING, 42, 40, 24, BODY},
    {nullptr, IDB_ICON_ERROR, 42, 40, 24, BODY},
    {"SCAN_FOCUS", 0, 180, 33, 8, BODY},
    {"SCAN_NOTFOCUS", 0, 180, 33, 8, BODY},
    {"SCAN_DISABLE", 0, 180, 33, 4, BODY},
    {"DOWNLOAD_FOCUS", 0, 180, 33, 8, BODY},
    {"DOWNLOAD_NOTFOCUS", 0, 180, 33, 8, BODY},
    {"DOWNLOAD_DISABLE", 0, 180, 33, 4, BODY},
    {"CANCEL_FOCUS", 0, 92, 24, 8, BODY},
    {"CANCEL_NOTFOCUS", 0, 92, 24, 8, BODY},
    {"OK_FOCUS", 0, 92, 24, 8, BODY},
    {"OK_NOTFOCUS", 0, 92, 24, 8, BODY},
    {"YES_FOCUS", 0, 92, 24, 8, BODY},
    {"YES_NOTFOCUS", 0, 92, 24, 8, BODY},
    {"NO_FOCUS", 0, 92, 24, 8, BODY},
    {"NO_NOTFOCUS", 0, 92, 24, 8, BODY},
    {"X_FOCUS", 0, 21, 21, 8, TITLE_BAND},
    {"X_NOTFOCUS", 0, 21, 21, 8, TITLE_BAND},
    {"DLINK_FOCUS", 0, 313, 43, 4, WHITE},
    {"DLINK_NOTFOCUS", 0, 313, 43, 4, WHITE},
    {"ULINK_FOCUS", 0, 244, 28, 8, BODY},
    {"ULINK_NOTFOCUS", 0, 244, 28, 8, BODY},
    {"HALVEXLOGO_FOCUS", 0, 38, 36, 8, BODY},
    {"HALVEXLOGO_NOTFOCUS", 0, 38, 36, 8, BODY},
};

LPCSTR ResourceName(const BitmapRow& row) { return row.name ? row.name : MAKEINTRESOURCEA(row.id); }
std::string Label(const BitmapRow& row) { return row.name ? row.name : "bitmap " + std::to_string(row.id); }

std::string Show(COLORREF c) {
  return "RGB(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
         std::to_string(GetBValue(c)) + ")";
}

// A picture as colours, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  int bits = 0;
  std::vector<COLORREF> table;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The resource's bytes exactly as stored in the program.
bool RawResource(LPCSTR name, LPCSTR type, const BYTE*& data, DWORD& size) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return false;
  HGLOBAL loaded = LoadResource(module, info);
  data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  size = SizeofResource(module, info);
  return data != nullptr;
}

// Decodes an uncompressed 4-, 8- or 24-bit bitmap resource, checking that every
// byte it reads lies within the resource.
bool DecodeResource(const BYTE* data, DWORD size, Picture& picture) {
  BITMAPINFOHEADER header;
  if (size < sizeof header) return false;
  std::memcpy(&header, data, sizeof header);
  if (header.biSize != sizeof header || header.biPlanes != 1 || header.biCompression != BI_RGB) return false;
  if (header.biWidth <= 0 || header.biHeight <= 0) return false;
  picture.width = header.biWidth;
  picture.height = header.biHeight;
  picture.bits = header.biBitCount;
  if (picture.bits != 4 && picture.bits != 8 && picture.bits != 24) return false;
  const DWORD entries = picture.bits == 24 ? 0 : header.biClrUsed ? header.biClrUsed : 1u << picture.bits;
  const DWORD tableEnd = sizeof header + entries * sizeof(RGBQUAD);
  const DWORD rowBytes = (static_cast<DWORD>(picture.width) * picture.bits + 31) / 32 * 4;
  if (tableEnd > size || (size - tableEnd) / rowBytes < static_cast<DWORD>(picture.height)) return false;
  for (DWORD i = 0; i < entries; ++i) {
    const BYTE* q = data + sizeof header + i * sizeof(RGBQUAD);
    picture.table.push_back(RGB(q[2], q[1], q[0]));
  }
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    const BYTE* row = data + tableEnd + static_cast<size_t>(picture.height - 1 - y) * rowBytes;
    for (int x = 0; x < picture.width; ++x) {
      COLORREF colour;
      if (picture.bits == 24) {
        colour = RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
      } else {
        const DWORD index = picture.bits == 8 ? row[x] : (x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4);
        if (index >= entries) return false;
        colour = picture.table[index];
      }
      picture.pixels[static_cast<size_t>(y) * picture.width + x] = colour;
    }
  }
  return true;
}

bool DecodeBitmap(const BitmapRow& row, Picture& picture) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  return RawResource(ResourceName(row), MAKEINTRESOURCEA(2) /* RT_BITMAP */, data, size) &&
         DecodeResource(data, size, picture);
}

// The bitmap as the program loads it, read back as colours.
bool LoadAsProgramDoes(LPCSTR name, Picture& picture) {
  const PixelImage loaded = LoadMappedPicture(GetModuleHandleA(nullptr), name);
  picture.width = loaded.width;
  picture.height = loaded.height;
  picture.pixels = loaded.pixels;
  return !loaded.Empty();
}

TEST(Artwork, EveryBitmapHasItsExactSizeAndDepth) {
  for (const BitmapRow& row : kBitmaps) {
    SCOPED_TRACE(Label(row));
    Picture picture;
    ASSERT_TRUE(DecodeBitmap(row, picture)) << Label(row) << ": missing or malformed";
    EXPECT_EQ(row.width, picture.width) << Label(row);
    EXPECT_EQ(row.height, picture.height) << Label(row);
    EXPECT_EQ(row.bits, picture.bits) << Label(row);
  }
}

TEST(Artwork, ThreeDColourMappingChangesNoPicture) {
  // The program loads every bitmap with LR_LOADMAP3DCOLORS; whatever the
  // system's 3-D colours, the pictures must come out as drawn.
  for (const BitmapRow& row : kBitmaps) {
    SCOPED_TRACE(Label(row));
    Picture drawn;
    Picture loaded;
    ASSERT_TRUE(DecodeBitmap(row, drawn)) << Label(row);
    ASSERT_TRUE(LoadAsProgramDoes(ResourceName(row), loaded)) << Label(row) << ": LoadImageA failed";
    ASSERT_EQ(drawn.width, loaded.width) << Label(row);
    ASSERT_EQ(drawn.height, loaded.height) << Label(row);
    for (size_t i = 0; i < drawn.pixels.size(); ++i) {
      ASSERT_EQ(Show(drawn.pixels[i]), Show(loaded.pixels[i]))
          << Label(row) << " at " << i % drawn.width << "," << i / drawn.width;
    }
    for (COLORREF entry : drawn.table) {
      for (COLORREF grey : LOADMAP3D_GREYS)
        EXPECT_NE(grey, entry) << Label(row) << ": colour table holds " << Show(grey);
    }
  }
}

TEST(Artwork, ButtonStatesLookDifferent) {
  const char* const bases[] = {"SCAN", "DOWNLOAD", "CANCEL", "OK", "YES", "NO", "X", "DLINK", "ULINK", "HALVEXLOGO"};
  for (const char* base : bases) {
    std::vector<std::vector<COLORREF>> states;
    for (const char* ending : {"_FOCUS", "_NOTFOCUS", "_DISABLE"}) {
      BitmapRow row = {nullptr, 0, 0, 0, 0, NO_CHECK};
      const std::string name = std::string(base) + ending;
      row.name = name.c_str();
      Picture picture;
      if (DecodeBitmap(row, picture)) states.push_back(picture.pixels);
    }
    ASSERT_GE(states.size(), 2u) << base;
    for (size_t a = 0; a < states.size(); ++a)
      for (size_t b = a + 1; b < states.size(); ++b)
        EXPECT_NE(states[a], states[b]) << base << " states " << a << "/" << b;
  }
}

TEST(Artwork, PicturesBlendIntoThePlaceTheySitOn) {
  for (const BitmapRow& row : kBitmaps) {
    SCOPED_TRACE(Label(row));
    if (row.background == NO_CHECK) continue;
    Picture picture;
    ASSERT_TRUE(DecodeBitmap(row, picture)) << Label(row);
    const int right = picture.width - 1;
    const int bottom = picture.height - 1;
    for (const POINT& corner : {POINT{0, 0}, POINT{right, 0}, POINT{0, bottom}, POINT{right, bottom}}) {
      EXPECT_EQ(Show(row.background), Show(picture.At(corner.x, corner.y)))
          << Label(row) << " corner " << corner.x << "," << corner.y;
    }
  }
}

TEST(Artwork, MessageIconsDrawOnlyWhereTheDialogShowsThem) {
  // The message dialog cuts its icon to the icon area, 25 x 24 dialog units:
  // 37 x 39 pixels with Windows' dialog font, 37 x 36 under Wine. Beyond the
  // part that all of them show there is only the face colour.
  constexpr int SHOWN_WIDTH = 36;
  constexpr int SHOWN_HEIGHT = 35;
  for (const BitmapRow& row : kBitmaps) {
    SCOPED_TRACE(Label(row));
    if (row.name || row.id == IDB_SKIN) continue;
    Picture picture;
    ASSERT_TRUE(DecodeBitmap(row, picture)) << Label(row);
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        if (x < SHOWN_WIDTH && y < SHOWN_HEIGHT) continue;
        ASSERT_EQ(Show(BODY), Show(picture.At(x, y))) << Label(row) << " at " << x << "," << y;
      }
    }
  }
}

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const BitmapRow skin = kBitmaps[0];
    ASSERT_TRUE(DecodeBitmap(skin, skin_));
    ASSERT_EQ(SKIN_WIDTH, skin_.width);
  }
  // Where a control of the main dialog template lands on the 600 x 337 pixel plan.
  static POINT Plan(int x, int y) { return POINT{x * 600 / 349, y * 337 / 209}; }
  Picture skin_;
};

TEST_F(SkinTest, TitleBandIsFlatBehindTheSubTitle) {
  // The sub-title (template 31,25 244x11) paints its text on the band colour:
  // the band is that colour all across its width around it.
  const POINT topLeft = Plan(31, 25);
  const POINT bottomRight = Plan(31 + 244, 25 + 11);
  for (int y = topLeft.y - 4; y <= bottomRight.y + 1; ++y)
    for (int x = 2; x < SKIN_WIDTH - 3; ++x) ASSERT_EQ(Show(TITLE_BAND), Show(skin_.At(x, y))) << x << "," << y;
}

TEST_F(SkinTest, BodyShowsAroundTheControls) {
  const POINT body[] = {{4, 80}, {262, 80}, {515, 80}, {4, 290}, {200, 300}, {420, 300}};
  for (const POINT& p : body) EXPECT_EQ(Show(BODY), Show(skin_.At(p.x, p.y))) << p.x << "," << p.y;
}

TEST_F(SkinTest, ButtonsSitOnTheirOwnBackgroundColour) {
  struct Placed {
    const char* name;
    int x, y;  // template position, dialog units
  };
  // Each button's picture, put at its planned place, has the skin's colour
  // under each of its corners, so no seam shows around it.
  const Placed placed[] = {{"SCAN_NOTFOCUS", 11, 40},        {"DOWNLOAD_NOTFOCUS", 189, 40},
                           {"X_NOTFOCUS", 290, 3},           {"OK_NOTFOCUS", 128, 177},
                           {"DLINK_NOTFOCUS", 61, 133},      {"ULINK_NOTFOCUS", 77, 177},
                           {"HALVEXLOGO_NOTFOCUS", 277, 174}};
  for (const Placed& p : placed) {
    BitmapRow row = {p.name, 0, 0, 0, 0, NO_CHECK};
    Picture picture;
    ASSERT_TRUE(DecodeBitmap(row, picture)) << p.name;
    const POINT at = Plan(p.x, p.y);
    ASSERT_LE(at.x + picture.width, SKIN_WIDTH - 2) << p.name << " runs off the visible skin";
    ASSERT_LE(at.y + picture.height, SKIN_HEIGHT - 2) << p.name << " runs off the visible skin";
    for (int cx : {0, picture.width - 1})
      for (int cy : {0, picture.height - 1})
        EXPECT_EQ(Show(picture.At(cx, cy)), Show(skin_.At(at.x + cx, at.y + cy)))
            << p.name << " corner " << cx << "," << cy;
  }
}

TEST_F(SkinTest, HoldsNoKeyColourAndShapesTheWholeWindow) {
  for (size_t i = 0; i < skin_.pixels.size(); ++i)
    ASSERT_NE(KEY, skin_.pixels[i]) << "key colour at " << i % SKIN_WIDTH << "," << i / SKIN_WIDTH;
  for (COLORREF entry : skin_.table) EXPECT_NE(KEY, entry);

  // As the main window makes its region: loaded with the 3-D mapping, magenta
  // excluded. Without key pixels the region is the skin's whole rectangle.
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SKIN), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  ASSERT_NE(nullptr, bitmap);
  HRGN region = RegionFromBitmap(bitmap, KEY, TRUE);
  ASSERT_NE(nullptr, region);
  RECT box;
  EXPECT_EQ(SIMPLEREGION, GetRgnBox(region, &box));
  EXPECT_EQ(0, box.left);
  EXPECT_EQ(0, box.top);
  EXPECT_EQ(SKIN_WIDTH, box.right);
  EXPECT_EQ(SKIN_HEIGHT, box.bottom);
  DeleteObject(region);
  DeleteObject(bitmap);
}

#pragma pack(push, 2)
struct IconDirectoryEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(Artwork, ProgramIconHoldsThreeSizesAndLoads) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  ASSERT_TRUE(RawResource(MAKEINTRESOURCEA(IDI_PROGRAM), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, data, size));
  ASSERT_GE(size, 6u);
  const WORD count = *reinterpret_cast<const WORD*>(data + 4);
  ASSERT_EQ(size, 6u + count * sizeof(IconDirectoryEntry));
  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    IconDirectoryEntry entry;
    std::memcpy(&entry, data + 6 + i * sizeof entry, sizeof entry);
    EXPECT_EQ(entry.width, entry.height);
    sizes.insert(entry.width);
  }
  EXPECT_EQ((std::set<int>{16, 32, 48}), sizes);

  for (int px : {16, 32, 48}) {
    HICON icon =
        static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, px, px, 0));
    ASSERT_NE(nullptr, icon) << px;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << px;
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(px, colour.bmWidth);
    EXPECT_EQ(px, colour.bmHeight);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  EXPECT_NE(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM)));
}

}  // namespace
