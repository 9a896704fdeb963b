#pragma once

#include "core/playback/AudioFileDecoder.h"
#include "core/playback/AudioStretcher.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace linlangok {

// The stage between an audio file's decoder and whatever takes its frames (the player's ring, a
// rendered file): plays the song at a key and tempo through a stretcher, or, at key 0 and tempo
// 100 %, hands on the decoded frames untouched without any stretcher. The output lines up with
// the song: the stretcher's start pad and delay are compensated, so after a Restart at song frame
// s, output frame n is song frame s + n × tempo, and the song's end is the output's end.
//
// It keeps the last kHistoryFrames decoded frames, so it can go on from a song frame it has
// already passed: frames still waiting in the player's ring are played again at new settings.
// Undecodable data ends the song where it starts (SourceFailed tells). One thread at a time.
class CAudioStretchStage {
public:
    static constexpr std::uint64_t kHistoryFrames = 131072; // about 3 s of song

    // `makeStretcher` is called when settings other than key 0 at tempo 100 % first apply.
    CAudioStretchStage(std::unique_ptr<IAudioFileDecoder> source, AudioStretcherFactory makeStretcher);
    ~CAudioStretchStage();

    CAudioStretchStage(const CAudioStretchStage&) = delete;
    CAudioStretchStage& operator=(const CAudioStretchStage&) = delete;

    // Goes on from `songFrame` (rounded; kept within the frames decoded and still held) at these
    // settings (clamped). A new stage stands at song frame 0 with no settings applied.
    void Restart(double songFrame, const StretchSettings& settings);

    // Writes up to `frames` output frames (interleaved, of Channels() channels) and returns how
    // many; 0 at the end.
    size_t Read(float* samples, size_t frames);

    // The song frame of the next output frame.
    double SongFrame() const;
    const StretchSettings& Settings() const { return m_settings; }
    // Frames decoded from the file so far; once it has ended, the song's length.
    std::uint64_t SourceFrames() const { return m_sourceFrames; }
    bool SourceFailed() const { return m_sourceFailed; }
    std::uint64_t LengthMilliseconds() const { return m_source->LengthMilliseconds(); }
    // The channels of a frame: the decoder's.
    int Channels() const { return static_cast<int>(m_channels); }

private:
    // Copies up to `frames` song frames from `songFrame` on, decoding as far as needed; fewer only
    // at the song's end. Frames no longer held (and those before the song) are silence.
    size_t Fetch(std::uint64_t songFrame, float* samples, size_t frames);
    // Decodes the next chunk into the history; false at the end of the file.
    bool DecodeMore();
    size_t ReadStretched(float* samples, size_t frames);
    std::uint64_t HistoryStart() const { return m_sourceFrames > kHistoryFrames ? m_sourceFrames - kHistoryFrames : 0; }

    std::unique_ptr<IAudioFileDecoder> m_source;
    size_t m_channels;
    AudioStretcherFactory m_makeStretcher;
    std::unique_ptr<IAudioStretcher> m_stretcher; // made on first use
    StretchSettings m_settings;
    bool m_stretching = false;

    std::vector<float> m_history; // song frame f at f % kHistoryFrames
    std::uint64_t m_sourceFrames = 0;
    bool m_sourceEnded = false;
    bool m_sourceFailed = false;

    std::uint64_t m_startFrame = 0; // song frame of the last Restart
    std::uint64_t m_outputFrames = 0; // output frames since then
    std::uint64_t m_cursor = 0; // next song frame to hand on or to give to the stretcher
    size_t m_dropFrames = 0; // stretcher output still to drop
    bool m_finalGiven = false;
    std::vector<float> m_scratch;
};

} // namespace linlangok
