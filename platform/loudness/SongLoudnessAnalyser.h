#pragma once

#include "common/CodePage.h"
#include "core/playback/AudioFileDecoder.h"
#include "core/session/SongLoudness.h"

#include <filesystem>
#include <optional>

namespace linlangok {

// Measures songs with CLoudnessMeter: an audio file from the samples its decoder gives (as the
// player plays them at key 0 and tempo 100 %), a MIDI file from a render through the sequencer
// and the built-in synthesizer with the program's SoundFont (RenderSongInto, at key 0 and tempo
// 100 % with the guide melody). The MIDI render runs at kMidiAnalysisSampleRate: a quarter of the
// synthesizer's work at the stream's rate, for a loudness within 0.1 LU of it (the demo song and
// the benchmark's dense song through TimGM6mb); true peaks come out a few tenths of a dB apart.
class CSongLoudnessAnalyser final : public ISongLoudnessAnalyser {
public:
    static constexpr int kMidiAnalysisSampleRate = 11025;

    // codePage: for the MIDI files' texts, outliving the analyser. soundFont: none looks for one
    // as the built-in synthesizer does (LINLANGOK_SOUNDFONT, then /usr/share/sounds/sf2).
    CSongLoudnessAnalyser(
        AudioFileOpener open, const ICodePage& codePage, std::optional<std::filesystem::path> soundFont = {});

    std::optional<LoudnessMeasure> Analyse(
        const std::filesystem::path& song, ESongKind kind, std::stop_token stop) override;
    // The thread gets the lowest priority, so that playback never waits for it.
    void EnterBackgroundThread() override;

private:
    std::optional<LoudnessMeasure> AnalyseAudio(const std::filesystem::path& song, const std::stop_token& stop);
    std::optional<LoudnessMeasure> AnalyseMidi(const std::filesystem::path& song, const std::stop_token& stop);

    AudioFileOpener m_open;
    const ICodePage& m_codePage;
    std::optional<std::filesystem::path> m_soundFont;
};

} // namespace linlangok
