#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

// The stream format of this layer and its sample conversions. A 16-bit sample s is the float
// s / 32768, so 16-bit audio passes through float unchanged; floats beyond -1..1 are clipped.
namespace linlangok {

inline constexpr int kStreamSampleRate = 44100;
inline constexpr int kStreamChannels = 2;
inline constexpr size_t kDefaultBufferFrames = 512;

inline std::int16_t FloatToInt16(float sample)
{
    const float scaled = std::clamp(sample * 32768.0f, -32768.0f, 32767.0f);
    return static_cast<std::int16_t>(std::lrintf(scaled));
}

inline float Int16ToFloat(std::int16_t sample)
{
    return static_cast<float>(sample) / 32768.0f;
}

inline void FloatsToInt16(const float* samples, size_t count, std::int16_t* out)
{
    std::transform(samples, samples + count, out, FloatToInt16);
}

} // namespace linlangok
