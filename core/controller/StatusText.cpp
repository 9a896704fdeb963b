#include "core/controller/StatusText.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "core/session/DropoutCounter.h"

#include <cstdio>

namespace linlangok {

std::u16string FormatPlayTime(std::int32_t seconds)
{
    const std::int32_t hours = seconds / 3600;
    const std::int32_t minutes = seconds / 60 - hours * 60;
    const std::int32_t rest = seconds - hours * 3600 - minutes * 60;
    char text[32];
    if (hours != 0)
        std::snprintf(text, sizeof text, "%d:%02d:%02d", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", minutes, rest);
    return Utf8ToUtf16(text);
}

StatusTexts ComposeStatusTexts(const StatusValues& values)
{
    StatusTexts texts;
    texts.name = values.notice.empty() ? Formatted(Tr("StatusText", "伴奏:  %1"), {values.name}) : values.notice;
    texts.play = Formatted(Tr("StatusText", "播放:  %1 | %2"),
        {FormatPlayTime(values.positionSeconds), FormatPlayTime(values.lengthSeconds)});
    texts.record = Formatted(Tr("StatusText", "录音:  %1"), {FormatPlayTime(values.recordingSeconds)});
    if (values.playing && values.recording)
        texts.state = Tr("StatusText", "状态:  播放 | 录音");
    else if (values.playing)
        texts.state = Tr("StatusText", "状态:  播放");
    else if (values.recording)
        texts.state = Tr("StatusText", "状态:  录音");
    else
        texts.state = Tr("StatusText", "状态:  停止");
    if (const std::uint64_t dropouts = values.playbackDropouts + values.recordingDropouts; dropouts > 0)
        texts.dropouts = Formatted(Tr("StatusText", "断音 %1 次"), {Utf8ToUtf16(std::to_string(dropouts))});
    texts.dropoutNotice = DropoutNotice(values.playbackDropouts, values.recordingDropouts);
    return texts;
}

} // namespace linlangok
