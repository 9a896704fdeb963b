#pragma once

#include "core/recording/Mp3StreamWriter.h"
#include "core/recording/TakeFiles.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace linlangok {

class IVoiceEffect;

// What a recording made while the accompaniment played leaves for its performance: the
// accompaniment as the listener heard it and the voice as the input captured it, each in a
// temporary file of raw 44.1 kHz 16-bit stereo PCM in the program folder, and where the voice
// belongs against the music. Nothing of either is held in memory. UI thread.
class CPerformanceTake {
public:
    // Takes over both temporary files and their locks; the mix auditioned in the performance
    // window goes to `audition`. The voice's frame 0 belongs at the accompaniment's frame
    // `voiceOffsetFrames` (negative: before the accompaniment's first frame); `alignmentMs` is how
    // far the latencies moved it from where the device clocks alone would put it. An offset that
    // would part the voice from the accompaniment is taken as far as keeps them touching, so the
    // mix is never longer than both parts end to end.
    CPerformanceTake(LockedFile accompaniment, LockedFile voice, std::filesystem::path audition,
        std::int64_t voiceOffsetFrames, double alignmentMs);
    ~CPerformanceTake(); // removes its temporary files

    const std::filesystem::path& AuditionPath() const { return m_audition; }
    // The singer's score (0..100) while the take was sung; nothing when the song was not scored.
    std::optional<int> Score() const { return m_score; }
    void SetScore(std::optional<int> score) { m_score = score; }

    CPerformanceTake(const CPerformanceTake&) = delete;
    CPerformanceTake& operator=(const CPerformanceTake&) = delete;

    // From the first to the last frame of either part, as they lie in the mix.
    std::chrono::milliseconds Length() const;
    // How far the voice was moved against the accompaniment to put it in time, in ms: the devices'
    // reported output and input latencies and the stored calibration's correction.
    double AlignmentMs() const;
    // Writes the mix: MP3 (128 kbit/s through `encoder`), or WAV (44.1 kHz 16-bit stereo) when the
    // name ends in ".wav" (case-insensitive). `voicePercent` 0..100 is the balance: the voice at
    // min(1, p/50), the accompaniment at min(1, (100-p)/50), so 50 keeps both at full level; a soft
    // limiter above -1 dBFS bends the sum toward full scale instead of clipping it. With
    // `voiceEffect` (fresh, not used before) the voice is heard through it, put back by its
    // latency, and the mix goes on for its tail after the voice's end; the take stays dry. Raises
    // std::runtime_error with a message for the user; the target is untouched then.
    void Write(const std::filesystem::path& path, int voicePercent, IMp3EncoderLibrary* encoder,
        IVoiceEffect* voiceEffect = nullptr) const;

private:
    // The mix's first frame and the frame after its last, counted from the accompaniment's first.
    std::int64_t FirstFrame() const;
    std::int64_t EndFrame() const;

    LockedFile m_accompaniment;
    LockedFile m_voice;
    std::filesystem::path m_audition;
    double m_alignmentMs;
    std::int64_t m_accompanimentFrames;
    std::int64_t m_voiceFrames;
    std::int64_t m_voiceOffsetFrames;
    std::optional<int> m_score;
};

} // namespace linlangok
