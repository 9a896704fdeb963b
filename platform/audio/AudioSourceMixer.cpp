#include "platform/audio/AudioSourceMixer.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace linlangok {

void CAudioSourceMixer::AddSource(IAudioSource& source)
{
    std::lock_guard lock(m_editLock);
    for (auto& slot : m_slots) {
        if (slot.load() == &source)
            return;
    }
    for (auto& slot : m_slots) {
        if (slot.load() == nullptr) {
            slot.store(&source);
            return;
        }
    }
    throw std::runtime_error("Too many audio sources.");
}

void CAudioSourceMixer::RemoveSource(IAudioSource& source)
{
    std::lock_guard lock(m_editLock);
    bool found = false;
    for (auto& slot : m_slots) {
        if (slot.load() == &source) {
            slot.store(nullptr);
            found = true;
        }
    }
    if (!found)
        return;
    // A pass that started before the slot was cleared may still hold the source: wait for it.
    // Passes that start later no longer see it.
    const uint64_t pass = m_passes.load();
    if (pass % 2 == 0)
        return;
    while (m_passes.load() == pass)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void CAudioSourceMixer::Render(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept
{
    m_passes.fetch_add(1);
    std::fill(mix, mix + frames * 2, 0.0f);
    for (auto& slot : m_slots) {
        if (IAudioSource* source = slot.load())
            source->MixInto(mix, frames, timing);
    }
    for (size_t i = 0; i < frames * 2; ++i)
        mix[i] = std::clamp(mix[i], -1.0f, 1.0f);
    m_passes.fetch_add(1);
}

} // namespace linlangok
