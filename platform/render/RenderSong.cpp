#include "platform/render/RenderSong.h"

#include "common/CodePage.h"
#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "common/UiTaskQueue.h"
#include "core/audio/SampleFormat.h"
#include "core/loudness/LoudnessLeveler.h"
#include "core/midiplay/MidiSequencer.h"
#include "midi/MidiSong.h"
#include "platform/audio/WavFileWriter.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "timebase/ManualTimerDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace linlangok {
namespace {

// The output stream of an offline render: the render loop pulls each buffer itself.
class COfflineAudioOutput final : public IAudioOutput {
public:
    COfflineAudioOutput(size_t bufferFrames, int sampleRate)
        : m_bufferFrames(bufferFrames)
        , m_sampleRate(sampleRate)
    {
    }
    std::string Name() const override { return "render"; }
    int SampleRate() const override { return m_sampleRate; }
    size_t BufferFrames() const override { return m_bufferFrames; }
    std::chrono::microseconds OutputLatency() const override { return {}; }
    void AddSource(IAudioSource& source) override { m_source = &source; }
    void RemoveSource(IAudioSource& source) override
    {
        if (m_source == &source)
            m_source = nullptr;
    }

    // Renders the next buffer as if a sound card asked for it at `callbackTime`.
    void Pull(float* mix, std::uint64_t firstFrame, std::chrono::steady_clock::time_point callbackTime)
    {
        std::fill(mix, mix + 2 * m_bufferFrames, 0.0f);
        if (m_source)
            m_source->MixInto(mix, m_bufferFrames, {firstFrame, callbackTime, m_sampleRate});
    }

private:
    size_t m_bufferFrames;
    int m_sampleRate;
    IAudioSource* m_source = nullptr;
};

bool IsMutedNote(const CMidiMessage& message, std::optional<std::uint8_t> mutedChannel)
{
    const CChannelMessage* channel = AsChannelMessage(&message);
    return mutedChannel && channel && channel->Channel() == *mutedChannel
        && (channel->Command() == 0x80 || channel->Command() == 0x90);
}

// The tick of the song's last event that is played: the song's last tick, or an earlier one
// when notes of the muted channel come last. Every track has played out once the tick counter
// has passed it.
std::int32_t LastPlayedTick(const CMidiSong& song, std::optional<std::uint8_t> mutedChannel)
{
    std::int32_t last = 0;
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        const std::vector<TrackEntry>& entries = song.Track(track).Entries();
        // The End of Track (the last entry) takes the tick of the entry before it.
        for (size_t index = entries.size(); index-- > 1;) {
            if (!IsMutedNote(*entries[index - 1].message, mutedChannel)) {
                last = std::max(last, entries[index - 1].tick);
                break;
            }
        }
    }
    return last;
}

// The unleveled render spooled to a temporary file as its loudness is measured, then leveled at
// the probe's gain into the sink, as the synthesizer's leveler would have leveled it.
std::optional<RenderResult> RenderLeveledByProbe(IUserPrompts& prompts, const ICodePage& codePage,
    const std::filesystem::path& midiFile, RenderOptions options, const RenderSink& sink,
    const std::function<bool()>& cannotWrite)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(std::tmpfile(), std::fclose);
    if (!spool) {
        cannotWrite();
        return std::nullopt;
    }
    ILoudnessProbe& probe = *options.levelByProbe;
    options.levelingGainDb.reset();
    const auto keep = [&](const float* frames, size_t count) {
        probe.Add(frames, count);
        return std::fwrite(frames, 2 * sizeof(float), count, spool.get()) == count || cannotWrite();
    };
    const std::optional<RenderResult> result
        = RenderSongInto(prompts, codePage, midiFile, options, kStreamSampleRate, keep);
    if (!result)
        return std::nullopt;
    std::rewind(spool.get());
    CLoudnessLeveler leveler(kStreamSampleRate);
    leveler.SetGain(probe.LevelingGainDb());
    leveler.Reset();
    std::vector<float> chunk(2 * std::max<size_t>(4096, CLoudnessLeveler::kLatencyFrames));
    while (const size_t read = std::fread(chunk.data(), 2 * sizeof(float), chunk.size() / 2, spool.get())) {
        if (!sink(chunk.data(), leveler.ProcessInTime(chunk.data(), read)))
            return std::nullopt;
    }
    if (std::ferror(spool.get())) {
        cannotWrite();
        return std::nullopt;
    }
    if (!sink(chunk.data(), leveler.Drain(chunk.data())))
        return std::nullopt;
    return result;
}

} // namespace

std::optional<RenderResult> RenderSongInto(IUserPrompts& prompts, const ICodePage& codePage,
    const std::filesystem::path& midiFile, const RenderOptions& options, int sampleRate, const RenderSink& sink)
{
    const auto soundFont = options.soundFont ? options.soundFont : FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"));
    if (!soundFont) {
        prompts.ShowError(CaptionError(), Tr("RenderSong", "没有找到SoundFont音色库 (LINLANGOK_SOUNDFONT)"));
        return std::nullopt;
    }
    CManualTimerDriver driver;
    CMidiSong song(codePage);
    const SongLoad load = song.Load(midiFile);
    prompts.ShowMessages(load.messages);
    if (!load)
        return std::nullopt;
    for (size_t track = 0; track < song.TrackCount(); ++track)
        song.Track(track).Transpose(options.transpose);

    // Virtual time: the driver's milliseconds, which the render loop keeps level with the audio.
    const std::chrono::steady_clock::time_point origin;
    COfflineAudioOutput output(options.bufferFrames, sampleRate);
    CMidiOutputDeviceList devices(
        *soundFont, output, false, [&driver, origin] { return origin + std::chrono::milliseconds(driver.Now()); });
    devices.SetLevelingGain(options.levelingGainDb);
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(prompts, uiThread, devices, driver, &song);
    const std::optional<std::uint8_t> mutedChannel = options.melody ? std::nullopt : song.MelodyChannel();
    sequencer.SetMutedChannel(mutedChannel);
    sequencer.Clock().SetTempoPercent(options.tempoPercent);
    const std::int32_t lastTick = LastPlayedTick(song, mutedChannel);
    sequencer.Start();
    if (!sequencer.IsPlaying()) {
        // A song of length 0 (texts and lyrics at tick 0, no note) does not even open the output;
        // an output that failed to open has shown its own message.
        if (song.LastTick() == 0 || sequencer.Output().IsOpen())
            prompts.ShowError(
                CaptionWarning(), Formatted(Tr("RenderSong", "乐曲中没有可以播放的事件: %1"), {PathToUtf16(midiFile)}));
        return std::nullopt;
    }

    CSynthMidiOutput& synth = *devices.Synthesizer();
    // The synthesizer plays each message a fixed latency after its send; those first frames
    // are dropped so that the render starts at the song's start.
    std::uint64_t skip = synth.LatencyFrames();
    const size_t bufferFrames = options.bufferFrames;
    const auto tailFrames = static_cast<std::uint64_t>(kMaximumTailSeconds * sampleRate);
    std::vector<float> buffer(2 * bufferFrames);
    RenderResult result;
    std::uint64_t frame = 0;
    std::uint64_t stopFrame = 0;
    for (;;) {
        // Every period that has begun by this buffer's time has fired, as on the timer thread.
        while ((driver.Now() + 1) * static_cast<std::uint64_t>(sampleRate) <= frame * 1000)
            driver.Advance(1);
        if (uiThread.RunPending() > 0 && !sequencer.IsPlaying())
            return std::nullopt; // an error stopped playback and has been shown
        if (sequencer.IsPlaying() && sequencer.Clock().Timer().TickCounter() > lastTick) {
            result.songSeconds = sequencer.ElapsedSeconds();
            sequencer.Stop();
            stopFrame = frame;
        }
        if (!sequencer.IsPlaying() && (synth.IsQuiet() || frame - stopFrame >= tailFrames))
            break;
        output.Pull(buffer.data(), frame, origin + std::chrono::nanoseconds(frame * 1000000000ull / sampleRate));
        frame += bufferFrames;
        const size_t dropped = static_cast<size_t>(std::min<std::uint64_t>(skip, bufferFrames));
        skip -= dropped;
        if (!sink(buffer.data() + 2 * dropped, bufferFrames - dropped))
            return std::nullopt;
        result.frames += bufferFrames - dropped;
    }
    return result;
}

std::optional<RenderResult> RenderSong(IUserPrompts& prompts, const ICodePage& codePage,
    const std::filesystem::path& midiFile, const std::filesystem::path& wavFile, const RenderOptions& options)
{
    // Opened with the first buffer, so that a song that cannot be played is reported alone.
    std::optional<CWavFileWriter> wav;
    const auto cannotWrite = [&] {
        prompts.ShowError(CaptionError(), Formatted(Tr("RenderSong", "无法写入文件 %1"), {PathToUtf16(wavFile)}));
        return false;
    };
    const auto write = [&](const float* frames, size_t count) {
        if (!wav) {
            try {
                wav.emplace(wavFile, EWavFileMode::Replacing);
            } catch (const std::runtime_error&) {
                return cannotWrite();
            }
        }
        return wav->WriteFloat(frames, count) || cannotWrite();
    };
    std::optional<RenderResult> result;
    if (options.levelByProbe)
        result = RenderLeveledByProbe(prompts, codePage, midiFile, options, write, cannotWrite);
    else
        result = RenderSongInto(prompts, codePage, midiFile, options, kStreamSampleRate, write);
    if (!result || !wav)
        return std::nullopt;
    if (!wav->Commit()) {
        cannotWrite();
        return std::nullopt;
    }
    return result;
}

} // namespace linlangok
