#include "core/controller/StatusText.h"

#include "common/Text.h"

#include <cstdio>

namespace linlangok {

std::u16string FormatPlayTime(int32_t seconds)
{
    const int32_t hours = seconds / 3600;
    const int32_t minutes = seconds / 60 - hours * 60;
    const int32_t rest = seconds - hours * 3600 - minutes * 60;
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
    texts.name = u"伴奏:  " + values.name;
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
    return texts;
}

} // namespace linlangok
