#include "core/session/DropoutCounter.h"

#include "common/Text.h"

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
    std::u16string notice;
    for (const auto& [count, during] : {std::pair(playback, u"播放中"), std::pair(recording, u"录音中")}) {
        if (count > 0)
            notice += (notice.empty() ? u"" : u"，") + std::u16string(during) + u"出现 "
                + Utf8ToUtf16(std::to_string(count)) + u" 次断音";
    }
    return notice.empty() ? notice : notice + u"(机器负载过高?)";
}

} // namespace linlangok
