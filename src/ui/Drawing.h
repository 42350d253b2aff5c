#pragma once
// Pictures painted with GDI+ and handed to GDI as bitmaps, pattern brushes and window regions: rounded
// panels, check-box and radio-button pictures, the title bands' gradient, scaled images, and icons turned
// into bitmaps. Everything is drawn anti-aliased with a half-pixel offset and scaled bicubically, into
// 32-bit premultiplied ARGB. GDI+ must be running (the entry point starts it).

#include "ui/GdiOwners.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

// Outlines (1 pixel wide) and fills a rectangle with rounded corners; a corner diameter of 0 gives
// square corners. False when GDI+ could not draw on the image.
bool FillRoundedRectangle(Gdiplus::Image& image, int x, int y, int width, int height, Gdiplus::ARGB colour,
                          int cornerDiameter);

// The face of the program's dialogs: a black rim 4 pixels wide around a white panel, and a light band
// (ARGB 0xFFF0F0FF) from bandTop down to the rim, behind the buttons. cornerDiameter rounds the rim and the
// panel; the band keeps square corners.
[[nodiscard]] UniqueBitmap DialogFace(int width, int height, int bandTop, int cornerDiameter);

// Gives the window a region of the same rounded rectangle at (0, 0), without redrawing it. The window
// owns the region from then on.
bool SetRoundedWindowRegion(HWND window, int width, int height, int cornerDiameter);

// What a check-box picture shows; kCheckTick and kCheckFilled exclude each other (the tick wins).
enum CheckPictureFlags : unsigned {
  kCheckTick = 1,     // a check mark in the tick colour
  kCheckFilled = 2,   // a filled square in the tick colour
  kCheckRounded = 4,  // the box has rounded corners
};
// A size × size check-box picture; null on failure.
[[nodiscard]] UniqueBitmap CheckBoxPicture(int size, unsigned flags, Gdiplus::ARGB tickColour);

inline constexpr int kRadioPictureSize = 14;
// A kRadioPictureSize square radio-button picture; null on failure.
[[nodiscard]] UniqueBitmap RadioButtonPicture(bool selected);

inline constexpr int kGradientBandWidth = 10;
inline constexpr int kGradientBandHeight = 55;
inline constexpr Gdiplus::ARGB kGradientBandTop = 0xFF001818;
inline constexpr Gdiplus::ARGB kGradientBandBottom = 0xFF506868;
// The band behind title areas, dark at the top and lighter at the bottom; made into a pattern brush it
// tiles horizontally. Null on failure.
[[nodiscard]] UniqueBitmap GradientBand();

// The image drawn into a new width × height bitmap; null on failure.
[[nodiscard]] std::unique_ptr<Gdiplus::Bitmap> ScaleImage(Gdiplus::Image& image, int width, int height);
// The image drawn over the rectangle (x, y, width, height) of an existing image; false on failure.
bool DrawImageScaled(Gdiplus::Image& image, Gdiplus::Image& target, int x, int y, int width, int height);
// The image at width × height as a 32-bit GDI bitmap. An opaque background is laid under it, so the result
// is opaque; the default, transparent, keeps the alpha channel (premultiplied). Null on failure.
[[nodiscard]] UniqueBitmap ScaledBitmap(Gdiplus::Image& image, int width, int height,
                                        Gdiplus::ARGB background = 0);
// The same at the image's own size.
[[nodiscard]] UniqueBitmap ToBitmap(Gdiplus::Bitmap& image, Gdiplus::ARGB background = 0);

inline constexpr COLORREF kWindowBackgroundColour = RGB(254, 254, 254);
// A window background from an image: scaled to the client size when it differs, its transparent parts
// laid on kWindowBackgroundColour. The window selects it into its memory DC. Null on failure.
[[nodiscard]] UniqueBitmap WindowBackgroundBitmap(Gdiplus::Image& image, int clientWidth, int clientHeight);

// The picture as a disabled control shows it: grey and faint. A 32-bit picture's alpha is taken as
// premultiplied; a picture without alpha is opaque.
[[nodiscard]] UniqueBitmap FadedBitmap(HBITMAP picture);
// The icon drawn at width × height into a 32-bit premultiplied DIB section, through an image list so that
// its alpha channel survives; null on failure.
[[nodiscard]] UniqueBitmap IconToBitmap(HICON icon, int width, int height);
// A bitmap's width and height; 0 × 0 when the handle is no bitmap.
[[nodiscard]] SIZE BitmapSize(HBITMAP bitmap);

// The two bitmaps behind an icon (GetIconInfo hands out copies the caller must delete). A monochrome
// icon has no colour bitmap; its mask is twice as high.
struct IconBitmaps {
  UniqueBitmap colour;
  UniqueBitmap mask;
  POINT hotSpot{};
};
// False when the handle is no icon.
[[nodiscard]] bool GetIconBitmaps(HICON icon, IconBitmaps& bitmaps);
