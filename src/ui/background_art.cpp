#include "ui/background_art.h"

#include <cstring>

#include "platform/unique_handles.h"
#include "resource_ids.h"

namespace {

constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER

int32_t ReadInt32(const unsigned char* bytes) {
  uint32_t value = 0;
  for (int index = 3; index >= 0; --index) value = (value << 8) | bytes[index];
  int32_t signedValue = 0;
  std::memcpy(&signedValue, &value, sizeof signedValue);
  return signedValue;
}

uint64_t Area(platform::PixelSize size) {
  return static_cast<uint64_t>(size.width) * static_cast<uint64_t>(size.height);
}

std::optional<platform::PixelSize> ArtSize(const platform::Platform& os, uint32_t bitmapId) {
  const platform::ResourceHandle resource = os.resources.FindBitmap(bitmapId);
  if (resource == nullptr) return std::nullopt;
  const platform::UniqueLoadedResource loaded(os.resources, os.resources.Load(resource));
  if (!loaded) return std::nullopt;
  const void* bytes = os.resources.Lock(loaded.get());
  if (bytes == nullptr) return std::nullopt;
  return BitmapResourceSize(bytes, os.resources.Size(resource));
}

}  // namespace

std::optional<platform::PixelSize> BitmapResourceSize(const void* bytes, uint32_t size) {
  if (bytes == nullptr || size < kInfoHeaderSize) return std::nullopt;
  const auto* header = static_cast<const unsigned char*>(bytes);
  if (static_cast<uint32_t>(ReadInt32(header)) < kInfoHeaderSize) return std::nullopt;
  const int32_t width = ReadInt32(header + 4);
  const int32_t height = ReadInt32(header + 8);
  // INT32_MIN has no positive counterpart; no bitmap is that tall anyway.
  if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
  return platform::PixelSize{width, height < 0 ? -height : height};
}

std::optional<size_t> ChooseArtSize(const std::vector<std::optional<platform::PixelSize>>& sizes,
                                    platform::PixelSize room) {
  std::optional<size_t> smallestCovering;
  std::optional<size_t> largest;
  for (size_t index = 0; index < sizes.size(); ++index) {
    if (!sizes[index]) continue;
    const platform::PixelSize size = *sizes[index];
    if (!largest || Area(size) > Area(*sizes[*largest])) largest = index;
    const bool covers = size.width >= room.width && size.height >= room.height;
    if (covers && (!smallestCovering || Area(size) < Area(*sizes[*smallestCovering]))) {
      smallestCovering = index;
    }
  }
  return smallestCovering ? smallestCovering : largest;
}

platform::PixelRect CoverPart(platform::PixelSize art, platform::PixelSize room) {
  platform::PixelRect part{0, 0, art.width, art.height};
  if (art.width <= 0 || art.height <= 0 || room.width <= 0 || room.height <= 0) return part;
  const int64_t artWidth = art.width, artHeight = art.height;
  // Compared crosswise, so that nothing is lost to division.
  if (artWidth * room.height > room.width * artHeight) {
    // Wider than the room: the sides are cut, to the nearest pixel.
    part.width =
        static_cast<int32_t>((artHeight * room.width * 2 + room.height) / (2 * room.height));
    part.x = (art.width - part.width) / 2;
  } else {
    part.height =
        static_cast<int32_t>((artWidth * room.height * 2 + room.width) / (2 * room.width));
    part.y = (art.height - part.height) / 2;
  }
  return part;
}

void ShowBackgroundArt(const LauncherState& state, const platform::Platform& os) {
  if (!state.launcherMode) return;
  const std::optional<platform::PixelSize> room = os.windows.PictureRoom(state.mainWindow);
  if (!room || room->width <= 0 || room->height <= 0) return;
  std::vector<std::optional<platform::PixelSize>> sizes;
  for (uint32_t id = IDB_BACKGROUND; id <= IDB_BACKGROUND_LAST; ++id) {
    sizes.push_back(ArtSize(os, id));
  }
  const std::optional<size_t> chosen = ChooseArtSize(sizes, *room);
  if (!chosen) return;
  os.windows.ShowPicture(state.mainWindow, IDB_BACKGROUND + static_cast<uint32_t>(*chosen),
                         CoverPart(*sizes[*chosen], *room), *room);
}
