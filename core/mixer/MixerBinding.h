#pragma once

#include "core/mixer/Mixer.h"
#include "core/mixer/MixerControls.h"

// What every binding of a dialog control to a mixer control shares: its own open mixer, whose
// change notifications it receives, and (for faders and switches) the control found by
// destination, source and control type with its values. All on the user-interface thread.
namespace linlangok {

class CMixerClient : public IMixerListener {
public:
    CMixerClient(const CMixerClient&) = delete;
    CMixerClient& operator=(const CMixerClient&) = delete;

    // The descriptors the window watches while the mixer is open (none when it is closed, or for
    // a mixer that delivers its notifications on every call); when one is ready, or after a
    // change made through another binding, it calls HandleMixerEvents.
    std::vector<MixerPollDescriptor> PollDescriptors() const;
    void HandleMixerEvents();

    bool IsOpen() const { return m_mixer != nullptr; }
    // Closes the mixer, as when the bound control is destroyed; the binding then does nothing.
    void Close() { m_mixer.reset(); }

protected:
    explicit CMixerClient(IMixerSystem& system);
    ~CMixerClient() = default;

    // Opens mixer 0 with notifications to this binding, closing any it held. False when the
    // platform has no mixer or it cannot be opened.
    bool OpenFirstMixer();

    IMixerSystem& m_system;
    std::unique_ptr<IMixer> m_mixer;
};

class CMixerBinding : public CMixerClient {
public:
    const MixerControlInfo& Control() const { return m_control; }

    // Another program (or binding) changed the control: the dialog control follows.
    void OnMixerControlChange(std::uint32_t controlId) final;

protected:
    using CMixerClient::CMixerClient;
    ~CMixerBinding() = default;

    // Opens mixer 0 and finds the destination line of that component type, its source of that
    // type (or the destination itself for kMixerNoSource) and the line's control of that type;
    // prepares the values. False, with the mixer closed, when anything is missing or the control's
    // unit is not boolean, signed, unsigned, decibels or percent.
    bool Bind(std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType);

    bool ReadValues();
    bool WriteValues();
    // Reads the values and, when that succeeds, enables the dialog control and shows them.
    void Refresh();
    virtual void ShowValues() = 0;

    std::uint32_t m_lineChannels = 0;
    MixerControlInfo m_control;
    std::uint32_t m_valueChannels = 0; // 1 for a uniform control, else the line's channels
    std::uint32_t m_valueItems = 0; // the item count of a multiple-item control, else 1
    std::vector<std::int32_t> m_values; // channels × items, channel by channel
};

} // namespace linlangok
