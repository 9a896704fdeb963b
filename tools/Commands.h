#pragma once

#include "common/CodePage.h"
#include "common/FileLock.h"
#include "common/Number.h"
#include "common/SongKind.h"
#include "common/TextEncodings.h"
#include "common/UserPrompts.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

class CLoopbackLine;
class IAudioOutput;
class IWaveInSystem;
class IMixerSystem;
class IMp3EncoderLibrary;
class CJsonWriter;
struct SongScore;

// What every command gets: its arguments (after the command name), the prompts that print the
// engines' messages to standard error, the legacy code page and the encodings of song texts, the
// run's mixer system and MP3
// encoder, and the run's audio output (LINLANGOK_AUDIO_OUT), which main opens on the first call
// and keeps until the command has returned; null after printing why it cannot be opened; and the
// wave input (LINLANGOK_AUDIO_IN), made on each call, its loopback input listening to that
// output; null after printing why the selection is refused. A
// command returns the process exit code: 0 on success, 1 when a file could not be loaded or
// written, 2 on a usage error.
struct ToolContext {
    std::vector<std::string> arguments;
    IUserPrompts& prompts;
    const ICodePage& codePage;
    const ITextEncodings& textEncodings;
    IMixerSystem& mixers;
    IMp3EncoderLibrary& encoder;
    std::function<IAudioOutput*()> audioOutput;
    std::function<std::unique_ptr<IWaveInSystem>()> waveIn;
    std::filesystem::path programFolder;
    IFileLocks& fileLocks;
    std::shared_ptr<CLoopbackLine> loopback;
};

using ToolCommand = int (*)(ToolContext& context);

struct ToolCommandEntry {
    const char* name;
    const char* usage;
    const char* summary; // what it does, in a line
    ToolCommand run;
};

// Prints "usage: linlangok-tool <usage>" to standard error and returns 2.
int UsageError(const char* usage);

// An argument that is a number, the whole text, within lowest..highest, with an optional "+"
// before its digits; nothing for anything else.
template <typename Number> std::optional<Number> ParseArgument(std::string_view text, Number lowest, Number highest)
{
    if (text.starts_with('+') && !text.starts_with("+-"))
        text.remove_prefix(1);
    const std::optional<Number> number = ParseNumber<Number>(text);
    if (!number || !(*number >= lowest && *number <= highest))
        return std::nullopt;
    return number;
}

// Takes "--encoding NAME" out of the arguments: the name of the encoding the command reads the
// song's texts in instead of the detected one, empty without the option. Nothing when NAME is
// missing or not one of the text encodings; the reason has been printed to standard error and
// the command exits with 2.
std::optional<std::string> TakeEncodingOption(ToolContext& context, const char* usage);

// encode IN.wav OUT.mp3: a 44.1 kHz 16-bit stereo WAV through the MP3 stream writer.
int RunEncodeCommand(ToolContext& context);

// The key and tempo a command plays a song at.
struct ShiftOptions {
    int transpose = 0; // semitones
    int tempoPercent = 100;
};
// Reads "--transpose N" and "--tempo P", each at most once, from arguments[first] on: N within
// -transposeLimit..transposeLimit, P within 50..150, with an optional "+". False for anything else.
bool ParseShiftOptions(
    const std::vector<std::string>& arguments, size_t first, int transposeLimit, ShiftOptions& options);

// play FILE [--transpose N] [--tempo P], playmidi FILE: any song through the karaoke session in
// real time, a MIDI song transposed by -127..127, an audio song by -12..12, either at 50..150 %.
inline constexpr const char* kPlayUsage = "play FILE [--transpose N] [--tempo P]";
int RunPlayCommand(ToolContext& context);
int RunRecordCommand(ToolContext& context);

// sing SONG OUT_VOICE.mp3 --seconds S --performance OUT_MIX [--balance P] [--effect PRESET]:
// plays the song and records S seconds, saves the voice MP3 and the performance mixed at balance
// P (0..100, voice against accompaniment, 50 by default), the voice through the preset's effect
// (无 by default), a WAV when its name ends in .wav; prints JSON {alignment_ms, seconds,
// length_ms, effect} (the effect heard: 无 when it could not run) and the singer's score
// {score, notes, notes_hit, lines}, or score_notice when the song is not scored.
inline constexpr const char* kSingUsage
    = "sing SONG OUT_VOICE.mp3 --seconds S --performance OUT_MIX.mp3 [--balance P] [--effect 无|KTV|录音棚|大厅|回声]";
int RunSingCommand(ToolContext& context);

// calibrate: plays clicks on LINLANGOK_AUDIO_OUT, listens on LINLANGOK_AUDIO_IN's first recording
// device, keeps the result in Latency.ini and prints it as JSON {latency_ms, correction_ms}: the
// round trip and what the devices' reported latencies leave of it; 1 with a message when no
// click was heard.
inline constexpr const char* kCalibrateUsage = "calibrate";
int RunCalibrateCommand(ToolContext& context);

// monitor --seconds S [--quantum N] [--volume P] [--effect PRESET]: 耳返 for S seconds from
// LINLANGOK_AUDIO_IN to LINLANGOK_AUDIO_OUT, both opened for it at N frames per buffer (128 by
// default, 16..8192), at P % (0..100, 100 by default), through the preset's effect (无 by
// default; one that cannot start says why and the voice stays dry); prints JSON {latency_ms, quantum, underruns}: the
// latency its stream measured last (null when no voice frame was played) and the short buffers and dropouts; 1 with the
// message when a device does not open or a howl closed it.
inline constexpr const char* kMonitorUsage
    = "monitor --seconds S [--quantum N] [--volume P] [--effect 无|KTV|录音棚|大厅|回声]";
int RunMonitorCommand(ToolContext& context);

// lrc FILE [--encoding NAME]: an LRC file as JSON {encoding, offset_ms, lines: [{time, time_ms,
// text, words}]}: the encoding it was read in, its offset tag's milliseconds (0 without one) and
// its parsed, sorted lines, with whole seconds and exact milliseconds; "words" [{time_ms, text}]
// only for a word-timed line.
inline constexpr const char* kLrcUsage = "lrc FILE [--encoding NAME]";
int RunLrcCommand(ToolContext& context);

// list show FILE.kpl: a song list as JSON {name, flag, songs: [{name, path, flag}]}.
// list create OUT.kpl SONG...: writes a new list of those song paths.
inline constexpr const char* kListUsage = "list show FILE.kpl | list create OUT.kpl SONG...";
int RunListCommand(ToolContext& context);

// render IN.mid OUT.wav [--transpose N] [--tempo P] [--no-melody] [--no-normalize]: a MIDI song
// through the sequencer and the built-in synthesizer into a 44.1 kHz 16-bit stereo WAV, transposed
// by -127..127, at 50..150 % of its tempo, leveled as the session plays it unless told
// --no-normalize; --no-melody mutes the guide melody.
inline constexpr const char* kRenderUsage
    = "render IN.mid OUT.wav [--transpose N] [--tempo P] [--no-melody] [--no-normalize]";
int RunRenderCommand(ToolContext& context);

// playmidi FILE: a MIDI song in real time through the built-in synthesizer on LINLANGOK_AUDIO_OUT.
inline constexpr const char* kPlayMidiUsage = "playmidi FILE";
int RunPlayMidiCommand(ToolContext& context);

// render-audio IN OUT.wav [--transpose N] [--tempo P] [--vocal-reduction] [--no-normalize]: an
// audio file through the player's stretch stage and leveler, -12..12 semitones at 50..150 %,
// leveled as the session plays it unless told --no-normalize, into a 44.1 kHz 16-bit stereo WAV,
// as fast as it goes; with --vocal-reduction its backing as 伴唱 plays it (the centre taken out).
inline constexpr const char* kRenderAudioUsage
    = "render-audio IN OUT.wav [--transpose N] [--tempo P] [--vocal-reduction] [--no-normalize]";
int RunRenderAudioCommand(ToolContext& context);

// loudness FILE: a song's measure as the session takes it, and the gain it plays at, as JSON
// {integrated_lufs, true_peak_dbtp, gain_db}; 1 when the song cannot be measured.
inline constexpr const char* kLoudnessUsage = "loudness FILE";
int RunLoudnessCommand(ToolContext& context);

// info-video FILE: a video's streams, length and the vocal layout the program plays it by (the
// song's remembered one, else the default for its tracks) as JSON {container, length_ms,
// streams: [{index, type, codec, …}], audio_tracks, picture, vocal_layout, vocal_label,
// remembered, choices}.
inline constexpr const char* kInfoVideoUsage = "info-video FILE";
int RunInfoVideoCommand(ToolContext& context);

// render-video-audio IN OUT.wav [--backing] [--transpose N] [--tempo P] [--switch-at S]...
// [--no-normalize]: a video's sound as the program plays it, its original vocal (or with
// --backing its backing) heard, switching to the other at each song time S, into a 44.1 kHz
// 16-bit stereo WAV, as fast as it goes.
inline constexpr const char* kRenderVideoAudioUsage
    = "render-video-audio IN OUT.wav [--backing] [--transpose N] [--tempo P] [--switch-at S]... [--no-normalize]";
int RunRenderVideoAudioCommand(ToolContext& context);

// frame IN --at SECONDS OUT.png [--tempo P]: the picture shown when the song, playing at P %,
// is heard at song time SECONDS, as a PNG.
inline constexpr const char* kFrameUsage = "frame IN --at SECONDS OUT.png [--tempo P]";
int RunFrameCommand(ToolContext& context);

// Takes every `name` out of the arguments; true when there was one.
bool TakeSwitch(std::vector<std::string>& arguments, std::string_view name);
// The leveling gain (dB) the session plays the song at once it is measured.
double MeasuredLevelingGainDb(ToolContext& context, const std::filesystem::path& song, ESongKind kind);

// catalog add DIR: adds a song folder to the catalogue and scans every folder, printing
// {songs, added, changed, removed, unreadable, seconds} (the unreadable files on standard error).
// catalog search QUERY [--limit N]: the ranked songs as JSON [{id, title, singer, path, kind,
// length_ms, why}], why being "text", "pinyin" or "initials"; 20 at most by default.
inline constexpr const char* kCatalogUsage = "catalog add DIR | catalog search QUERY [--limit N]";
int RunCatalogCommand(ToolContext& context);

// queue add SONG [--performer NAME] | queue list | queue next | queue clear: the picked songs
// (SongQueue.txt in the program folder); add picks the song with that catalogue id, else at
// that catalogued path, else the catalogue's best match for SONG as a query; next starts the
// next song and counts it as sung. Each prints {current, queue: [{id, title, singer, performer,
// path}]}, current only while a song is on, add first the entry it queued as queued.
inline constexpr const char* kQueueUsage
    = "queue add ID|PATH|QUERY [--performer NAME] | queue list | queue next | queue clear";
int RunQueueCommand(ToolContext& context);

// cdg-frame SONG --at SECONDS OUT.png: the 288×192 frame that an MP3+G song (its sound file, its
// .cdg file or its zip archive) shows at SECONDS of song time, as a PNG; 1 with the reason when
// the song's graphics cannot be read.
inline constexpr const char* kCdgFrameUsage = "cdg-frame SONG --at SECONDS OUT.png";
int RunCdgFrameCommand(ToolContext& context);
class ICatalogStore;
// The catalogue LINLANGOK_CATALOG selects (a venue's on PostgreSQL), else the database in the
// program folder, with the warning of a set-aside file shown. Raises std::runtime_error when it
// cannot be opened.
std::unique_ptr<ICatalogStore> OpenCatalogStore(ToolContext& context);
class CCatalogSelection;
class CPendingCounts;
// The program folder's room's store: OpenCatalogStore's, but for a venue's room one that keeps the
// plays counted in pending until the server has them, and connects only when first asked.
std::unique_ptr<ICatalogStore> OpenRoomStore(
    ToolContext& context, const CCatalogSelection& selection, CPendingCounts& pending);

// serve [--port N] [--pin NNNN] [--address A]: 手机点歌 over the catalogue and the queue of the
// program folder. Prints {"url", "pin"} on the first line of standard output and serves until
// SIGTERM or SIGINT. Port 8866 by default (0: any free port), a random 4-digit PIN unless given
// one of 4 to 8 digits, every IPv4 address unless given one; the URL names the first LAN address
// then, or the one given.
inline constexpr const char* kServeUsage = "serve [--port N] [--pin NNNN] [--address A]";
int RunServeCommand(ToolContext& context);

// melody SONG [--transpose N]: the notes the song is scored against, in song seconds, as JSON
// {reference, notes: [{start, end, pitch}]}, pitch a MIDI note number; 1 with the reason when the
// song has none.
inline constexpr const char* kMelodyUsage = "melody SONG [--transpose N]";
int RunMelodyCommand(ToolContext& context);

// score SONG VOICE [--difficulty easy|normal|hard] [--transpose N] [--tempo P] [--latency-ms L]: a
// recording of a voice (WAV or MP3, starting with the song, sung L ms before it was recorded) scored
// against the song's reference as the windows score a singer, as JSON {score, notes, notes_hit,
// lines: [{start, end, score, word}], reference}; 1 with the reason when the song has no reference.
// An UltraStar duet's first voice is sung on the recording's left and its second on the right,
// scored in "second_voice" {score, notes, notes_hit, lines}.
inline constexpr const char* kScoreUsage
    = "score SONG VOICE [--difficulty easy|normal|hard] [--transpose N] [--tempo P] [--latency-ms L]";
int RunScoreCommand(ToolContext& context);
// effects: the voice effects as JSON {presets: [{name, chain: [{uri, controls: {symbol: value}}]}],
// plugins: [{uri, name, class}]}, the installed LV2 reverbs and delays. effects --controls URI: the
// control inputs of the plugin with that URI, as {uri, controls: [{symbol, name, min, max, default,
// toggled, integer}]} (an unbounded end null; no controls when it is not installed).
inline constexpr const char* kEffectsUsage = "effects [--controls URI]";
int RunEffectsCommand(ToolContext& context);

// The score's members: score, notes, notes_hit and lines.
void WriteScore(CJsonWriter& json, const SongScore& score);

} // namespace linlangok
