// The program's pictures and icons, loaded from the test executable's resources, which come from the
// program's own resource script.

#include "ui/Drawing.h"
#include "ui/Images.h"

#include "res/ResourceIds.h"

#include "GdiplusSession.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

using namespace Gdiplus;

using testing_support::GdiplusSession;

namespace {


class ImagesTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(gdiplus_.started()); }

 private:
  GdiplusSession gdiplus_;
};

// How many pixels are nearly opaque: a picture that decoded to nothing has none.
int OpaquePixels(Bitmap& bitmap) {
  int count = 0;
  for (UINT y = 0; y < bitmap.GetHeight(); ++y) {
    for (UINT x = 0; x < bitmap.GetWidth(); ++x) {
      Color colour;
      if (bitmap.GetPixel(static_cast<INT>(x), static_cast<INT>(y), &colour) == Ok && colour.GetA() > 200) ++count;
    }
  }
  return count;
}

TEST_F(ImagesTest, EveryPictureLoadsAtItsOwnSizeAndScaled) {
  for (int id = IDIMG_FIRST; id <= IDIMG_LAST; ++id) {
    SCOPED_TRACE(id);
    std::unique_ptr<Bitmap> own = LoadImageResource(nullptr, id);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->GetWidth(), 64u);
    EXPECT_EQ(own->GetHeight(), 64u);
    EXPECT_GT(OpaquePixels(*own), 64 * 64 / 8);

    for (int size : {16, 24, 32}) {
      std::unique_ptr<Bitmap> scaled = LoadImageResource(nullptr, id, size, size);
      ASSERT_TRUE(scaled) << size;
      EXPECT_EQ(scaled->GetWidth(), static_cast<UINT>(size));
      EXPECT_EQ(scaled->GetHeight(), static_cast<UINT>(size));
      EXPECT_GT(OpaquePixels(*scaled), size * size / 10) << size;
    }

    UniqueBitmap bitmap = LoadImageResourceBitmap(nullptr, id, 20, 18);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(BitmapSize(bitmap.get()).cx, 20);
    EXPECT_EQ(BitmapSize(bitmap.get()).cy, 18);
  }
}

// The colour in the middle of a few pictures tells that each id holds the picture its name promises.
TEST_F(ImagesTest, PicturesSitUnderTheirIds) {
  const auto green = [](const Color& c) { return c.GetG() > 120 && c.GetR() < 120 && c.GetB() < 120; };
  const auto red = [](const Color& c) { return c.GetR() > 160 && c.GetG() < 100 && c.GetB() < 100; };
  const auto white = [](const Color& c) { return c.GetR() > 230 && c.GetG() > 230 && c.GetB() > 230; };
  const auto clear = [](const Color& c) { return c.GetA() < 30; };
  struct Case {
    int id;
    const char* what;
    bool (*matches)(const Color&);
  };
  const Case cases[] = {
      {IDIMG_ADD_PAIR, "green plus", green},     {IDIMG_REMOVE_PAIR, "red minus", red},
      {IDIMG_CANCEL, "red cross", red},          {IDIMG_START, "green triangle", green},
      {IDIMG_INFORMATION, "white i on blue", white}, {IDIMG_SETTINGS, "hole of the gear", clear},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    std::unique_ptr<Bitmap> picture = LoadImageResource(nullptr, test.id, 16, 16);
    ASSERT_TRUE(picture);
    Color middle;
    ASSERT_EQ(picture->GetPixel(8, 8, &middle), Ok);
    EXPECT_TRUE(test.matches(middle)) << std::hex << middle.GetValue();
  }
}

TEST_F(ImagesTest, MissingPictureGivesNothing) {
  EXPECT_FALSE(LoadImageResource(nullptr, IDIMG_FIRST - 1));
  EXPECT_FALSE(LoadImageResource(nullptr, IDIMG_LAST + 1, 16, 16));
  EXPECT_FALSE(LoadImageResourceBitmap(nullptr, 4711, 16, 16));
}

TEST_F(ImagesTest, IconsLoadAtTheAskedSize) {
  for (auto [id, size] : {std::pair{IDI_FOLDER_PAIR, 16}, std::pair{IDI_FOLDER_PAIR, 32}, std::pair{IDI_PROGRAM, 32},
                          std::pair{IDI_PROGRAM, 16}}) {
    SCOPED_TRACE(id * 1000 + size);
    UniqueIcon icon = LoadIconResource(nullptr, id, size);
    ASSERT_TRUE(icon);
    IconBitmaps bitmaps;
    ASSERT_TRUE(GetIconBitmaps(icon.get(), bitmaps));
    ASSERT_TRUE(bitmaps.colour);
    EXPECT_EQ(BitmapSize(bitmaps.colour.get()).cx, size);
    EXPECT_EQ(BitmapSize(bitmaps.colour.get()).cy, size);

    // Drawn into a bitmap, the icon covers much of its square and leaves its corner clear.
    UniqueBitmap drawn = IconToBitmap(icon.get(), size, size);
    ASSERT_TRUE(drawn);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(drawn.get(), sizeof(section), &section), static_cast<int>(sizeof(section)));
    const auto* words = static_cast<const uint32_t*>(section.dsBm.bmBits);
    int opaque = 0;
    for (int i = 0; i < size * size; ++i) opaque += (words[i] >> 24) > 200 ? 1 : 0;
    EXPECT_GT(opaque, size * size / 3);
    EXPECT_EQ(words[0] >> 24, 0u) << "the top-left corner is clear";
  }
  EXPECT_FALSE(LoadIconResource(nullptr, 2, 16));
  EXPECT_FALSE(LoadIconResource(nullptr, IDI_FOLDER_PAIR, 0));
}

}  // namespace
