#include "platform/midi/MidiOutputDeviceList.h"

#include "common/FilePath.h"
#include "common/Translation.h"
#include "platform/midi/FluidSynth.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace linlangok {

std::optional<std::filesystem::path> FindSoundFont(const char* configured, const std::filesystem::path& folder)
{
    if (configured && *configured)
        return std::filesystem::path(configured);
    std::vector<std::filesystem::path> found;
    ForEachFolderEntry(folder, [&found](const std::filesystem::directory_entry& entry) {
        std::error_code error;
        if (entry.path().extension() == ".sf2" && entry.is_regular_file(error))
            found.push_back(entry.path());
        return true;
    });
    if (found.empty())
        return std::nullopt;
    return *std::min_element(found.begin(), found.end());
}

CMidiOutputDeviceList::CMidiOutputDeviceList(std::optional<std::filesystem::path> soundFont, IAudioOutput& audio,
    bool systemPorts, CSynthMidiOutput::TimeSource now)
{
    if (soundFont)
        m_synthesizer
            = std::make_unique<CSynthMidiOutput>(CFluidSynth::Factory(std::move(*soundFont)), audio, std::move(now));
    if (systemPorts)
        m_ports = std::make_unique<CRtMidiPorts>();
}

std::uint32_t CMidiOutputDeviceList::DeviceCount()
{
    return SynthesizerCount() + (m_ports ? m_ports->Count() : 0);
}

std::string CMidiOutputDeviceList::DeviceName(std::uint32_t device)
{
    if (device < SynthesizerCount())
        return TrUtf8("CMidiOutputDeviceList", "内置合成器 (FluidSynth)");
    return m_ports ? m_ports->Name(device - SynthesizerCount()) : std::string();
}

std::unique_ptr<IMidiOutputConnection> CMidiOutputDeviceList::Open(
    std::uint32_t device, std::function<void()> longMessageDone)
{
    if (device < SynthesizerCount())
        return m_synthesizer->Open(std::move(longMessageDone));
    if (!m_ports)
        throw std::runtime_error("no MIDI output device " + std::to_string(device));
    return m_ports->Open(device - SynthesizerCount(), std::move(longMessageDone));
}

void CMidiOutputDeviceList::SetLevelingGain(std::optional<double> gainDb)
{
    if (m_synthesizer)
        m_synthesizer->SetLevelingGain(gainDb);
}

} // namespace linlangok
