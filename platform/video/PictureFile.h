#pragma once

#include "core/engine/SongPicture.h"

#include <filesystem>

namespace linlangok {

// Saves the frame as a PNG file (24-bit RGB, at its own size) through SaveFile, so a failure
// leaves any file there as it was. False when the frame is empty or the file cannot be written.
bool SavePicturePng(const SongFrame& frame, const std::filesystem::path& path);

} // namespace linlangok
