#pragma once

#include <filesystem>
#include <string_view>

namespace linlangok {

// Replaces the file at path with the bytes: they are written to a temporary file beside it,
// which is then renamed over the target, so a crash or a full disk leaves either the old file
// or the new one, never a half-written one. Returns false (and leaves the target untouched, with
// no temporary file behind) when the folder is missing or not writable or the write fails.
// Never throws.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace linlangok
