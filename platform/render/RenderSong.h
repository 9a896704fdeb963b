#pragma once

#include "common/CodePage.h"
#include "common/UserPrompts.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace linlangok {

// Measures a render's loudness as it goes by, for the gain that levels it as the session would.
class ILoudnessProbe {
public:
    virtual ~ILoudnessProbe() = default;
    virtual void Add(const float* interleaved, size_t frames) = 0;
    // The leveling gain (dB) for everything added.
    virtual double LevelingGainDb() = 0;
};

struct RenderOptions {
    // Semitones applied to every track before playing, as the karaoke session does (-127..127).
    int transpose = 0;
    // The tempo in percent of the song's own (50..150): the tempo map is scaled, the file is not.
    int tempoPercent = 100;
    // The guide melody: false mutes the notes of the melody channel, as the main window's
    // "原唱旋律" switch does. The file then ends as that of the song without those notes would.
    bool melody = true;
    // The built-in synthesizer's SoundFont; none: FindSoundFont.
    std::optional<std::filesystem::path> soundFont;
    // Frames per rendered buffer (the latency is compensated, so the file does not change with
    // it beyond the synthesizer's 64-frame blocks).
    size_t bufferFrames = 64;
    // The song's leveling gain (dB), as the session plays it; nothing for the synthesizer's sound
    // as it is.
    std::optional<double> levelingGainDb;
    // Levels the file by its own loudness instead, as this probe measures it: the song is rendered
    // once, held unleveled in a temporary file, and leveled when its loudness is known.
    ILoudnessProbe* levelByProbe = nullptr;
};

struct RenderResult {
    std::uint64_t frames = 0; // frames written
    double songSeconds = 0.0; // the song's playing time (song time) when its last event had gone out
};

// Plays a Standard MIDI File through the sequencer and the built-in synthesizer as fast as the
// machine allows, with the timer driven by the rendered audio (one period per millisecond of
// audio), into a 44.1 kHz 16-bit stereo WAV file. The file starts at the song's start and ends
// when the last note has faded (at most kMaximumTailSeconds after the last event). The WAV is
// written beside its final name and renamed into place only when complete.
//
// Messages (load errors, a missing SoundFont, write errors) go to the prompts; nothing when the
// song cannot be played, else the result.
std::optional<RenderResult> RenderSong(IUserPrompts& prompts, const ICodePage& codePage,
    const std::filesystem::path& midiFile, const std::filesystem::path& wavFile, const RenderOptions& options);

// Takes a render's audio, buffer by buffer: interleaved stereo frames at the render's rate (none
// in a buffer that the latency takes up). False ends the render.
using RenderSink = std::function<bool(const float* interleaved, size_t frames)>;

// The same render at `sampleRate` Hz into `sink` instead of a file: the result, or nothing when
// the song cannot be played (the messages have gone to the prompts) or the sink ended the render.
std::optional<RenderResult> RenderSongInto(IUserPrompts& prompts, const ICodePage& codePage,
    const std::filesystem::path& midiFile, const RenderOptions& options, int sampleRate, const RenderSink& sink);

inline constexpr double kMaximumTailSeconds = 10.0;

} // namespace linlangok
