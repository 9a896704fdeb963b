#include "core/session/DropoutCounter.h"

#include "common/Text.h"
#include "common/Translation.h"

#include <utility>

namespace linlangok {

std::uint64_t CDropoutCounter::Count() const
{
    return m_countAtStart ? m_output.DropoutCount() - *m_countAtStart : m_count;
}

void CDropoutCounter::Stop()
{
    if (m_countAtStart)
        m_count = m_output.DropoutCount() - *std::exchange(m_countAtStart, std::nullopt);
}

std::u16string DropoutNotice(std::uint64_t playback, std::uint64_t recording)
{
    const std::u16string played = Utf8ToUtf16(std::to_string(playback));
    const std::u16string recorded = Utf8ToUtf16(std::to_string(recording));
    if (playback > 0 && recording > 0) {
        return Formatted(
            Tr("DropoutCounter", "播放中出现 %1 次断音，录音中出现 %2 次断音(机器负载过高?)"), {played, recorded});
    }
    if (playback > 0)
        return Formatted(Tr("DropoutCounter", "播放中出现 %1 次断音(机器负载过高?)"), {played});
    if (recording > 0)
        return Formatted(Tr("DropoutCounter", "录音中出现 %1 次断音(机器负载过高?)"), {recorded});
    return {};
}

} // namespace linlangok
