#pragma once

#include <filesystem>
#include <vector>

namespace linlangok::bench {

// The left channel of a sound file libsndfile reads; empty when it cannot be read.
std::vector<float> ReadLeftChannel(const std::filesystem::path& path);

} // namespace linlangok::bench
