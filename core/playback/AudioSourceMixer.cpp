#include "core/playback/AudioSourceMixer.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace linlangok {

template <typename T, size_t N>
void CAudioSourceMixer::Add(std::array<std::atomic<T*>, N>& slots, T& item, const char* full)
{
    std::lock_guard lock(m_editLock);
    for (auto& slot : slots) {
        if (slot.load() == &item)
            return;
    }
    for (auto& slot : slots) {
        if (slot.load() == nullptr) {
            slot.store(&item);
            return;
        }
    }
    throw std::runtime_error(full);
}

template <typename T, size_t N> void CAudioSourceMixer::Remove(std::array<std::atomic<T*>, N>& slots, T& item)
{
    std::lock_guard lock(m_editLock);
    bool found = false;
    for (auto& slot : slots) {
        if (slot.load() == &item) {
            slot.store(nullptr);
            found = true;
        }
    }
    if (!found)
        return;
    // A pass that started before the slot was cleared may still hold the item: wait for it.
    // Passes that start later no longer see it.
    const std::uint64_t pass = m_passes.load();
    if (pass % 2 == 0)
        return;
    while (m_passes.load() == pass)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void CAudioSourceMixer::AddSource(IAudioSource& source)
{
    Add(m_slots, source, "Too many audio sources.");
}

void CAudioSourceMixer::RemoveSource(IAudioSource& source)
{
    Remove(m_slots, source);
}

void CAudioSourceMixer::AddTap(IAudioTap& tap)
{
    Add(m_taps, tap, "Too many audio taps.");
}

void CAudioSourceMixer::RemoveTap(IAudioTap& tap)
{
    Remove(m_taps, tap);
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
    for (auto& slot : m_taps) {
        if (IAudioTap* tap = slot.load())
            tap->OnPlayed(mix, frames, timing);
    }
    m_passes.fetch_add(1);
}

} // namespace linlangok
