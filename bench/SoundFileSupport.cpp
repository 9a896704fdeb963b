#include "bench/SoundFileSupport.h"

#include <sndfile.h>

namespace linlangok::bench {

std::vector<float> ReadLeftChannel(const std::filesystem::path& path)
{
    SF_INFO format {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
    if (!file)
        return {};
    std::vector<float> frames(static_cast<size_t>(format.frames) * format.channels);
    sf_readf_float(file, frames.data(), format.frames);
    sf_close(file);
    std::vector<float> left;
    for (size_t i = 0; i < frames.size(); i += format.channels)
        left.push_back(frames[i]);
    return left;
}

} // namespace linlangok::bench
