#pragma once

#include <cstdint>
#include <string>

// The texts of the status and time display: the black strip across the top of the main window.
namespace linlangok {

// n whole seconds (n ≥ 0) as "mm:ss", or "h:mm:ss" from one hour on; hours are not padded.
std::u16string FormatPlayTime(std::int32_t seconds);

struct StatusTexts {
    std::u16string name; // "伴奏:  " and the accompaniment's file name, or the notice
    std::u16string play; // "播放:  " position " | " length
    std::u16string record; // "录音:  " recording time
    std::u16string state; // "状态:  " and 播放, 录音, both, or 停止
    std::u16string dropouts; // "断音 3 次", empty without dropouts
    std::u16string dropoutNotice; // what they were and why (DropoutNotice)
};

struct StatusValues {
    std::u16string name;
    std::int32_t positionSeconds = 0;
    std::int32_t lengthSeconds = 0;
    std::int32_t recordingSeconds = 0;
    bool playing = false;
    bool recording = false;
    std::u16string notice; // shown for a while in the name's place; empty: none
    std::uint64_t playbackDropouts = 0; // of the song playing or played last
    std::uint64_t recordingDropouts = 0; // of the recording running or made last
};

StatusTexts ComposeStatusTexts(const StatusValues& values);

} // namespace linlangok
