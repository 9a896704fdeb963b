#pragma once

#include "common/SongKind.h"
#include "common/UiThreadPoster.h"
#include "core/session/RememberedSong.h"
#include "core/session/SongLoudness.h"

#include <memory>
#include <optional>
#include <vector>

namespace linlangok {

// Leveling: every song plays at kLevelingTargetLufs, its true peaks limited to
// kLevelingCeilingDbtp, at the gain its measure gives (measured off the UI thread and kept with
// the song's memory) or, until it is measured, the gain of a typical song of its kind. Play
// chooses the gain and it holds until the next Play, so a measure that arrives while the song
// plays is used from its next Play. The mixer's volumes are not touched. On at start; a change
// takes effect at the next Play. UI thread.
class CSongLeveling {
public:
    // Null `analyser`: no song is measured. The analyser, the poster and the song outlive this.
    CSongLeveling(ISongLoudnessAnalyser* analyser, IUiThreadPoster& uiThread, CRememberedSong& song);

    CSongLeveling(const CSongLeveling&) = delete;
    CSongLeveling& operator=(const CSongLeveling&) = delete;

    bool IsOn() const { return m_on; }
    void SetOn(bool on) { m_on = on; }
    // The leveling gain (dB) chosen by the last Play, or nothing when that song plays as it is.
    std::optional<double> GainDb() const { return m_gain; }

    // At Play: chooses the gain (GainDb) for the accompaniment file of this kind and returns it;
    // asks for the song's measure when none is remembered.
    std::optional<double> ChooseGain(ESongKind kind);
    // For a song just recalled with these values: asks for its measure ahead, so that a song
    // picked now plays at its own gain.
    void MeasureAhead(const SongMemoryValues& values);

private:
    void RequestMeasure(const SongIdentity& song);
    void KeepMeasure(const SongIdentity& song, const std::optional<LoudnessMeasure>& measure);

    CRememberedSong& m_song;
    bool m_on = true;
    std::optional<double> m_gain;
    std::vector<SongIdentity> m_unmeasurable; // songs the analysis found no measure in, this run
    std::unique_ptr<CLoudnessAnalysisQueue> m_analysis; // null without an analyser; stops first
};

} // namespace linlangok
