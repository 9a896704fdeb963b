#pragma once

#include "midi/MidiShortMessageSink.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace linlangok {

// One open connection to a MIDI output device; destroying it closes the device. Opened, used and
// closed from one thread at a time (the UI thread, and the timer thread while a song plays).
class IMidiOutputConnection : public IMidiShortMessageSink {
public:
    // SendShort raises std::runtime_error with a technical description when the device fails.

    // Sends a short message meant to sound at `due` (the steady clock, or the offline renderer's
    // virtual time). A device that cannot place messages in time plays it at once, as SendShort.
    virtual void SendShortAt(std::uint32_t packedMessage, std::chrono::steady_clock::time_point due)
    {
        SendShort(packedMessage);
    }

    // Sends one system exclusive message (F0 ... F7). The device may read the bytes until it
    // reports the message done through the callback given to Open. Raises std::runtime_error
    // when the device fails; then no done report follows.
    virtual void SendLong(const std::uint8_t* bytes, size_t length) = 0;
};

// The system's MIDI output devices, numbered from 0. The built-in synthesizer, when it can
// play, is device 0; the system's MIDI ports follow. UI thread.
class IMidiOutputDeviceList {
public:
    virtual ~IMidiOutputDeviceList() = default;

    // The number of devices, asked of the system on every call.
    virtual std::uint32_t DeviceCount() = 0;
    // The device's name as the user would recognise it; empty for a number out of range.
    virtual std::string DeviceName(std::uint32_t device) = 0;

    // Opens a device. longMessageDone is called, on any thread, each time the device has finished
    // with a long message. Raises std::runtime_error with a technical description when the
    // device cannot be opened (also when it is already open).
    virtual std::unique_ptr<IMidiOutputConnection> Open(std::uint32_t device, std::function<void()> longMessageDone)
        = 0;

    // The leveling gain (dB) of the songs that devices in the program's own audio path play from
    // their next Open on, or nothing for their sound as it is. Other devices ignore it.
    virtual void SetLevelingGain(std::optional<double>) { }
};

} // namespace linlangok
