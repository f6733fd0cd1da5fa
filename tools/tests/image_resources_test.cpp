#include "resources/image_resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "pe/byte_writer.h"

namespace {

const std::filesystem::path kArt =
    std::filesystem::path(PRODUCT_TOOL_SOURCE_DIR) / "resources" / "art";

Bytes ReadArt(const char* name) {
  std::ifstream in(kArt / name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A minimal BMP: file header, 40-byte info header, optional gap, pixels.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t gap) {
  const uint32_t rowSize = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
  const uint32_t pixels = rowSize * static_cast<uint32_t>(height);
  Bytes bmp;
  const auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bmp.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  bmp.push_back('B'), bmp.push_back('M');
  put(14 + 40 + gap + pixels, 4), put(0, 4), put(14 + 40 + gap, 4);
  put(40, 4), put(static_cast<uint32_t>(width), 4), put(static_cast<uint32_t>(height), 4),
      put(1, 2), put(bits, 2);
  put(0, 4), put(pixels, 4), put(2834, 4), put(2834, 4), put(0, 4), put(0, 4);
  bmp.insert(bmp.end(), gap, 0xEE);
  for (uint32_t i = 0; i < pixels; ++i) bmp.push_back(static_cast<uint8_t>(i));
  return bmp;
}

TEST(Bitmap, DefaultArtHasTheLauncherLayout) {
  const Bytes file = ReadArt("background.bmp");
  Diagnostics diagnostics;
  const std::optional<Bytes> packed = BitmapResourceFromBmp(file, "background.bmp", diagnostics);
  ASSERT_TRUE(packed);
  EXPECT_EQ(diagnostics.Text(), "");
  EXPECT_EQ(Bytes(file.begin() + 14, file.end()), *packed);
  EXPECT_EQ(ReadLe(*packed, 4, 4), 164u);
  EXPECT_EQ(ReadLe(*packed, 8, 4), 354u) << "positive height: stored bottom-up";
  EXPECT_EQ(ReadLe(*packed, 14, 2), 24u);
  EXPECT_EQ(ReadLe(*packed, 16, 4), 0u) << "uncompressed";
  EXPECT_EQ(ReadLe(*packed, 24, 4), 2834u);
  EXPECT_EQ(ReadLe(*packed, 28, 4), 2834u);
}

TEST(Bitmap, PixelsAfterAGapAreMovedNextToTheHeader) {
  const Bytes file = MakeBmp(164, 354, 24, 6);
  Diagnostics diagnostics;
  const std::optional<Bytes> packed = BitmapResourceFromBmp(file, "gap.bmp", diagnostics);
  ASSERT_TRUE(packed);
  EXPECT_EQ(packed->size(), file.size() - 14 - 6);
  EXPECT_EQ((*packed)[40], 0) << "the first pixel byte follows the header";
}

TEST(Bitmap, OtherDepthsWarnAndNonBitmapsAreRefused) {
  Diagnostics deep;
  EXPECT_TRUE(BitmapResourceFromBmp(MakeBmp(164, 354, 32, 0), "deep.bmp", deep));
  EXPECT_NE(deep.Text().find("deep.bmp: warning: is 164 x 354, 32 bits"), std::string::npos);

  Diagnostics truncated;
  Bytes cut = MakeBmp(164, 354, 24, 0);
  cut.resize(60);
  EXPECT_FALSE(BitmapResourceFromBmp(cut, "cut.bmp", truncated));
  EXPECT_TRUE(truncated.HasErrors());

  Diagnostics png;
  Bytes notBmp = ReadArt("app.ico");
  EXPECT_FALSE(BitmapResourceFromBmp(notBmp, "icon.bmp", png));
  EXPECT_EQ(png.Text(), "icon.bmp: is not a BMP file: save the art as a 24-bit BMP (Windows bitmap)\n");
}

TEST(Bitmap, DefaultArtComesInThreeSizesOfOneShape) {
  std::vector<ArtFile> files;
  for (const char* name : {"background-200.bmp", "background.bmp", "background-150.bmp"})
    files.push_back({ReadArt(name), name});
  Diagnostics diagnostics;
  const std::optional<std::vector<Bytes>> art = BackgroundResources(files, diagnostics);
  ASSERT_TRUE(art);
  EXPECT_EQ(diagnostics.Text(), "");
  ASSERT_EQ(art->size(), 3u);
  const uint32_t widths[] = {164, 246, 328};  // smallest first: resources 140, 141, 142
  const uint32_t heights[] = {354, 531, 708};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadLe((*art)[i], 4, 4), widths[i]);
    EXPECT_EQ(ReadLe((*art)[i], 8, 4), heights[i]);
  }
}

struct ArtSetCase {
  std::vector<std::pair<int32_t, int32_t>> sizes;  // a.bmp, b.bmp, ...
  const char* message;                             // empty: accepted without a word
};

const ArtSetCase kArtSets[] = {
    {{{164, 354}, {205, 442}}, ""},  // 1.25 x rounds to 442.5
    {{{164, 354}, {205, 443}}, ""},
    {{{164, 354}, {328, 700}},
     "b.bmp: is 328 x 700, not in the proportions of a.bmp (164 x 354): at 328 pixels wide it "
     "would be 708 high\n"},
    {{{328, 708}, {164, 354}, {164, 354}}, "c.bmp: is 164 x 354, the size of b.bmp"},
    {{{100, 216}}, "a.bmp: warning: is 100 x 216; the launcher's art at 100 % is 164 x 354"},
    {{{164, 354}, {205, 443}, {246, 531}, {287, 620}, {328, 708}},
     "e.bmp: the art comes in 1 to 4"},
};

TEST(Bitmap, ArtSizesMustShareTheProportionsOfTheSmallest) {
  for (const ArtSetCase& c : kArtSets) {
    std::vector<ArtFile> files;
    for (const auto& [width, height] : c.sizes) {
      files.push_back({MakeBmp(width, height, 24, 0),
                       std::string(1, static_cast<char>('a' + files.size())) + ".bmp"});
    }
    Diagnostics diagnostics;
    const bool accepted = BackgroundResources(files, diagnostics).has_value();
    SCOPED_TRACE(c.message);
    EXPECT_EQ(accepted, !diagnostics.HasErrors());
    if (*c.message == '\0') {
      EXPECT_EQ(diagnostics.Text(), "");
    } else {
      EXPECT_NE(diagnostics.Text().find(c.message), std::string::npos) << diagnostics.Text();
    }
  }
}

TEST(Icon, DefaultIconHasEverySizeTheWindowTakesLargestAsPng) {
  Diagnostics diagnostics;
  const std::optional<IconResources> icons =
      IconResourcesFromIco(ReadArt("app.ico"), "app.ico", diagnostics);
  ASSERT_TRUE(icons);
  EXPECT_EQ(diagnostics.Text(), "");
  ASSERT_EQ(icons->images.size(), 8u);
  EXPECT_EQ(Bytes(icons->images[0].begin(), icons->images[0].begin() + 4),
            (Bytes{0x89, 'P', 'N', 'G'}));
  const int sizes[] = {0, 64, 48, 40, 32, 24, 20, 16};  // 256 is written as 0
  for (size_t i = 0; i < 8; ++i) {
    const size_t entry = 6 + 14 * i;
    EXPECT_EQ(icons->group[entry], sizes[i]);
    EXPECT_EQ(ReadLe(icons->group, entry + 6, 2), 32u) << "32 bits per pixel";
    EXPECT_EQ(ReadLe(icons->group, entry + 8, 4), icons->images[i].size());
    EXPECT_EQ(ReadLe(icons->group, entry + 12, 2), i + 1) << "refers to its RT_ICON id";
    if (i > 0) {
      EXPECT_EQ(ReadLe(icons->images[i], 0, 4), 40u) << "stored as a bitmap";
    }
  }
}

TEST(Icon, MissingWindowSizesAreNamed) {
  // The default icon cut down to its first two entries, 256 and 64.
  Bytes icon = ReadArt("app.ico");
  icon[4] = 2;
  Diagnostics diagnostics;
  ASSERT_TRUE(IconResourcesFromIco(icon, "two.ico", diagnostics));
  EXPECT_EQ(diagnostics.Text(),
            "two.ico: warning: lacks the sizes the window's icons take at 100 % and 200 % display "
            "scale: 16 x 16, 32 x 32; Windows scales another image to them\n");
}

TEST(Icon, BrokenFilesAreRefused) {
  Bytes outside = ReadArt("app.ico");
  outside[6 + 12] = 0xFF;  // first image's offset far beyond the end
  outside[6 + 15] = 0x7F;
  Diagnostics diagnostics;
  EXPECT_FALSE(IconResourcesFromIco(outside, "app.ico", diagnostics));
  EXPECT_EQ(diagnostics.Text(), "app.ico: image 1 lies outside the file\n");

  Diagnostics empty;
  EXPECT_FALSE(IconResourcesFromIco(Bytes{0, 0, 1, 0, 0, 0}, "empty.ico", empty));
  Diagnostics cursor;
  EXPECT_FALSE(IconResourcesFromIco(Bytes{0, 0, 2, 0, 1, 0}, "cursor.cur", cursor));
  EXPECT_EQ(cursor.Text(), "cursor.cur: is not an ICO file: save the icon as an ICO file with 16, 32 and 64 "
            "pixel images\n");
}

}  // namespace
