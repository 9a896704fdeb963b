#pragma once

#include "core/midiplay/MidiOutputDevice.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace linlangok {

// One message as a capture device received it.
struct CapturedMidiMessage {
    std::chrono::steady_clock::time_point time; // steady clock at the send
    std::optional<std::chrono::steady_clock::time_point> due; // given by SendShortAt
    std::int32_t tick = 0; // the tick source's value at the send (0 without one)
    std::uint32_t message = 0; // packed short message; 0 for a long message
    std::vector<std::uint8_t> bytes; // a long message's bytes
};

// MIDI output devices that record what they are sent, for tests and benchmarks. Every device
// writes into one shared record. Sends may come from any thread; the record is locked.
class CCaptureMidiOutputList final : public IMidiOutputDeviceList {
public:
    explicit CCaptureMidiOutputList(std::uint32_t deviceCount = 1);

    std::uint32_t DeviceCount() override { return m_deviceCount; }
    std::string DeviceName(std::uint32_t device) override;
    std::unique_ptr<IMidiOutputConnection> Open(std::uint32_t device, std::function<void()> longMessageDone) override;

    // Called at every send to stamp the message, e.g. with the timer's tick counter.
    void SetTickSource(std::function<std::int32_t()> tickSource) { m_tickSource = std::move(tickSource); }
    // Room for this many messages, so that recording does not allocate on the timer thread.
    void Reserve(size_t messages);

    // Failures on demand: Open raises; sends raise.
    void SetOpenFails(bool fails) { m_openFails = fails; }
    void SetSendFails(bool fails);
    // Long messages are reported done only by CompleteLongMessages (else at once).
    void SetHoldLongMessageDone(bool hold) { m_holdLongMessageDone = hold; }
    // Reports every held long message done, oldest first; returns how many.
    size_t CompleteLongMessages();

    std::vector<CapturedMidiMessage> Messages() const;
    std::vector<std::uint32_t> ShortMessages() const;
    void Clear();
    // The device open now, or -1; and how many connections were opened in all.
    int OpenDevice() const;
    int OpenCount() const;

private:
    class CConnection;

    void Record(std::uint32_t message, const std::uint8_t* bytes, size_t length,
        std::optional<std::chrono::steady_clock::time_point> due = std::nullopt);

    const std::uint32_t m_deviceCount;
    std::function<std::int32_t()> m_tickSource;
    bool m_openFails = false;
    bool m_holdLongMessageDone = false;

    mutable std::mutex m_lock;
    std::vector<CapturedMidiMessage> m_messages;
    bool m_sendFails = false;
    int m_openDevice = -1;
    int m_openCount = 0;
    std::function<void()> m_longMessageDone;
    size_t m_heldLongMessages = 0;
};

} // namespace linlangok
