#pragma once

#include "midi/LyricTrackView.h"
#include "midi/MidiSong.h"
#include "platform/codepage/IconvCodePage.h"
#include "tests/support/ScriptedUserPrompts.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok::test {

using Lines = std::vector<std::string>;

// Bytes from numbers, for Standard MIDI File data written inline.
std::string Bytes(std::initializer_list<int> values);
// An End of Track event with delta 0.
inline const std::string kEnd = Bytes({0x00, 0xFF, 0x2F, 0x00});
std::string VariableLength(std::uint32_t value);
std::string SmfHeader(int format, int tracks, int division);
// "MTrk", the length of the events, the events.
std::string SmfTrack(std::string_view events);
// UTF-8 text in GBK, the code page of the tests' songs.
std::string Gbk(std::string_view utf8);
// A meta event with its delta.
std::string MetaEvent(std::uint32_t delta, int type, std::string_view data);
// The bytes of a string, as the reader takes them.
std::span<const std::uint8_t> AsBytes(std::string_view bytes);

// One line per entry: "tick/delta" and the message's bytes in hex ("480/480 90 3C 40",
// "0/0 FF 51 07 A1 20"), texts decoded from the song's code page ("0/0 FF 03 \"未命名\"").
std::vector<std::string> Describe(const CMidiTrack& track);
// Describe for every track of the song.
std::vector<std::vector<std::string>> DescribeSong(const CMidiSong& song);

// A song with scripted prompts and GBK texts (unless told otherwise).
struct SongFixture {
    SongFixture() = default;
    // Texts in the code page given instead.
    explicit SongFixture(const ICodePage& codePage)
        : song(codePage)
    {
    }

    CScriptedUserPrompts prompts;
    const CIconvCodePage gbk {"GBK"};
    CMidiSong song {gbk};

    // Loads and reads as the session does: the messages go to the prompts.
    template <typename Source>
    bool Load(const Source& source, const ITextEncodingDetector& detector = NoEncodingDetection())
    {
        const SongLoad load = song.Load(source, detector);
        prompts.ShowMessages(load.messages);
        return load.loaded;
    }
    // Reads without the post-processing.
    bool Read(std::span<const std::uint8_t> bytes);

    CMidiTrack& AddEmptyTrack();
    // Makes a message in the song's arena.
    CChannelMessage* Channel(int command, int channel, int data1, int data2 = 0);
    CChannelMessage* NoteOn(int channel, int key, int velocity);
    CMetaMessage* Meta(int type, std::string_view data);
    CMetaMessage* Tempo(std::int32_t tempo);
};

} // namespace linlangok::test
