#pragma once

#include "common/SpscQueue.h"
#include "common/UserPrompts.h"
#include "engine/AudioFileDecoder.h"
#include "engine/AudioOutput.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace linlangok {

// The audio accompaniment player: plays one WAV or MP3 file into the run's output stream and
// answers position and length. A decode thread fills a lock-free ring ahead of the audio
// callback, which only mixes what is ready; the rest runs on the UI thread.
class CAudioPlayer final : public IAudioSource {
public:
    // Neither is owned; both outlive the player. `open` opens a file for decoding.
    CAudioPlayer(IAudioOutput& output, IUserPrompts& prompts, AudioFileOpener open);
    ~CAudioPlayer() override;

    CAudioPlayer(const CAudioPlayer&) = delete;
    CAudioPlayer& operator=(const CAudioPlayer&) = delete;

    // Stops what plays, opens the file (a UTF-16 path) and starts playing it. A file that cannot
    // be opened or decoded shows "播放文件时出错!" (caption "错误") and leaves nothing open.
    // Returns whether the file plays.
    bool OpenAndPlay(const std::u16string& path);
    // Stops and closes the file. Harmless when nothing is open.
    void Stop();

    // (end − start) / speed: whole seconds, truncated; 0 when nothing is open.
    int32_t LengthSeconds() const;
    // position / speed: seconds with the fraction; 0.0 when nothing is open.
    double PositionSeconds() const;

    // What the numbers come from, as the media control reports them: start and end of the file
    // and the play position in milliseconds, the speed in thousandths of normal speed. The
    // speed is 1000 while a file is open and 0 otherwise. A file that ends before its header
    // said ends where its audio ends; once played to the end the position stays at the end.
    int64_t StartMilliseconds() const { return 0; }
    int64_t EndMilliseconds() const;
    int64_t PositionMilliseconds() const;
    int32_t Speed() const { return m_open ? 1000 : 0; }

    // Audio callback thread.
    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;

private:
    // Decodes until the ring is full; false once the file has ended (or failed to decode).
    bool FillRing();
    void Decode();

    IAudioOutput& m_output;
    IUserPrompts& m_prompts;
    AudioFileOpener m_openDecoder;

    bool m_open = false; // UI thread
    std::unique_ptr<IAudioFileDecoder> m_decoder; // UI thread while stopped, decode thread while playing
    int64_t m_headerMilliseconds = 0;
    CSpscQueue<float> m_ring; // interleaved stereo samples, whole frames at a time
    std::unique_ptr<float[]> m_chunk; // decoder output before it enters the ring
    std::atomic<uint64_t> m_framesDecoded {0};
    std::atomic<bool> m_decodeEnded {false};
    std::atomic<uint64_t> m_framesPlayed {0};
    std::atomic<bool> m_playedToEnd {false};

    std::thread m_decodeThread;
    std::mutex m_decodeLock;
    std::condition_variable m_decodeWake;
    bool m_stopDecoding = false;
};

} // namespace linlangok
