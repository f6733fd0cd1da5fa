#include "ui/background_art.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "launcher_window_fixture.h"
#include "ui/dialog_proc.h"

namespace {

using platform::PixelSize;

// A bitmap resource's information header (BITMAPINFOHEADER) and no pixels:
// only the header is read.
std::string InfoHeader(int32_t width, int32_t height, uint32_t headerSize = 40) {
  std::string bytes(40, '\0');
  const int32_t fields[] = {static_cast<int32_t>(headerSize), width, height};
  for (size_t field = 0; field < 3; ++field) {
    const auto value = static_cast<uint32_t>(fields[field]);
    for (size_t byte = 0; byte < 4; ++byte) {
      bytes[field * 4 + byte] = static_cast<char>((value >> (8 * byte)) & 0xFF);
    }
  }
  return bytes;
}

TEST(BackgroundArt, SizeComesFromTheInformationHeader) {
  const std::string bottomUp = InfoHeader(164, 354);
  const std::string topDown = InfoHeader(246, -531);
  const std::string coreHeader = InfoHeader(164, 354, 12);
  const std::string flat = InfoHeader(164, 0);
  const auto size = [](const std::string& bytes, size_t length) {
    return BitmapResourceSize(bytes.data(), static_cast<uint32_t>(length));
  };
  ASSERT_TRUE(size(bottomUp, 40));
  EXPECT_EQ(size(bottomUp, 40)->width, 164);
  EXPECT_EQ(size(bottomUp, 40)->height, 354);
  ASSERT_TRUE(size(topDown, 40));
  EXPECT_EQ(size(topDown, 40)->height, 531);
  EXPECT_FALSE(size(bottomUp, 39));    // cut short
  EXPECT_FALSE(size(coreHeader, 40));  // not an information header
  EXPECT_FALSE(size(flat, 40));
  EXPECT_FALSE(BitmapResourceSize(nullptr, 40));
}

struct ChoiceCase {
  const char* what;
  PixelSize room;
  std::optional<size_t> chosen;
};

// The art at 1x, 1.5x and 2x; the room is the picture's inside at some scale.
const ChoiceCase kChoices[] = {
    {"100 %: the 1x art as it is", {164, 354}, 0},
    {"125 %: scaled down from 1.5x", {205, 443}, 1},
    {"150 %: the 1.5x art as it is", {246, 531}, 1},
    {"one pixel taller than 1.5x", {246, 532}, 2},
    {"200 %", {328, 708}, 2},
    {"250 %: nothing covers it, the largest is scaled up", {410, 885}, 2},
    {"smaller than every size", {100, 200}, 0},
};

TEST(BackgroundArt, ChoosesTheSmallestSizeThatCoversTheRoom) {
  const std::vector<std::optional<PixelSize>> sizes = {PixelSize{164, 354}, PixelSize{246, 531},
                                                       PixelSize{328, 708}, std::nullopt};
  for (const ChoiceCase& c : kChoices) {
    EXPECT_EQ(ChooseArtSize(sizes, c.room), c.chosen) << c.what;
  }
  // Listed in any order, absent sizes between them.
  const std::vector<std::optional<PixelSize>> shuffled = {PixelSize{328, 708}, std::nullopt,
                                                          PixelSize{164, 354}, PixelSize{246, 531}};
  EXPECT_EQ(ChooseArtSize(shuffled, {200, 400}), std::optional<size_t>(3));
  EXPECT_EQ(ChooseArtSize(shuffled, {500, 900}), std::optional<size_t>(0));
  EXPECT_EQ(ChooseArtSize({std::nullopt, std::nullopt}, {164, 354}), std::nullopt);
}

struct CoverCase {
  PixelSize art, room;
  platform::PixelRect part;
};

const CoverCase kCovers[] = {
    {{164, 354}, {164, 354}, {0, 0, 164, 354}},   // the same shape: all of it
    {{328, 708}, {246, 531}, {0, 0, 328, 708}},   // the same shape, larger
    {{164, 354}, {165, 327}, {0, 14, 164, 325}},  // a squatter room: top and bottom cut
    {{328, 708}, {333, 630}, {0, 43, 328, 621}},  // the bench's frame at 200 %
    {{164, 354}, {100, 354}, {32, 0, 100, 354}},  // a narrower room: the sides cut
    {{164, 354}, {0, 100}, {0, 0, 164, 354}},     // no room: left whole
};

TEST(BackgroundArt, TheArtFillsTheRoomWithoutDistortion) {
  for (const CoverCase& c : kCovers) {
    const platform::PixelRect part = CoverPart(c.art, c.room);
    EXPECT_EQ(std::make_tuple(part.x, part.y, part.width, part.height),
              std::make_tuple(c.part.x, c.part.y, c.part.width, c.part.height))
        << c.room.width << " x " << c.room.height;
  }
}

class BackgroundArtWindow : public LauncherWindowTest {
 protected:
  void AddArt(uint32_t id, int32_t width, int32_t height) {
    fake.resources.bitmaps[id] = InfoHeader(width, height);
  }
};

TEST_F(BackgroundArtWindow, DrawsTheChosenSizeToFillThePicture) {
  StartLauncher(/*launcherMode=*/true);
  AddArt(IDB_BACKGROUND, 164, 354);
  AddArt(IDB_BACKGROUND + 1, 328, 708);
  fake.windows.pictureRoom = {249, 534};  // 150 %
  ShowBackgroundArt(state, fake.os);
  ASSERT_EQ(fake.windows.picturesShown.size(), 1u);
  EXPECT_EQ(fake.windows.picturesShown[0].bitmapId, static_cast<uint32_t>(IDB_BACKGROUND + 1));
  EXPECT_EQ(fake.windows.picturesShown[0].size.width, 249);
  EXPECT_EQ(fake.windows.picturesShown[0].size.height, 534);
  EXPECT_EQ(fake.windows.picturesShown[0].source.width, 328);  // 2x, cut to the room's shape
  EXPECT_EQ(fake.windows.picturesShown[0].source.height, 703);
  EXPECT_EQ(fake.resources.loaded, 0);  // every resource read is freed again
}

TEST_F(BackgroundArtWindow, LeavesThePictureAloneWhenThereIsNothingToDraw) {
  StartLauncher(/*launcherMode=*/true);
  ShowBackgroundArt(state, fake.os);  // no art in the program
  AddArt(IDB_BACKGROUND, 164, 354);
  fake.FailNext("LockResource", platform::kErrorInvalidParameter);
  ShowBackgroundArt(state, fake.os);
  fake.windows.pictureRoom = {0, 0};
  ShowBackgroundArt(state, fake.os);
  EXPECT_TRUE(fake.windows.picturesShown.empty());
  EXPECT_EQ(fake.resources.loaded, 0);
}

TEST_F(BackgroundArtWindow, InstallerLayoutHasNoArt) {
  StartLauncher(/*launcherMode=*/false);
  AddArt(IDB_BACKGROUND, 164, 354);
  ShowBackgroundArt(state, fake.os);
  EXPECT_TRUE(fake.windows.picturesShown.empty());
}

// Windows lays the window out anew only once WM_DPICHANGED is handled; the
// art and the icons are redone from the message posted for after that.
TEST_F(BackgroundArtWindow, ArtAndIconsFollowADpiChangeOnceTheLayoutHas) {
  StartLauncher(/*launcherMode=*/true);
  AddArt(IDB_BACKGROUND, 164, 354);
  AddArt(IDB_BACKGROUND + 1, 328, 708);
  HandleDialogMessage(state, fake.os, platform::kMessageDpiChanged, 0, 0);
  EXPECT_TRUE(fake.windows.picturesShown.empty());
  ASSERT_EQ(fake.windows.queue.size(), 1u);

  fake.windows.pictureRoom = {332, 712};
  HandleDialogMessage(state, fake.os, platform::kMessageLayoutChanged, 0, 0);
  ASSERT_EQ(fake.windows.picturesShown.size(), 1u);
  EXPECT_EQ(fake.windows.picturesShown[0].bitmapId, static_cast<uint32_t>(IDB_BACKGROUND + 1));
  EXPECT_EQ(fake.windows.picturesShown[0].size.width, 332);
  EXPECT_EQ(Dialog().iconId, static_cast<uint32_t>(IDI_APP));
}

}  // namespace
