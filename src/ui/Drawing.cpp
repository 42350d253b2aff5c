#include "ui/Drawing.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <vector>

using namespace Gdiplus;

namespace {

// The canvases the pictures are drawn on before they are scaled to the size asked for; drawing large and
// scaling down gives smoother edges at 14 and 16 pixels than drawing small.
constexpr int kCheckCanvas = 40;
constexpr int kRadioCanvas = 80;
constexpr ARGB kWhite = 0xFFFFFFFF;
constexpr ARGB kBlack = 0xFF000000;
constexpr ARGB kRadioDot = 0xFF005F00;

void UseHighQuality(Graphics& graphics) {
  graphics.SetSmoothingMode(SmoothingModeHighQuality);
  graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
  graphics.SetInterpolationMode(InterpolationModeHighQualityBicubic);
}

// Edges and quarter arcs in one closed figure, clockwise from the top edge. Without a diameter the arcs
// shrink to the corners, so they are left out rather than handed to GDI+ as empty rectangles.
void AddRoundedRectangle(GraphicsPath& path, REAL x, REAL y, REAL width, REAL height, REAL diameter) {
  const REAL radius = diameter / 2;
  const bool arcs = diameter > 0;
  path.AddLine(x + radius, y, x + width - radius, y);
  if (arcs) path.AddArc(x + width - diameter, y, diameter, diameter, -90, 90);
  path.AddLine(x + width, y + radius, x + width, y + height - radius);
  if (arcs) path.AddArc(x + width - diameter, y + height - diameter, diameter, diameter, 0, 90);
  path.AddLine(x + width - radius, y + height, x + radius, y + height);
  if (arcs) path.AddArc(x, y + height - diameter, diameter, diameter, 90, 90);
  path.AddLine(x, y + height - radius, x, y + radius);
  if (arcs) path.AddArc(x, y, diameter, diameter, 180, 90);
  path.CloseFigure();
}

constexpr ARGB OpaqueArgb(COLORREF colour) {
  return 0xFF000000u | (static_cast<ARGB>(GetRValue(colour)) << 16) | (static_cast<ARGB>(GetGValue(colour)) << 8) |
         GetBValue(colour);
}

UniqueBitmap TopDownDib(int width, int height, void*& bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, so row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  return bits ? std::move(bitmap) : UniqueBitmap();
}

// Whether the icon's colour bitmap carries an alpha channel of its own (any alpha byte not 0).
bool IconHasAlpha(HICON icon) {
  IconBitmaps bitmaps;
  if (!GetIconBitmaps(icon, bitmaps) || !bitmaps.colour) return false;
  const SIZE size = BitmapSize(bitmaps.colour.get());
  BITMAP info{};
  if (!GetObjectW(bitmaps.colour.get(), sizeof(info), &info) || info.bmBitsPixel != 32) return false;
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(request.bmiHeader);
  request.bmiHeader.biWidth = size.cx;
  request.bmiHeader.biHeight = -size.cy;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc || GetDIBits(dc.get(), bitmaps.colour.get(), 0, static_cast<UINT>(size.cy), pixels.data(), &request,
                       DIB_RGB_COLORS) != size.cy) {
    return false;
  }
  return std::any_of(pixels.begin(), pixels.end(), [](uint32_t pixel) { return (pixel >> 24) != 0; });
}

}  // namespace

bool FillRoundedRectangle(Image& image, int x, int y, int width, int height, ARGB colour, int cornerDiameter) {
  Graphics graphics(&image);
  if (graphics.GetLastStatus() != Ok) return false;
  UseHighQuality(graphics);
  GraphicsPath path;
  AddRoundedRectangle(path, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                      static_cast<REAL>(height), static_cast<REAL>(cornerDiameter < 0 ? 0 : cornerDiameter));
  Pen pen(Color(colour), 1.0f);
  SolidBrush brush{Color(colour)};
  if (graphics.DrawPath(&pen, &path) != Ok) return false;
  return graphics.FillPath(&brush, &path) == Ok;
}

bool SetRoundedWindowRegion(HWND window, int width, int height, int cornerDiameter) {
  GraphicsPath path;
  AddRoundedRectangle(path, 0, 0, static_cast<REAL>(width), static_cast<REAL>(height),
                      static_cast<REAL>(cornerDiameter < 0 ? 0 : cornerDiameter));
  Region region(&path);
  Graphics graphics(window);
  if (region.GetLastStatus() != Ok || graphics.GetLastStatus() != Ok) return false;
  UniqueRegion gdiRegion(region.GetHRGN(&graphics));
  if (!gdiRegion) return false;
  // Not redrawn here: the caller sets the region while it lays the window out and paints it afterwards.
  if (!SetWindowRgn(window, gdiRegion.get(), FALSE)) return false;
  static_cast<void>(gdiRegion.release());  // the window owns it now
  return true;
}

UniqueBitmap CheckBoxPicture(int size, unsigned flags, ARGB tickColour) {
  if (size < 1) return {};
  Bitmap canvas(kCheckCanvas, kCheckCanvas, PixelFormat32bppPARGB);
  Graphics graphics(&canvas);
  if (canvas.GetLastStatus() != Ok || graphics.GetLastStatus() != Ok) return {};
  UseHighQuality(graphics);

  Pen outline(Color(kBlack), 2.0f);
  SolidBrush white{Color(kWhite)};
  if (flags & kCheckRounded) {
    // The square from (1, 1) to (39, 39) with arcs of 8 × 8 in its corners; outside them stays clear.
    GraphicsPath box;
    box.AddArc(1, 1, 8, 8, 180, 90);
    box.AddArc(31, 1, 8, 8, 270, 90);
    box.AddArc(31, 31, 8, 8, 0, 90);
    box.AddArc(1, 31, 8, 8, 90, 90);
    box.CloseFigure();
    graphics.FillPath(&white, &box);
    graphics.DrawPath(&outline, &box);
  } else {
    graphics.FillRectangle(&white, 0, 0, kCheckCanvas, kCheckCanvas);
    graphics.DrawRectangle(&outline, 1, 1, 38, 38);
  }

  SolidBrush tick{Color(tickColour)};
  if (flags & kCheckTick) {
    // Two arms of equal thickness (7 units) meeting in a flat foot, the long one reaching the top right.
    const PointF mark[] = {{7, 21}, {12, 16}, {17, 21}, {29, 9}, {34, 14}, {19, 29}, {15, 29}};
    graphics.FillPolygon(&tick, mark, 7);
  } else if (flags & kCheckFilled) {
    graphics.FillRectangle(&tick, 6, 6, 28, 28);
  }
  return ScaledBitmap(canvas, size, size);
}

UniqueBitmap RadioButtonPicture(bool selected) {
  Bitmap canvas(kRadioCanvas, kRadioCanvas, PixelFormat32bppPARGB);
  Graphics graphics(&canvas);
  if (canvas.GetLastStatus() != Ok || graphics.GetLastStatus() != Ok) return {};
  UseHighQuality(graphics);

  SolidBrush white{Color(kWhite)};
  Pen outline(Color(kBlack), 8.0f);
  graphics.FillEllipse(&white, 4, 4, 72, 72);
  graphics.DrawEllipse(&outline, 4, 4, 72, 72);
  if (selected) {
    SolidBrush dot{Color(kRadioDot)};
    graphics.FillEllipse(&dot, 22, 22, 36, 36);
  }
  return ScaledBitmap(canvas, kRadioPictureSize, kRadioPictureSize);
}

UniqueBitmap GradientBand() {
  Bitmap band(kGradientBandWidth, kGradientBandHeight, PixelFormat32bppPARGB);
  Graphics graphics(&band);
  if (band.GetLastStatus() != Ok || graphics.GetLastStatus() != Ok) return {};
  UseHighQuality(graphics);
  const Rect area(0, 0, kGradientBandWidth, kGradientBandHeight);
  LinearGradientBrush brush(area, Color(kGradientBandTop), Color(kGradientBandBottom), LinearGradientModeVertical);
  // GDI+ tiles a gradient brush, so the anti-aliased rows at either end can pick up the colour of the
  // other end (Windows does, Wine does not); flipped tiles continue each end with its own colour.
  brush.SetWrapMode(WrapModeTileFlipXY);
  if (graphics.FillRectangle(&brush, area) != Ok) return {};
  return ToBitmap(band);
}

bool DrawImageScaled(Image& image, Image& target, int x, int y, int width, int height) {
  Graphics graphics(&target);
  if (graphics.GetLastStatus() != Ok) return false;
  UseHighQuality(graphics);
  // When it scales, GDI+ blends the border pixels with what lies beyond the image, which leaves a faint
  // see-through rim (Windows does, Wine does not); flipped tiles make that the image's own edge.
  ImageAttributes attributes;
  attributes.SetWrapMode(WrapModeTileFlipXY);
  const Rect destination(x, y, width, height);
  return graphics.DrawImage(&image, destination, 0, 0, static_cast<INT>(image.GetWidth()),
                            static_cast<INT>(image.GetHeight()), UnitPixel, &attributes) == Ok;
}

std::unique_ptr<Bitmap> ScaleImage(Image& image, int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  auto scaled = std::make_unique<Bitmap>(width, height, PixelFormat32bppPARGB);
  if (scaled->GetLastStatus() != Ok) return nullptr;
  if (!DrawImageScaled(image, *scaled, 0, 0, width, height)) return nullptr;
  return scaled;
}

UniqueBitmap ToBitmap(Bitmap& image, ARGB background) {
  if (background >> 24) {
    return ScaledBitmap(image, static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()), background);
  }
  HBITMAP bitmap = nullptr;
  if (image.GetHBITMAP(Color(0), &bitmap) != Ok) return {};
  return UniqueBitmap(bitmap);
}

UniqueBitmap ScaledBitmap(Image& image, int width, int height, ARGB background) {
  if (width < 1 || height < 1) return {};
  Bitmap canvas(width, height, PixelFormat32bppPARGB);
  if (canvas.GetLastStatus() != Ok) return {};
  // Laid on the background here rather than by GetHBITMAP, which leaves the alpha channel as it was under
  // Wine: the result is opaque wherever the background is.
  if (background >> 24) {
    Graphics graphics(&canvas);
    if (graphics.Clear(Color(background)) != Ok) return {};
  }
  if (!DrawImageScaled(image, canvas, 0, 0, width, height)) return {};
  HBITMAP bitmap = nullptr;
  if (canvas.GetHBITMAP(Color(background), &bitmap) != Ok) return {};
  return UniqueBitmap(bitmap);
}

UniqueBitmap WindowBackgroundBitmap(Image& image, int clientWidth, int clientHeight) {
  // At the client size already, drawing it is a plain copy.
  return ScaledBitmap(image, clientWidth, clientHeight, OpaqueArgb(kWindowBackgroundColour));
}

UniqueBitmap FadedBitmap(HBITMAP picture) {
  SIZE size = BitmapSize(picture);
  if (size.cx < 1 || size.cy < 1) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  WindowDc screen(nullptr);
  std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy));
  if (!GetDIBits(screen.get(), picture, 0, static_cast<UINT>(size.cy), pixels.data(), &info, DIB_RGB_COLORS)) return {};
  // A picture without any alpha is opaque throughout.
  bool hasAlpha = std::any_of(pixels.begin(), pixels.end(), [](uint32_t pixel) { return (pixel >> 24) != 0; });
  for (uint32_t& pixel : pixels) {
    uint32_t alpha = hasAlpha ? pixel >> 24 : 0xFF, red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    // Premultiplied: the grey scales with the alpha, so both are faded by the same share.
    uint32_t grey = (red * 30 + green * 59 + blue * 11) / 100;
    constexpr uint32_t kShare = 40;  // per cent of the picture left
    pixel = (alpha * kShare / 100) << 24 | (grey * kShare / 100) * 0x010101u;
  }
  void* bits = nullptr;
  UniqueBitmap faded(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!faded || !bits) return {};
  std::memcpy(bits, pixels.data(), pixels.size() * sizeof(uint32_t));
  return faded;
}

UniqueBitmap IconToBitmap(HICON icon, int width, int height) {
  if (!icon || width < 1 || height < 1) return {};
  const bool hasAlpha = IconHasAlpha(icon);
  UniqueImageList list(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 1, 0));
  if (!list || ImageList_ReplaceIcon(list.get(), -1, icon) < 0) return {};

  void* bits = nullptr;
  UniqueBitmap bitmap = TopDownDib(width, height, bits);
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!bitmap || !dc) return {};
  {
    SelectedObject selected(dc.get(), bitmap.get());
    if (!ImageList_Draw(list.get(), 0, dc.get(), 0, 0, ILD_TRANSPARENT)) return {};
  }
  GdiFlush();
  if (hasAlpha) return bitmap;

  // Drawn through its mask, an icon without an alpha channel leaves alpha bytes that mean nothing (0 on
  // Windows, 255 on Wine): take the alpha from the mask instead, white where the icon is transparent.
  void* maskBits = nullptr;
  UniqueBitmap mask = TopDownDib(width, height, maskBits);
  if (!mask) return {};
  {
    // The icon's own mask: an image list may have made up an alpha channel for the image and then
    // draws no mask for it (Wine does).
    SelectedObject selected(dc.get(), mask.get());
    if (!DrawIconEx(dc.get(), 0, 0, icon, width, height, 0, nullptr, DI_MASK)) return {};
  }
  GdiFlush();
  auto* pixels = static_cast<uint32_t*>(bits);
  const auto* maskPixels = static_cast<const uint32_t*>(maskBits);
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) {
    pixels[i] = (maskPixels[i] & 0x00FFFFFF) != 0 ? 0 : (pixels[i] | 0xFF000000);
  }
  return bitmap;
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

bool GetIconBitmaps(HICON icon, IconBitmaps& bitmaps) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return false;
  bitmaps.colour.reset(info.hbmColor);
  bitmaps.mask.reset(info.hbmMask);
  bitmaps.hotSpot = POINT{static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
  return true;
}

UniqueBitmap DialogFace(int width, int height, int bandTop, int cornerDiameter) {
  Gdiplus::Bitmap canvas(width, height, PixelFormat32bppPARGB);
  if (!FillRoundedRectangle(canvas, 0, 0, width, height, 0xFF000000, cornerDiameter) ||
      !FillRoundedRectangle(canvas, 4, 4, width - 8, height - 8, 0xFFFFFFFF, cornerDiameter) ||
      !FillRoundedRectangle(canvas, 4, bandTop, width - 8, height - 4 - bandTop, 0xFFF0F0FF, 0)) {
    return {};
  }
  return ToBitmap(canvas, 0xFFFFFFFF);
}
