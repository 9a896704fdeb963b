#include "core/mixer/MemoryMixer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace linlangok {

const std::vector<std::int32_t>& CMemoryMixerDevice::Values(std::uint32_t controlId)
{
    auto& values = m_values[controlId];
    values.resize(std::size_t(m_layout.ValueChannels(controlId)) * m_layout.ValueItems(controlId));
    return values;
}

void CMemoryMixerDevice::SetValues(std::uint32_t controlId, std::vector<std::int32_t> values)
{
    m_values[controlId] = std::move(values);
    Values(controlId);
    Notify(controlId);
}

void CMemoryMixerDevice::Notify(std::uint32_t controlId)
{
    for (CMemoryMixer* handle : m_handles) {
        if (!handle->m_listener)
            continue;
        handle->m_pending.insert(controlId);
        if (handle->m_wakeup >= 0)
            eventfd_write(handle->m_wakeup, 1);
    }
}

CMemoryMixerDevice& CMemoryMixerSystem::AddMixer()
{
    m_mixers.push_back(std::make_unique<CMemoryMixerDevice>());
    return *m_mixers.back();
}

std::unique_ptr<IMixer> CMemoryMixerSystem::Open(std::uint32_t mixer, IMixerListener* listener)
{
    if (m_refuseOpening || mixer >= m_mixers.size())
        return nullptr;
    return std::make_unique<CMemoryMixer>(*m_mixers[mixer], listener);
}

std::unique_ptr<IMixer> CMemoryMixerSystem::OpenForWaveInput(std::uint32_t device, IMixerListener* listener)
{
    return Open(device, listener);
}

CMemoryMixer::CMemoryMixer(CMemoryMixerDevice& device, IMixerListener* listener)
    : m_device(device)
    , m_listener(listener)
{
    if (m_listener)
        m_wakeup = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_device.m_handles.push_back(this);
}

CMemoryMixer::~CMemoryMixer()
{
    std::erase(m_device.m_handles, this);
    if (m_wakeup >= 0)
        close(m_wakeup);
}

std::vector<MixerPollDescriptor> CMemoryMixer::PollDescriptors() const
{
    if (m_wakeup < 0)
        return {};
    return {{m_wakeup, POLLIN}};
}

bool CMemoryMixer::ReadValues(
    std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::span<std::int32_t> values)
{
    if (!Layout().FitsValues(controlId, channels, items, values.size()) || m_device.m_unreadable.contains(controlId))
        return false;
    const auto& stored = m_device.Values(controlId);
    std::copy_n(stored.begin(), values.size(), values.begin());
    return true;
}

bool CMemoryMixer::WriteValues(
    std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::span<const std::int32_t> values)
{
    if (!Layout().FitsValues(controlId, channels, items, values.size()))
        return false;
    const MixerControlInfo& control = *Layout().Control(controlId);
    auto stored = m_device.Values(controlId);
    const std::uint32_t storedChannels = Layout().ValueChannels(controlId);
    for (std::uint32_t channel = 0; channel < storedChannels && (channels == 1 || channel < channels); ++channel) {
        const std::uint32_t from = channels == 1 ? 0 : channel;
        for (std::uint32_t item = 0; item < items; ++item) {
            stored[channel * items + item] = std::clamp(values[from * items + item], control.minimum, control.maximum);
        }
    }
    m_device.SetValues(controlId, std::move(stored));
    return true;
}

void CMemoryMixer::HandleEvents()
{
    if (m_wakeup >= 0) {
        eventfd_t count = 0;
        eventfd_read(m_wakeup, &count);
    }
    const auto pending = std::exchange(m_pending, {});
    for (const std::uint32_t controlId : pending)
        m_listener->OnMixerControlChange(controlId);
}

TypicalCardControls LayOutTypicalCard(CMixerLayout& layout)
{
    const MixerControlInfo volume {.type = kMixerControlVolume, .maximum = 65535, .steps = 31};
    const MixerControlInfo onOff {.type = kMixerControlMute, .flags = kMixerControlUniform, .maximum = 1};
    TypicalCardControls card {};
    const auto speakers = layout.AddDestination(kMixerDestinationSpeakers, u"主音量", 2);
    card.masterVolume = layout.AddControl(speakers, volume);
    card.masterMute = layout.AddControl(speakers, onOff);
    const auto wave = layout.AddSource(speakers, kMixerSourceWaveOut, u"Wav", 2);
    card.waveVolume = layout.AddControl(wave, volume);
    card.waveMute = layout.AddControl(wave, onOff);
    const auto midi = layout.AddSource(speakers, kMixerSourceSynthesizer, u"MIDI", 2);
    card.midiVolume = layout.AddControl(midi, volume);
    card.midiMute = layout.AddControl(midi, onOff);
    const auto microphone = layout.AddSource(speakers, kMixerSourceMicrophone, u"麦克风", 1);
    card.microphoneVolume = layout.AddControl(microphone, volume);
    card.microphoneMute = layout.AddControl(microphone, onOff);

    const auto waveIn = layout.AddDestination(kMixerDestinationWaveIn, u"录音", 2);
    const auto recordMicrophone = layout.AddSource(waveIn, kMixerSourceMicrophone, u"Microphone", 1);
    card.recordMicrophoneVolume = layout.AddControl(recordMicrophone, volume);
    card.microphoneBoost = layout.AddControl(
        recordMicrophone, {.type = kMixerControlOnOff, .flags = kMixerControlUniform, .maximum = 1});
    const auto stereoMix = layout.AddSource(waveIn, kMixerSourceAnalog, u"Stereo Mix", 2);
    card.stereoMixVolume = layout.AddControl(stereoMix, volume);
    const auto lineIn = layout.AddSource(waveIn, kMixerSourceLine, u"Line In", 2);
    card.recordingSource = layout.AddControl(waveIn,
        {.type = kMixerControlMultiplexer, .flags = kMixerControlUniform | kMixerControlMultiple, .maximum = 1},
        {{recordMicrophone, u"Microphone"}, {stereoMix, u"Stereo Mix"}, {lineIn, u"Line In"}});
    return card;
}

} // namespace linlangok
