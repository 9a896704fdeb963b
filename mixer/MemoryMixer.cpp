#include "mixer/MemoryMixer.h"

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
        if (handle->m_listener)
            handle->m_pending.insert(controlId);
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
    m_device.m_handles.push_back(this);
}

CMemoryMixer::~CMemoryMixer()
{
    std::erase(m_device.m_handles, this);
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
    const auto pending = std::exchange(m_pending, {});
    for (const std::uint32_t controlId : pending)
        m_listener->OnMixerControlChange(controlId);
}

} // namespace linlangok
