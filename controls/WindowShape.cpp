#include "controls/WindowShape.h"

#include <climits>
#include <cstddef>

namespace {

// The region data block: a 32-byte header followed by room for rectangles. It
// starts with room for 100 and grows by 100; every 2000 rectangles are handed to
// the platform as one region, which bounds the size of each record.
constexpr DWORD RECTS_PER_GROWTH = 100;
constexpr DWORD RECTS_PER_BATCH = 2000;
// A bounding rectangle that any added rectangle replaces.
constexpr LONG EMPTY_BOUND_LOW = LONG_MAX;
constexpr LONG EMPTY_BOUND_HIGH = 0;

// The working image: 32 bits per pixel, bytes blue, green, red, reserved.
constexpr WORD WORKING_BITS_PER_PIXEL = 32;
constexpr int BYTES_PER_PIXEL = 4;
constexpr int BLUE_BYTE = 0;
constexpr int GREEN_BYTE = 1;
constexpr int RED_BYTE = 2;
constexpr LONG ROW_ALIGNMENT = 4;

// Scaled coordinates are kept well inside the int range, so that a width or
// height computed from two of them cannot overflow.
constexpr double COORDINATE_LIMIT = 1 << 30;

DWORD BlockSize(DWORD room) { return sizeof(RGNDATAHEADER) + room * sizeof(RECT); }

// The source bitmap copied into a bottom-up 32-bit DIB section, so that every
// source format is read the same way. Both memory contexts stay open until Close.
class WorkingImage {
 public:
  WorkingImage() = default;
  WorkingImage(const WorkingImage&) = delete;
  WorkingImage& operator=(const WorkingImage&) = delete;
  ~WorkingImage() { Close(); }

  bool Open(HBITMAP source);
  void Close();

  int width() const { return width_; }
  int height() const { return height_; }
  // The bytes of picture row y (0 = top row); the image is stored bottom-up.
  const BYTE* Row(int y) const { return bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * rowLength_; }

 private:
  bool CreateImage(int width, int height);

  HDC imageDc_ = nullptr;
  HBITMAP image_ = nullptr;
  HGDIOBJ imageDcPrevious_ = nullptr;
  HDC sourceDc_ = nullptr;
  HGDIOBJ sourceDcPrevious_ = nullptr;
  const BYTE* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  LONG rowLength_ = 0;
};

bool WorkingImage::CreateImage(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORKING_BITS_PER_PIXEL;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  image_ = CreateDIBSection(imageDc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!image_ || !bits) return false;
  bits_ = static_cast<const BYTE*>(bits);
  imageDcPrevious_ = SelectObject(imageDc_, image_);
  return imageDcPrevious_ != nullptr;
}

bool WorkingImage::Open(HBITMAP source) {
  BITMAP sourceInfo = {};
  if (GetObjectType(source) != OBJ_BITMAP || !GetObjectA(source, sizeof sourceInfo, &sourceInfo)) return false;
  if (sourceInfo.bmWidth <= 0 || sourceInfo.bmHeight <= 0) return false;
  width_ = sourceInfo.bmWidth;
  height_ = sourceInfo.bmHeight;

  imageDc_ = CreateCompatibleDC(nullptr);
  if (!imageDc_ || !CreateImage(width_, height_)) return false;
  sourceDc_ = CreateCompatibleDC(imageDc_);
  if (!sourceDc_) return false;

  BITMAP imageInfo = {};
  if (!GetObjectA(image_, sizeof imageInfo, &imageInfo)) return false;
  rowLength_ = (imageInfo.bmWidthBytes + ROW_ALIGNMENT - 1) / ROW_ALIGNMENT * ROW_ALIGNMENT;

  // A bitmap already selected into another context cannot be selected here;
  // copying from the context's empty default bitmap would shape the window
  // from a black picture, so that counts as a failure.
  sourceDcPrevious_ = SelectObject(sourceDc_, source);
  if (!sourceDcPrevious_) return false;
  if (!BitBlt(imageDc_, 0, 0, width_, height_, sourceDc_, 0, 0, SRCCOPY)) return false;
  GdiFlush();  // the copy must be in the section's bits before they are read
  return true;
}

void WorkingImage::Close() {
  if (sourceDc_) {
    if (sourceDcPrevious_) SelectObject(sourceDc_, sourceDcPrevious_);
    DeleteDC(sourceDc_);
  }
  if (imageDc_ && imageDcPrevious_) SelectObject(imageDc_, imageDcPrevious_);
  if (image_) DeleteObject(image_);
  if (imageDc_) DeleteDC(imageDc_);
  sourceDc_ = imageDc_ = nullptr;
  sourceDcPrevious_ = imageDcPrevious_ = nullptr;
  image_ = nullptr;
  bits_ = nullptr;
}

// Collects one-row rectangles in movable global memory and turns them into one
// region, a batch at a time.
class RegionBuilder {
 public:
  RegionBuilder() = default;
  RegionBuilder(const RegionBuilder&) = delete;
  RegionBuilder& operator=(const RegionBuilder&) = delete;
  ~RegionBuilder() { Release(); }

  bool Open();
  void Add(const RECT& rect);
  // Hands over what is left and gives up the block; the caller owns the result.
  HRGN Finish();

 private:
  RECT* Rects() { return reinterpret_cast<RECT*>(data_->Buffer); }
  void ResetBatch();
  bool Grow();
  void Flush();
  void Release();

  HGLOBAL block_ = nullptr;
  RGNDATA* data_ = nullptr;
  DWORD room_ = 0;
  HRGN result_ = nullptr;
};

bool RegionBuilder::Open() {
  block_ = GlobalAlloc(GMEM_MOVEABLE, BlockSize(RECTS_PER_GROWTH));
  if (!block_) return false;
  data_ = static_cast<RGNDATA*>(GlobalLock(block_));
  if (!data_) return false;
  room_ = RECTS_PER_GROWTH;
  data_->rdh.dwSize = sizeof(RGNDATAHEADER);
  data_->rdh.iType = RDH_RECTANGLES;
  data_->rdh.nRgnSize = 0;
  ResetBatch();
  return true;
}

void RegionBuilder::ResetBatch() {
  data_->rdh.nCount = 0;
  SetRect(&data_->rdh.rcBound, EMPTY_BOUND_LOW, EMPTY_BOUND_LOW, EMPTY_BOUND_HIGH, EMPTY_BOUND_HIGH);
}

// Adds room for 100 rectangles. When the block cannot grow it keeps its old
// size (the caller then hands the full batch over early).
bool RegionBuilder::Grow() {
  GlobalUnlock(block_);
  const DWORD grownRoom = room_ + RECTS_PER_GROWTH;
  HGLOBAL grown = GlobalReAlloc(block_, BlockSize(grownRoom), GMEM_MOVEABLE);
  if (grown) {
    block_ = grown;
    room_ = grownRoom;
  }
  data_ = static_cast<RGNDATA*>(GlobalLock(block_));
  return grown && data_;
}

void RegionBuilder::Flush() {
  HRGN batch = ExtCreateRegion(nullptr, BlockSize(room_), data_);
  if (batch) {
    if (!result_) {
      result_ = batch;
    } else {
      CombineRgn(result_, result_, batch, RGN_OR);
      DeleteObject(batch);
    }
  }
  // A failed batch loses only its own rectangles.
  ResetBatch();
}

void RegionBuilder::Add(const RECT& rect) {
  if (!data_) return;
  if (data_->rdh.nCount >= room_ && !Grow()) {
    if (!data_) return;
    Flush();
  }
  Rects()[data_->rdh.nCount] = rect;
  RECT& bound = data_->rdh.rcBound;
  if (rect.left < bound.left) bound.left = rect.left;
  if (rect.top < bound.top) bound.top = rect.top;
  if (rect.right > bound.right) bound.right = rect.right;
  if (rect.bottom > bound.bottom) bound.bottom = rect.bottom;
  if (++data_->rdh.nCount >= RECTS_PER_BATCH) Flush();
}

HRGN RegionBuilder::Finish() {
  if (data_) Flush();
  HRGN result = result_;
  result_ = nullptr;
  Release();
  return result;
}

void RegionBuilder::Release() {
  if (data_) GlobalUnlock(block_);
  if (block_) GlobalFree(block_);
  if (result_) DeleteObject(result_);
  data_ = nullptr;
  block_ = nullptr;
  result_ = nullptr;
}

bool MatchesKey(const BYTE* pixel, COLORREF key) {
  return pixel[RED_BYTE] == GetRValue(key) && pixel[GREEN_BYTE] == GetGValue(key) && pixel[BLUE_BYTE] == GetBValue(key);
}

// Every run of covered pixels of every row becomes one rectangle, top row first.
void CollectRuns(const WorkingImage& image, COLORREF key, bool excludeKey, RegionBuilder& builder) {
  for (int y = 0; y < image.height(); ++y) {
    const BYTE* row = image.Row(y);
    for (int x = 0; x < image.width(); ++x) {
      const int runStart = x;
      while (x < image.width() && MatchesKey(row + x * BYTES_PER_PIXEL, key) != excludeKey) ++x;
      if (x > runStart) builder.Add(RECT{runStart, y, x, y + 1});
    }
  }
}

struct ScaleFactors {
  double horizontal;
  double vertical;
};

LONG ScaleEdge(LONG edge, double factor) {
  double scaled = edge / factor;
  if (scaled > COORDINATE_LIMIT) scaled = COORDINATE_LIMIT;
  if (scaled < -COORDINATE_LIMIT) scaled = -COORDINATE_LIMIT;
  return static_cast<LONG>(scaled);  // the conversion cuts toward zero
}

// Divides the child's screen edges by the factors and moves it there.
BOOL CALLBACK ScaleOneChild(HWND child, LPARAM param) {
  const ScaleFactors& factors = *reinterpret_cast<const ScaleFactors*>(param);
  RECT edges;
  if (!GetWindowRect(child, &edges)) return TRUE;
  const RECT scaled = {ScaleEdge(edges.left, factors.horizontal), ScaleEdge(edges.top, factors.vertical),
                       ScaleEdge(edges.right, factors.horizontal), ScaleEdge(edges.bottom, factors.vertical)};
  POINT topLeft = {scaled.left, scaled.top};
  ScreenToClient(GetParent(child), &topLeft);
  MoveWindow(child, topLeft.x, topLeft.y, scaled.right - scaled.left, scaled.bottom - scaled.top, TRUE);
  return TRUE;
}

}  // namespace

HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF keyColour, BOOL excludeKey) {
  if (!bitmap) return nullptr;
  WorkingImage image;
  if (!image.Open(bitmap)) return nullptr;
  RegionBuilder builder;
  if (!builder.Open()) return nullptr;
  CollectRuns(image, keyColour, excludeKey != FALSE, builder);
  return builder.Finish();
}

BOOL ScaleChildWindows(HWND window, int referenceWidth, int referenceHeight, BOOL /*hasMenu*/) {
  RECT client;
  if (!GetClientRect(window, &client)) return FALSE;
  // A zero size would make a factor of zero or infinity: nothing sensible to move to.
  if (referenceWidth <= 0 || referenceHeight <= 0 || client.right <= 0 || client.bottom <= 0) return FALSE;
  ScaleFactors factors = {static_cast<double>(client.right) / referenceWidth,
                          static_cast<double>(client.bottom) / referenceHeight};
  return EnumChildWindows(window, ScaleOneChild, reinterpret_cast<LPARAM>(&factors));
}
