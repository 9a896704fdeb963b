#pragma once

#include "core/mixer/MixerLayout.h"

#include <map>
#include <set>

// A mixer held in memory, for tests and for trying the volume window without a sound card. Each
// mixer is a layout with its values; every open handle with a listener queues a notification for
// each control that changes (through any handle, or through SetValues as another program would),
// makes its poll descriptor readable, and delivers them when it handles its events.
namespace linlangok {

class CMemoryMixer;

class CMemoryMixerDevice {
public:
    CMixerLayout& Layout() { return m_layout; }

    // The stored values of a control, channels × items, all 0 at first.
    const std::vector<std::int32_t>& Values(std::uint32_t controlId);
    // Changes the values as another program would: every open handle is notified.
    void SetValues(std::uint32_t controlId, std::vector<std::int32_t> values);
    // Makes every read of a control fail, as a driver that refuses it.
    void FailReads(std::uint32_t controlId) { m_unreadable.insert(controlId); }

    std::size_t OpenHandles() const { return m_handles.size(); }

private:
    friend class CMemoryMixer;
    void Notify(std::uint32_t controlId);

    CMixerLayout m_layout;
    std::map<std::uint32_t, std::vector<std::int32_t>> m_values;
    std::set<std::uint32_t> m_unreadable;
    std::vector<CMemoryMixer*> m_handles;
};

class CMemoryMixerSystem final : public IMixerSystem {
public:
    // Adds a mixer; its number is its position. Wave-input device n belongs to mixer n.
    CMemoryMixerDevice& AddMixer();
    CMemoryMixerDevice& Mixer(std::uint32_t number) { return *m_mixers.at(number); }
    // Makes every further opening fail, as a mixer that is busy or gone.
    void RefuseOpening(bool refuse) { m_refuseOpening = refuse; }

    std::uint32_t MixerCount() override { return static_cast<std::uint32_t>(m_mixers.size()); }
    std::unique_ptr<IMixer> Open(std::uint32_t mixer, IMixerListener* listener) override;
    std::unique_ptr<IMixer> OpenForWaveInput(std::uint32_t device, IMixerListener* listener) override;

private:
    std::vector<std::unique_ptr<CMemoryMixerDevice>> m_mixers;
    bool m_refuseOpening = false;
};

// One open handle of an in-memory mixer. The device must outlive it.
class CMemoryMixer final : public CLayoutMixer {
public:
    CMemoryMixer(CMemoryMixerDevice& device, IMixerListener* listener);
    ~CMemoryMixer() override;

    CMemoryMixer(const CMemoryMixer&) = delete;
    CMemoryMixer& operator=(const CMemoryMixer&) = delete;

    bool ReadValues(
        std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::span<std::int32_t> values) override;
    bool WriteValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items,
        std::span<const std::int32_t> values) override;
    // One descriptor, readable while notifications wait (none when it could not be made).
    std::vector<MixerPollDescriptor> PollDescriptors() const override;
    void HandleEvents() override;

private:
    friend class CMemoryMixerDevice;
    const CMixerLayout& Layout() const override { return m_device.m_layout; }

    CMemoryMixerDevice& m_device;
    IMixerListener* m_listener;
    std::set<std::uint32_t> m_pending; // changed controls not yet delivered
    int m_wakeup = -1; // an eventfd, counting up while notifications wait
};

// The controls of a typical sound card, as LayOutTypicalCard makes it.
struct TypicalCardControls {
    std::uint32_t masterVolume, masterMute, waveVolume, waveMute, midiVolume, midiMute, microphoneVolume,
        microphoneMute;
    std::uint32_t recordMicrophoneVolume, microphoneBoost, stereoMixVolume, recordingSource;
};

// Lays out a sound card as the volume window meets it: speakers (stereo volume, mute) with Wav,
// MIDI and a mono microphone line, each with volume and mute; a recording destination whose
// sources, chosen through a multiplexer, are the microphone (volume, boost), stereo mix (volume)
// and line in. Every value starts at 0.
TypicalCardControls LayOutTypicalCard(CMixerLayout& layout);

} // namespace linlangok
