#pragma once

#include "core/picture/SongPicture.h"

#include <filesystem>

namespace linlangok {

// Saves the frame as an 8-bit RGBA PNG (its alpha kept) through CFileSaver, so a failed save
// leaves any file that was there untouched. False when it cannot be written. Any thread.
bool SavePng(const std::filesystem::path& path, const SongFrame& frame);

} // namespace linlangok
