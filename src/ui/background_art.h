// The launcher's background art, drawn to fill its frame at the window's DPI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "launcher_state.h"
#include "platform/platform.h"

// The width and height a bitmap resource states in its information header;
// nullopt when the bytes cannot hold that header or a side is zero. A
// negative height (rows stored top-down) counts by its size.
std::optional<platform::PixelSize> BitmapResourceSize(const void* bytes, uint32_t size);

// Which of the art's sizes to draw into `room`: the smallest that covers it
// in both directions, so that the art is only ever scaled down; the largest
// when none covers it. A size that is nullopt is absent and never chosen;
// nullopt when none is present.
std::optional<size_t> ChooseArtSize(const std::vector<std::optional<platform::PixelSize>>& sizes,
                                    platform::PixelSize room);

// The part of art of size `art` that is drawn into `room`: the largest one
// with the room's proportions, centred, so that the art fills the room
// without being distorted. The edges that fall outside are the ones cut.
platform::PixelRect CoverPart(platform::PixelSize art, platform::PixelSize room);

// Draws the art into the launcher's picture at the size the window's layout
// gives it now. The installer layout has no picture and is left alone; when
// nothing can be drawn the picture keeps what it shows.
void ShowBackgroundArt(const LauncherState& state, const platform::Platform& os);
