// The windows ask for "Arial" everywhere. Under Wine that font is not there: the prefix must map it to a
// metric-compatible one (Liberation Sans), or labels are laid out in a fallback font of other widths, and
// texts that fit on Windows are cut off under Wine.

#include "ui/GdiOwners.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FontFacts {
  std::wstring face;
  TEXTMETRICW metrics{};
  SIZE hello{};
  INT advances[4]{};  // of H, e, l, o
  bool valid = false;
};

FontFacts MeasureFont(const wchar_t* face, int height) {
  FontFacts facts;
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return facts;
  UniqueFont font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
  if (!font) return facts;
  SelectedObject selected(dc.get(), font.get());
  wchar_t name[LF_FACESIZE] = {};
  const int length = GetTextFaceW(dc.get(), LF_FACESIZE, name);
  facts.face.assign(name, length > 0 ? static_cast<size_t>(length - 1) : 0);
  facts.valid = GetTextMetricsW(dc.get(), &facts.metrics) && GetTextExtentPoint32W(dc.get(), L"Hello", 5, &facts.hello);
  const wchar_t letters[] = L"Helo";
  for (int i = 0; i < 4; ++i) {
    facts.valid = facts.valid && GetCharWidth32W(dc.get(), letters[i], letters[i], &facts.advances[i]);
  }
  return facts;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(FontTest, ArialIsAnOutlineFontWithArialsWidths) {
  UniqueMemoryDc screen(CreateCompatibleDC(nullptr));
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  const FontFacts arial = MeasureFont(L"Arial", -MulDiv(9, dpi, 72));
  ASSERT_TRUE(arial.valid);
  EXPECT_TRUE(arial.face == L"Arial" || arial.face == L"Liberation Sans")
      << "\"Arial\" came out as \"" << Narrow(arial.face)
      << "\": scripts/install-deps.sh installs fonts-liberation, the test set-up maps Arial to it";
  EXPECT_TRUE(arial.metrics.tmPitchAndFamily & TMPF_TRUETYPE) << "a bitmap font stood in for Arial";
  // 9 points are 12 pixels at 96 dots an inch; each letter's advance is rounded to whole pixels: 29 for
  // "Hello" in Arial.
  const double scale = dpi / 96.0;
  EXPECT_GE(arial.hello.cx, 26 * scale) << arial.hello.cx;
  EXPECT_LE(arial.hello.cx, 31 * scale) << arial.hello.cx;
  EXPECT_GE(arial.hello.cy, 13 * scale) << arial.hello.cy;
  EXPECT_LE(arial.hello.cy, 16 * scale) << arial.hello.cy;

  // At 9 points rounding hides the difference to other sans-serif fonts (DejaVu Sans also gives 29), so
  // compare the design widths: at a height of one em in font units, H, e, l and o advance by Arial's
  // 1479, 1139, 455 and 1139 units (DejaVu Sans: 1540, 1260, 569, 1253).
  const FontFacts design = MeasureFont(L"Arial", -2048);
  ASSERT_TRUE(design.valid);
  EXPECT_EQ(design.advances[0], 1479) << Narrow(design.face);
  EXPECT_EQ(design.advances[1], 1139) << Narrow(design.face);
  EXPECT_EQ(design.advances[2], 455) << Narrow(design.face);
  EXPECT_EQ(design.advances[3], 1139) << Narrow(design.face);
}

}  // namespace
