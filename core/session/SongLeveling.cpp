#include "core/session/SongLeveling.h"

#include "common/FilePath.h"

#include <algorithm>

namespace linlangok {

CSongLeveling::CSongLeveling(ISongLoudnessAnalyser* analyser, IUiThreadPoster& uiThread, CRememberedSong& song)
    : m_song(song)
{
    if (analyser)
        m_analysis = std::make_unique<CLoudnessAnalysisQueue>(
            *analyser, uiThread, [this](const SongIdentity& measured, const std::optional<LoudnessMeasure>& measure) {
                KeepMeasure(measured, measure);
            });
}

std::optional<double> CSongLeveling::ChooseGain(ESongKind kind)
{
    m_gain.reset();
    if (!m_on)
        return m_gain;
    const std::optional<SongIdentity>& song = m_song.Identity();
    std::optional<LoudnessMeasure> measure;
    if (song) {
        measure = m_song.Memory().Recall(*song).loudness;
        if (!measure)
            RequestMeasure(*song);
    }
    m_gain = SongLevelingGainDb(kind, measure);
    return m_gain;
}

void CSongLeveling::MeasureAhead(const SongMemoryValues& values)
{
    const std::optional<SongIdentity>& song = m_song.Identity();
    if (song && !values.loudness && m_on)
        RequestMeasure(*song);
}

void CSongLeveling::RequestMeasure(const SongIdentity& song)
{
    if (m_analysis && std::find(m_unmeasurable.begin(), m_unmeasurable.end(), song) == m_unmeasurable.end())
        m_analysis->Request(Utf16ToPath(m_song.Path()), DetectSongKind(m_song.Path()), song);
}

void CSongLeveling::KeepMeasure(const SongIdentity& song, const std::optional<LoudnessMeasure>& measure)
{
    if (!measure) {
        m_unmeasurable.push_back(song);
        return;
    }
    SongMemoryValues values = m_song.Memory().Recall(song);
    values.loudness = measure;
    m_song.Memory().Remember(song, values);
}

} // namespace linlangok
