#pragma once

#include "core/playback/AudioOutput.h"

#include <cstdint>
#include <optional>
#include <string>

namespace linlangok {

// The dropouts the output played (IAudioOutput::DropoutCount) while the song played. UI thread.
class CDropoutCounter {
public:
    // The output outlives the counter.
    explicit CDropoutCounter(const IAudioOutput& output)
        : m_output(output)
    {
    }

    // From the last Start to its Stop, so far while it counts; 0 after Clear.
    std::uint64_t Count() const;

    void Clear() { m_count = 0; }
    // When a song has started.
    void Start() { m_countAtStart = m_output.DropoutCount(); }
    // When the song stops; nothing when none was counted.
    void Stop();

private:
    const IAudioOutput& m_output;
    std::optional<std::uint64_t> m_countAtStart; // the output's count when the song started, while it plays
    std::uint64_t m_count = 0; // of the song that played last
};

// What the user is told of dropouts in playback and in the recording (CDropoutCounter::Count,
// CRecordingController::DropoutCount): "播放中出现 3 次断音(机器负载过高?)", or the recording's alike,
// or both; empty without any.
std::u16string DropoutNotice(std::uint64_t playback, std::uint64_t recording);

} // namespace linlangok
