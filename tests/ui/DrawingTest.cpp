// The drawing helpers, drawn for real with GDI+ and read back pixel by pixel.

#include "ui/Drawing.h"

#include "GdiplusSession.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace Gdiplus;

using testing_support::GdiplusSession;

namespace {


class DrawingTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(gdiplus_.started()); }

 private:
  GdiplusSession gdiplus_;
};

struct Rgba {
  int r, g, b, a;
};

Rgba FromArgb(ARGB argb) {
  return Rgba{static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
              static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24)};
}

bool Near(Rgba actual, Rgba expected, int tolerance) {
  return std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
         std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance;
}

int Distance(Rgba x, Rgba y) { return std::abs(x.r - y.r) + std::abs(x.g - y.g) + std::abs(x.b - y.b); }

std::ostream& operator<<(std::ostream& out, Rgba c) {
  return out << "rgba(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// The pixels of a GDI bitmap, row 0 at the top, as stored (premultiplied when the bitmap has alpha).
class BitmapPixels {
 public:
  explicit BitmapPixels(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info)) return;
    width_ = info.bmWidth;
    height_ = info.bmHeight;
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = width_;
    request.bmiHeader.biHeight = -height_;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    pixels_.resize(static_cast<size_t>(width_) * height_);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, height_, pixels_.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height_) pixels_.clear();
  }
  [[nodiscard]] bool valid() const { return !pixels_.empty(); }
  [[nodiscard]] Rgba at(int x, int y) const { return FromArgb(pixels_.at(static_cast<size_t>(y) * width_ + x)); }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

Rgba PixelOf(Bitmap& bitmap, int x, int y) {
  Color colour;
  bitmap.GetPixel(x, y, &colour);
  return FromArgb(colour.GetValue());
}

std::unique_ptr<Bitmap> SolidBitmap(int width, int height, ARGB colour) {
  auto bitmap = std::make_unique<Bitmap>(width, height, PixelFormat32bppPARGB);
  Graphics graphics(bitmap.get());
  graphics.Clear(Color(colour));
  return bitmap;
}

constexpr Rgba kTransparent{0, 0, 0, 0};
constexpr Rgba kWhite{255, 255, 255, 255};

TEST_F(DrawingTest, ZeroCornerDiameterFillsAPlainRectangle) {
  constexpr ARGB colour = 0xFF3060C0;
  const Rgba expected = FromArgb(colour);
  for (int diameter : {0, 12}) {
    SCOPED_TRACE(diameter);
    auto canvas = SolidBitmap(40, 30, 0);
    ASSERT_TRUE(FillRoundedRectangle(*canvas, 5, 5, 20, 14, colour, diameter));
    // Inside, every pixel is the colour; well outside, nothing was drawn.
    EXPECT_TRUE(Near(PixelOf(*canvas, 15, 12), expected, 0)) << PixelOf(*canvas, 15, 12);
    EXPECT_TRUE(Near(PixelOf(*canvas, 2, 2), kTransparent, 0));
    EXPECT_TRUE(Near(PixelOf(*canvas, 28, 22), kTransparent, 0));
    const Rgba corners[] = {PixelOf(*canvas, 5, 5), PixelOf(*canvas, 24, 5), PixelOf(*canvas, 5, 18),
                            PixelOf(*canvas, 24, 18)};
    for (const Rgba& corner : corners) {
      if (diameter == 0) {
        EXPECT_TRUE(Near(corner, expected, 0)) << corner;
      } else {
        EXPECT_LT(corner.a, 128) << "a corner pixel of a rounded rectangle is cut off: " << corner;
      }
    }
  }
}

TEST_F(DrawingTest, RoundedRectangleKeepsToItsEdges) {
  auto canvas = SolidBitmap(60, 40, 0);
  ASSERT_TRUE(FillRoundedRectangle(*canvas, 10, 10, 40, 20, 0xFF00FF00, 8));
  // The middle of each edge is filled right up to it, and a pixel beyond the outline stays clear.
  EXPECT_EQ(PixelOf(*canvas, 10, 20).a, 255);
  EXPECT_EQ(PixelOf(*canvas, 49, 20).a, 255);
  EXPECT_EQ(PixelOf(*canvas, 30, 10).a, 255);
  EXPECT_EQ(PixelOf(*canvas, 30, 29).a, 255);
  EXPECT_EQ(PixelOf(*canvas, 8, 20).a, 0);
  EXPECT_EQ(PixelOf(*canvas, 51, 20).a, 0);
  EXPECT_EQ(PixelOf(*canvas, 30, 8).a, 0);
  EXPECT_EQ(PixelOf(*canvas, 30, 31).a, 0);
}

class PopupWindow {
 public:
  PopupWindow(int width, int height) {
    window_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
  }
  [[nodiscard]] HWND get() const { return window_.get(); }

 private:
  UniqueWindow window_;
};

TEST_F(DrawingTest, WindowRegionIsTheRoundedRectangle) {
  PopupWindow window(200, 100);
  ASSERT_TRUE(window.get());

  ASSERT_TRUE(SetRoundedWindowRegion(window.get(), 200, 100, 40));
  UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(window.get(), region.get()), ERROR);
  EXPECT_FALSE(PtInRegion(region.get(), 1, 1));
  EXPECT_FALSE(PtInRegion(region.get(), 198, 98));
  EXPECT_TRUE(PtInRegion(region.get(), 100, 50));
  EXPECT_TRUE(PtInRegion(region.get(), 100, 1));
  EXPECT_TRUE(PtInRegion(region.get(), 1, 50));
  RECT bounds{};
  GetRgnBox(region.get(), &bounds);
  EXPECT_LE(std::abs(bounds.right - 200), 1);
  EXPECT_LE(std::abs(bounds.bottom - 100), 1);

  ASSERT_TRUE(SetRoundedWindowRegion(window.get(), 200, 100, 0));
  ASSERT_NE(GetWindowRgn(window.get(), region.get()), ERROR);
  EXPECT_TRUE(PtInRegion(region.get(), 0, 0));
  EXPECT_TRUE(PtInRegion(region.get(), 199, 99));
  EXPECT_TRUE(PtInRegion(region.get(), 0, 99));
}

TEST_F(DrawingTest, CheckBoxPictureHasTheAskedSize) {
  for (int size : {13, 16, 24}) {
    UniqueBitmap picture = CheckBoxPicture(size, kCheckTick, 0xFF203000);
    ASSERT_TRUE(picture) << size;
    SIZE actual = BitmapSize(picture.get());
    EXPECT_EQ(actual.cx, size);
    EXPECT_EQ(actual.cy, size);
  }
  EXPECT_FALSE(CheckBoxPicture(0, kCheckTick, 0xFF203000));
}

TEST_F(DrawingTest, CheckBoxPictureShowsTheTickInItsColour) {
  constexpr ARGB tick = 0xFF005F00;
  UniqueBitmap empty = CheckBoxPicture(16, 0, tick);
  UniqueBitmap ticked = CheckBoxPicture(16, kCheckTick, tick);
  UniqueBitmap filled = CheckBoxPicture(16, kCheckFilled, tick);
  BitmapPixels emptyPixels(empty.get()), tickedPixels(ticked.get()), filledPixels(filled.get());
  ASSERT_TRUE(emptyPixels.valid() && tickedPixels.valid() && filledPixels.valid());

  EXPECT_TRUE(Near(emptyPixels.at(8, 8), kWhite, 2)) << emptyPixels.at(8, 8);
  // The filled square spans the middle pixels in the tick colour.
  for (int x = 5; x <= 10; ++x) {
    EXPECT_TRUE(Near(filledPixels.at(x, 8), FromArgb(tick), 4)) << x << ": " << filledPixels.at(x, 8);
  }
  // The mark's stroke is narrower than the square, so its pixels mix with white; the middle of the box
  // must still lean clearly to the tick colour, and the mark must reach from the left half to the top right.
  const Rgba middle = tickedPixels.at(8, 8);
  EXPECT_LT(Distance(middle, FromArgb(tick)), Distance(middle, kWhite)) << middle;
  EXPECT_LT(Distance(tickedPixels.at(4, 8), FromArgb(tick)), Distance(tickedPixels.at(4, 8), kWhite));
  EXPECT_LT(Distance(tickedPixels.at(11, 6), FromArgb(tick)), Distance(tickedPixels.at(11, 6), kWhite));
  // Upper left of the mark: still the white box.
  EXPECT_TRUE(Near(tickedPixels.at(4, 4), kWhite, 8)) << tickedPixels.at(4, 4);
}

TEST_F(DrawingTest, CheckBoxPictureHasABlackBorderAndOptionallyRoundCorners) {
  UniqueBitmap square = CheckBoxPicture(16, 0, 0xFF000000);
  UniqueBitmap rounded = CheckBoxPicture(16, kCheckRounded, 0xFF000000);
  BitmapPixels squarePixels(square.get()), roundedPixels(rounded.get());
  ASSERT_TRUE(squarePixels.valid() && roundedPixels.valid());
  const Rgba edge = squarePixels.at(0, 8);
  EXPECT_EQ(edge.a, 255);
  EXPECT_LT(edge.r + edge.g + edge.b, 3 * 128) << edge;
  EXPECT_EQ(squarePixels.at(0, 0).a, 255);
  EXPECT_LT(roundedPixels.at(0, 0).a, 128) << roundedPixels.at(0, 0);
  EXPECT_TRUE(Near(roundedPixels.at(8, 8), kWhite, 2));
}

TEST_F(DrawingTest, RadioButtonPictureShowsTheDotWhenSelected) {
  UniqueBitmap selected = RadioButtonPicture(true);
  UniqueBitmap cleared = RadioButtonPicture(false);
  ASSERT_TRUE(selected && cleared);
  const SIZE size = BitmapSize(selected.get());
  EXPECT_EQ(size.cx, kRadioPictureSize);
  EXPECT_EQ(size.cy, kRadioPictureSize);
  BitmapPixels on(selected.get()), off(cleared.get());
  ASSERT_TRUE(on.valid() && off.valid());
  EXPECT_TRUE(Near(on.at(7, 7), Rgba{0x00, 0x5F, 0x00, 255}, 8)) << on.at(7, 7);
  EXPECT_TRUE(Near(off.at(7, 7), kWhite, 2)) << off.at(7, 7);
  // Outside the circle the picture is clear.
  EXPECT_EQ(on.at(0, 0).a, 0);
  EXPECT_EQ(off.at(13, 13).a, 0);
}

TEST_F(DrawingTest, GradientBandRunsFromDarkTopToLightBottom) {
  UniqueBitmap band = GradientBand();
  ASSERT_TRUE(band);
  const SIZE size = BitmapSize(band.get());
  ASSERT_EQ(size.cx, kGradientBandWidth);
  ASSERT_EQ(size.cy, kGradientBandHeight);
  BitmapPixels pixels(band.get());
  ASSERT_TRUE(pixels.valid());
  EXPECT_TRUE(Near(pixels.at(0, 0), FromArgb(kGradientBandTop), 3)) << pixels.at(0, 0);
  EXPECT_TRUE(Near(pixels.at(9, 0), FromArgb(kGradientBandTop), 3)) << pixels.at(9, 0);
  EXPECT_TRUE(Near(pixels.at(0, 54), FromArgb(kGradientBandBottom), 3)) << pixels.at(0, 54);
  EXPECT_TRUE(Near(pixels.at(9, 54), FromArgb(kGradientBandBottom), 3)) << pixels.at(9, 54);
  for (int y = 1; y < kGradientBandHeight; ++y) {
    EXPECT_GE(pixels.at(5, y).r, pixels.at(5, y - 1).r) << y;
    EXPECT_TRUE(Near(pixels.at(0, y), pixels.at(9, y), 1)) << "row " << y << " is not one colour";
  }
}

TEST_F(DrawingTest, ScaledImageHasTheAskedSizeAndCleanEdges) {
  auto red = SolidBitmap(64, 64, 0xFFE00000);
  std::unique_ptr<Bitmap> scaled = ScaleImage(*red, 16, 24);
  ASSERT_TRUE(scaled);
  EXPECT_EQ(scaled->GetWidth(), 16u);
  EXPECT_EQ(scaled->GetHeight(), 24u);
  // No dark or see-through rim from pixels beyond the source's edges.
  for (auto [x, y] : {std::pair{0, 0}, std::pair{15, 23}, std::pair{8, 12}, std::pair{0, 12}}) {
    const Rgba pixel = PixelOf(*scaled, x, y);
    EXPECT_TRUE(Near(pixel, Rgba{0xE0, 0, 0, 255}, 2)) << x << "," << y << ": " << pixel;
  }
  EXPECT_FALSE(ScaleImage(*red, 0, 10));

  UniqueBitmap gdiBitmap = ScaledBitmap(*red, 33, 17);
  ASSERT_TRUE(gdiBitmap);
  EXPECT_EQ(BitmapSize(gdiBitmap.get()).cx, 33);
  EXPECT_EQ(BitmapSize(gdiBitmap.get()).cy, 17);
}

TEST_F(DrawingTest, ImageIsDrawnIntoPartOfAnExistingBitmap) {
  auto target = SolidBitmap(50, 50, 0xFFFFFFFF);
  auto red = SolidBitmap(64, 64, 0xFFE00000);
  ASSERT_TRUE(DrawImageScaled(*red, *target, 10, 10, 20, 20));
  EXPECT_TRUE(Near(PixelOf(*target, 10, 10), Rgba{0xE0, 0, 0, 255}, 2)) << PixelOf(*target, 10, 10);
  EXPECT_TRUE(Near(PixelOf(*target, 29, 29), Rgba{0xE0, 0, 0, 255}, 2)) << PixelOf(*target, 29, 29);
  EXPECT_TRUE(Near(PixelOf(*target, 9, 20), kWhite, 0));
  EXPECT_TRUE(Near(PixelOf(*target, 30, 20), kWhite, 0));
}

TEST_F(DrawingTest, WindowBackgroundFillsTransparencyWithTheWindowColour) {
  auto image = SolidBitmap(32, 32, 0);
  {
    Graphics graphics(image.get());
    SolidBrush blue{Color(0xFF0000FF)};
    graphics.FillRectangle(&blue, 16, 0, 16, 32);
  }
  const Rgba windowColour{GetRValue(kWindowBackgroundColour), GetGValue(kWindowBackgroundColour),
                          GetBValue(kWindowBackgroundColour), 255};
  for (auto [width, height] : {std::pair{32, 32}, std::pair{64, 48}}) {
    SCOPED_TRACE(width);
    UniqueBitmap background = WindowBackgroundBitmap(*image, width, height);
    ASSERT_TRUE(background);
    EXPECT_EQ(BitmapSize(background.get()).cx, width);
    EXPECT_EQ(BitmapSize(background.get()).cy, height);
    BitmapPixels pixels(background.get());
    ASSERT_TRUE(pixels.valid());
    EXPECT_TRUE(Near(pixels.at(1, height / 2), windowColour, 0)) << pixels.at(1, height / 2);
    EXPECT_TRUE(Near(pixels.at(width - 2, height / 2), Rgba{0, 0, 255, 255}, 2)) << pixels.at(width - 2, height / 2);
  }
}

// A 16 × 16 icon with an opaque red square in the middle and nothing around it, once with an alpha channel
// and once, as old icons are, with only a mask.
UniqueIcon MakeIcon(bool withAlpha) {
  std::vector<uint32_t> colour(16 * 16, 0);
  std::vector<uint8_t> mask(16 * 2, 0xFF);  // 1 bit per pixel, rows of 2 bytes: all transparent
  for (int y = 4; y < 12; ++y) {
    for (int x = 4; x < 12; ++x) {
      colour[y * 16 + x] = withAlpha ? 0xFFFF0000 : 0x00FF0000;
      mask[y * 2 + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    }
  }
  UniqueBitmap colourBitmap(CreateBitmap(16, 16, 1, 32, colour.data()));
  UniqueBitmap maskBitmap(CreateBitmap(16, 16, 1, 1, mask.data()));
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colourBitmap.get();
  info.hbmMask = maskBitmap.get();
  return UniqueIcon(CreateIconIndirect(&info));
}

TEST_F(DrawingTest, IconBecomesAPremultipliedBitmap) {
  for (bool withAlpha : {true, false}) {
    SCOPED_TRACE(withAlpha ? "alpha channel" : "mask only");
    UniqueIcon icon = MakeIcon(withAlpha);
    ASSERT_TRUE(icon);
    UniqueBitmap bitmap = IconToBitmap(icon.get(), 16, 16);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(BitmapSize(bitmap.get()).cx, 16);
    EXPECT_EQ(BitmapSize(bitmap.get()).cy, 16);
    BitmapPixels pixels(bitmap.get());
    ASSERT_TRUE(pixels.valid());
    EXPECT_TRUE(Near(pixels.at(8, 8), Rgba{255, 0, 0, 255}, 2)) << pixels.at(8, 8);
    EXPECT_TRUE(Near(pixels.at(4, 11), Rgba{255, 0, 0, 255}, 2)) << pixels.at(4, 11);
    EXPECT_TRUE(Near(pixels.at(1, 1), kTransparent, 0)) << pixels.at(1, 1);
    EXPECT_TRUE(Near(pixels.at(14, 8), kTransparent, 0)) << pixels.at(14, 8);
  }
  EXPECT_FALSE(IconToBitmap(nullptr, 16, 16));
}

TEST_F(DrawingTest, IconBitmapsAreHandedOut) {
  UniqueIcon icon = MakeIcon(true);
  ASSERT_TRUE(icon);
  IconBitmaps bitmaps;
  ASSERT_TRUE(GetIconBitmaps(icon.get(), bitmaps));
  ASSERT_TRUE(bitmaps.colour);
  ASSERT_TRUE(bitmaps.mask);
  EXPECT_EQ(BitmapSize(bitmaps.colour.get()).cx, 16);
  EXPECT_EQ(BitmapSize(bitmaps.colour.get()).cy, 16);
  EXPECT_EQ(BitmapSize(bitmaps.mask.get()).cx, 16);
  EXPECT_EQ(BitmapSize(bitmaps.colour.get()).cy, 16);

  IconBitmaps none;
  EXPECT_FALSE(GetIconBitmaps(nullptr, none));
  EXPECT_EQ(BitmapSize(nullptr).cx, 0);
}

}  // namespace

namespace {

// A disabled button's picture: the shape stays, its colour goes to grey and it fades; what was transparent
// stays transparent (no grey block around the picture).
TEST_F(DrawingTest, FadedPictureIsGreyFaintAndKeepsItsTransparentParts) {
  auto source = SolidBitmap(8, 8, 0x00000000);
  {
    Graphics graphics(source.get());
    SolidBrush green(Color(0xFF00C000));
    graphics.FillRectangle(&green, 0, 0, 4, 8);
  }
  UniqueBitmap picture = ToBitmap(*source);
  ASSERT_TRUE(picture);
  UniqueBitmap faded = FadedBitmap(picture.get());
  ASSERT_TRUE(faded);
  BitmapPixels pixels(faded.get());
  ASSERT_TRUE(pixels.valid());
  Rgba painted = pixels.at(1, 4);
  EXPECT_EQ(painted.r, painted.g);
  EXPECT_EQ(painted.g, painted.b);
  EXPECT_GT(painted.a, 60);
  EXPECT_LT(painted.a, 140);
  EXPECT_LE(painted.r, painted.a);  // premultiplied
  EXPECT_TRUE(Near(pixels.at(6, 4), kTransparent, 0)) << pixels.at(6, 4);
  EXPECT_FALSE(FadedBitmap(nullptr));
}

}  // namespace
