#include "bench/BenchSupport.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <sys/resource.h>

namespace linlangok::bench {
namespace {

constexpr std::int32_t kDivision = 480;
constexpr std::int32_t kTempos[] = {500000, 400000, 600000, 450000, 350000, 550000};

struct Event {
    std::int32_t tick;
    std::string bytes;
};

void AppendVariableLength(std::string& out, std::uint32_t value)
{
    std::string reversed(1, char(value & 0x7F));
    while (value >>= 7)
        reversed += char((value & 0x7F) | 0x80);
    out.append(reversed.rbegin(), reversed.rend());
}

std::string Chunk(const char* id, const std::string& body)
{
    const auto size = static_cast<std::uint32_t>(body.size());
    return std::string(id) + char(size >> 24) + char(size >> 16) + char(size >> 8) + char(size) + body;
}

std::string Track(std::vector<Event> events)
{
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::string body;
    std::int32_t last = 0;
    for (const Event& event : events) {
        AppendVariableLength(body, static_cast<std::uint32_t>(event.tick - last));
        body += event.bytes;
        last = event.tick;
    }
    body += std::string("\x00\xFF\x2F\x00", 4);
    return Chunk("MTrk", body);
}

std::string SetTempo(std::int32_t tempo)
{
    return std::string("\xFF\x51\x03", 3) + char(tempo >> 16) + char(tempo >> 8) + char(tempo);
}

std::string Note(int status, int key, int velocity)
{
    return {char(status), char(key), char(velocity)};
}

// The conductor: tempo changes every `beatsPerTempo` beats until `seconds`; returns the last tick.
std::int32_t Conductor(double seconds, std::int32_t beatsPerTempo, std::vector<Event>& events)
{
    double elapsed = 0.0;
    std::int32_t tick = 0;
    for (size_t segment = 0; elapsed < seconds; ++segment) {
        const std::int32_t tempo = kTempos[segment % std::size(kTempos)];
        events.push_back({tick, SetTempo(tempo)});
        tick += beatsPerTempo * kDivision;
        elapsed += beatsPerTempo * tempo / 1e6;
    }
    return tick;
}

std::string File(const std::vector<std::string>& tracks)
{
    std::string header = Chunk("MThd",
        std::string("\x00\x01", 2) + char(tracks.size() >> 8) + char(tracks.size()) + char(kDivision >> 8)
            + char(kDivision & 0xFF));
    for (const std::string& track : tracks)
        header += track;
    return header;
}

double CpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

std::string DenseSongBytes(double seconds)
{
    std::vector<Event> conductor;
    const std::int32_t end = Conductor(seconds, 20, conductor);
    std::vector<std::string> tracks {Track(conductor)};
    struct Voice {
        int channel;
        std::int32_t spacing;
        int lowestKey;
    };
    for (const Voice voice :
        {Voice {0, 240, 48}, Voice {1, 120, 60}, Voice {2, 160, 55}, Voice {3, 60, 72}, Voice {9, 480, 36}}) {
        std::vector<Event> events;
        for (std::int32_t tick = 0, step = 0; tick < end; tick += voice.spacing, ++step) {
            const int key = voice.channel == 9 ? 36 + (step % 2) * 6 : voice.lowestKey + (step * 7) % 24;
            events.push_back({tick, Note(0x90 | voice.channel, key, 80)});
            events.push_back({tick + voice.spacing / 2, Note(0x80 | voice.channel, key, 0)});
        }
        tracks.push_back(Track(events));
    }
    return File(tracks);
}

std::string BurstSongBytes(int notes)
{
    std::vector<Event> events {{0, SetTempo(500000)}};
    for (int i = 0; i < notes; ++i) {
        events.push_back({0, Note(0x90 | i % 16, 36 + i / 16 % 48, 40)});
        events.push_back({kDivision, Note(0x80 | i % 16, 36 + i / 16 % 48, 0)});
    }
    return File({Track(events)});
}

std::string ManyTracksSongBytes(int tracks)
{
    std::vector<std::string> chunks;
    chunks.reserve(static_cast<size_t>(tracks));
    for (int i = 0; i < tracks; ++i) {
        const std::int32_t start = i % 4 * kDivision / 2;
        const int channel = i % 15; // not the percussion channel
        chunks.push_back(Track({{start, Note(0x90 | channel, 48 + i % 24, 40)},
            {start + kDivision / 4, Note(0x80 | channel, 48 + i % 24, 0)}}));
    }
    return File(chunks);
}

std::u16string TypedQuery(const std::u16string& title, const std::string& readings, size_t kind)
{
    std::string initials;
    bool start = true;
    for (const char character : readings) {
        if (character == ' ' || character == '/') {
            start = character == ' ';
            continue;
        }
        if (start)
            initials += character;
        start = false;
    }
    switch (kind % 4) {
    case 0:
        return Utf8ToUtf16(initials);
    case 1:
        return title.substr(0, 2);
    case 2:
        return Utf8ToUtf16(readings.substr(0, readings.find('/')));
    default:
        return Utf8ToUtf16(initials.substr(0, 1));
    }
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * (values.size() - 1) + 0.5))];
}

std::string ClickTrackBytes(double seconds)
{
    std::vector<Event> conductor;
    const std::int32_t end = Conductor(seconds, 8, conductor);
    std::vector<Event> clicks;
    for (std::int32_t tick = kDivision; tick < end; tick += kDivision) {
        clicks.push_back({tick, Note(0x99, 37, 127)});
        clicks.push_back({tick + kDivision / 4, Note(0x89, 37, 0)});
    }
    return File({Track(conductor), Track(clicks)});
}

double ProcessCpuSeconds()
{
    return CpuSeconds(RUSAGE_SELF);
}

double ChildrenCpuSeconds()
{
    return CpuSeconds(RUSAGE_CHILDREN);
}

} // namespace linlangok::bench
