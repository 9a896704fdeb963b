#pragma once

#include "common/SpscQueue.h"
#include "common/UserPrompts.h"
#include "core/loudness/LoudnessLeveler.h"
#include "core/playback/AudioFileDecoder.h"
#include "core/playback/AudioOutput.h"
#include "core/playback/AudioStretchStage.h"
#include "core/playback/ChannelPick.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace linlangok {

// What the player (and whatever plays a file the same way) shows when a file cannot be played.
std::u16string PlayFileErrorText();
// The same with the reason (UTF-8, for the user) on the line below it.
std::u16string PlayFileErrorText(std::string_view reason);

// The audio accompaniment player: plays one WAV or MP3 file into the run's output stream, at a key
// and tempo of its own, and answers position and length. A decode thread decodes, stretches
// (CAudioStretchStage) and fills a lock-free ring ahead of the audio callback, which only mixes
// what is ready; the rest runs on the UI thread.
//
// A change of key or tempo reaches the decode thread at once. The ring holds over a second of
// audio, so the decode thread has the callback drop what lies more than kChangeMarginFrames
// ahead and makes it again at the new settings: the change is heard within about 50 ms.
//
// The decode thread levels what it stretches (CLoudnessLeveler) without its lag, so a file
// played without a leveling gain is heard sample for sample.
//
// A song may be decoded into more channels than are heard (a video's original vocal and its
// backing side by side): the ring holds them all, and the callback picks the ones heard
// (CChannelPicker) as it plays them, so a new pick is heard with the next buffer, crossfaded, with
// no gap and no jump in the song.
class CAudioPlayer final : public IAudioSource {
public:
    // Frames the callback still plays at the old settings after a change (about 46 ms).
    static constexpr size_t kChangeMarginFrames = 2048;

    // Neither is owned; both outlive the player. `open` opens a file for decoding;
    // `makeStretcher` makes the stretcher for keys and tempos other than 0 and 100 %.
    CAudioPlayer(
        IAudioOutput& output, IUserPrompts& prompts, AudioFileOpener open, AudioStretcherFactory makeStretcher);
    ~CAudioPlayer() override;

    CAudioPlayer(const CAudioPlayer&) = delete;
    CAudioPlayer& operator=(const CAudioPlayer&) = delete;

    // Stops what plays, opens the file and starts playing it. A file that cannot
    // be opened or decoded shows "播放文件时出错!" (caption "错误") and leaves nothing open.
    // Returns whether the file plays.
    bool OpenAndPlay(const std::filesystem::path& path);
    // The same for a file already opened (an archive's member, say).
    bool Play(std::unique_ptr<IAudioFileDecoder> decoder);
    // Stops and closes the file. Harmless when nothing is open.
    void Stop();

    // UI thread: the key in semitones (clamped to -12..12) and the tempo in percent (clamped to
    // 50..150) for the file that plays, at once, and for the files played later.
    void SetPitch(int semitones);
    void SetTempoPercent(int percent);
    // UI thread: the leveling gain (dB) of the files opened from now on, or nothing (at start)
    // for their sound as it is.
    void SetLevelingGain(std::optional<double> gainDb) { m_levelingGain = gainDb; }
    // The key and tempo last asked for; any thread.
    StretchSettings Settings() const;
    // Any thread: the channels heard, from the next buffer on, of the song that plays and of those
    // played later. A pick of channels the song does not have plays its first two.
    void SetChannelPick(ChannelPick pick);

    // The end in whole seconds, truncated; 0 when nothing is open.
    std::int32_t LengthSeconds() const;
    // The position in seconds with the fraction; 0.0 when nothing is open.
    double PositionSeconds() const;

    // Whether a file is open.
    bool IsOpen() const { return m_open; }
    // The end of the file and the play position in milliseconds. A file that ends before its header
    // said ends where its audio ends, and so does one whose header gives no length (0), whose
    // end lies just past the audio decoded so far until then; once played to the end the
    // position stays at the end.
    // Positions and lengths are in song time, whatever the tempo: the position is the song's
    // moment the listener hears now (as far as the callback has taken it).
    std::int64_t EndMilliseconds() const;
    std::int64_t PositionMilliseconds() const;

    // Audio callback thread.
    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;

private:
    // Where a run of ring frames lies in the song: ring frame `ringFrame` is song frame
    // `songFrame`, and each later frame of the run advances the song by `songFramesPerFrame`.
    struct SongMark {
        std::uint64_t ringFrame;
        double songFrame;
        double songFramesPerFrame;
    };

    // Stretches until the ring holds `ahead` frames to play (or a stop or a change is asked for);
    // false once the song has ended.
    bool FillRing(std::uint64_t ahead);
    // Decode thread: puts the settings asked for into effect.
    void ApplySettings();
    void Decode();
    void WakeDecoder();
    // The frames the ring holds that the callback will play.
    std::uint64_t FramesAhead() const;
    double SongFrameAt(std::uint64_t ringFrame) const;
    void AddMark(const SongMark& mark);
    // Audio callback: drops `frames` frames from the ring.
    void Discard(std::uint64_t frames) noexcept;

    IAudioOutput& m_output;
    IUserPrompts& m_prompts;
    AudioFileOpener m_openDecoder;
    AudioStretcherFactory m_makeStretcher;
    std::atomic<int> m_semitones {0};
    std::atomic<int> m_tempoPercent {100};
    std::atomic<std::uint16_t> m_pick {0x0100}; // ChannelPick: right << 8 | left
    CChannelPicker m_picker; // audio callback while playing

    bool m_open = false; // UI thread
    std::optional<double> m_levelingGain; // UI thread
    std::unique_ptr<CAudioStretchStage> m_stage; // UI thread while stopped, decode thread while playing
    CLoudnessLeveler m_leveler; // as the stage
    size_t m_channels = 2; // of the song that plays; set while stopped
    std::int64_t m_headerMilliseconds = 0;
    CSpscQueue<float> m_ring; // interleaved samples of m_channels channels, whole frames at a time
    std::unique_ptr<float[]> m_chunk; // stage output before it enters the ring
    std::uint64_t m_ringWritten = 0; // frames written into the ring; decode thread
    std::atomic<std::uint64_t> m_ringRead {0}; // frames taken from the ring, played or dropped; callback writes
    // A change's drop, which the callback carries out when it reaches the first ring frame to go:
    // that frame × 2^24 + the number of frames; 0 for none. Either side may take it back.
    std::atomic<std::uint64_t> m_pendingDrop {0};
    std::uint64_t m_lastDropEnd = 0; // ring frame after the last drop asked for; decode thread
    double m_lastDropSong = 0.0; // the song frame that plays there
    mutable std::mutex m_marksLock; // decode thread writes, UI thread reads
    std::vector<SongMark> m_marks;
    std::atomic<std::uint64_t> m_framesDecoded {0}; // song frames
    std::atomic<bool> m_decodeEnded {false};
    std::atomic<bool> m_playedToEnd {false};

    std::thread m_decodeThread;
    std::mutex m_decodeLock;
    std::condition_variable m_decodeWake;
    std::atomic<bool> m_stopDecoding {false}; // set under m_decodeLock
    bool m_settingsChanged = false;
};

} // namespace linlangok
