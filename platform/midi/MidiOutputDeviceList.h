#pragma once

#include "core/midiplay/MidiOutputDevice.h"
#include "platform/midi/RtMidiPorts.h"
#include "platform/midi/SynthMidiOutput.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace linlangok {

// The SoundFont of the built-in synthesizer: `configured` (LINLANGOK_SOUNDFONT) when set, else
// the first *.sf2 file in `folder` in name order; nothing when there is none.
std::optional<std::filesystem::path> FindSoundFont(
    const char* configured, const std::filesystem::path& folder = "/usr/share/sounds/sf2");

// The MIDI output devices of this platform: the built-in synthesizer as device 0 when there is a
// SoundFont, then the system's MIDI ports (when asked for). UI thread.
class CMidiOutputDeviceList final : public IMidiOutputDeviceList {
public:
    // soundFont: none leaves the list without the synthesizer. audio: the run's output stream,
    // not owned, outliving this list. now: the send-time clock of the synthesizer.
    CMidiOutputDeviceList(std::optional<std::filesystem::path> soundFont, IAudioOutput& audio, bool systemPorts,
        CSynthMidiOutput::TimeSource now = std::chrono::steady_clock::now);

    std::uint32_t DeviceCount() override;
    std::string DeviceName(std::uint32_t device) override;
    std::unique_ptr<IMidiOutputConnection> Open(std::uint32_t device, std::function<void()> longMessageDone) override;
    // The built-in synthesizer's.
    void SetLevelingGain(std::optional<double> gainDb) override;

    // The built-in synthesizer, or null when there is no SoundFont.
    CSynthMidiOutput* Synthesizer() { return m_synthesizer.get(); }

private:
    std::uint32_t SynthesizerCount() const { return m_synthesizer ? 1 : 0; }

    std::unique_ptr<CSynthMidiOutput> m_synthesizer;
    std::unique_ptr<CRtMidiPorts> m_ports;
};

} // namespace linlangok
