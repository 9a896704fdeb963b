#include "core/controller/StatusText.h"

#include "common/Text.h"
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
    texts.name = values.notice.empty() ? u"伴奏:  " + values.name : values.notice;
    texts.play = u"播放:  " + FormatPlayTime(values.positionSeconds) + u" | " + FormatPlayTime(values.lengthSeconds);
    texts.record = u"录音:  " + FormatPlayTime(values.recordingSeconds);
    texts.state = u"状态:  ";
    if (!values.playing && !values.recording)
        texts.state += u"停止";
    if (values.playing)
        texts.state += u"播放";
    if (values.playing && values.recording)
        texts.state += u" | ";
    if (values.recording)
        texts.state += u"录音";
    if (const std::uint64_t dropouts = values.playbackDropouts + values.recordingDropouts; dropouts > 0)
        texts.dropouts = u"断音 " + Utf8ToUtf16(std::to_string(dropouts)) + u" 次";
    texts.dropoutNotice = DropoutNotice(values.playbackDropouts, values.recordingDropouts);
    return texts;
}

} // namespace linlangok
