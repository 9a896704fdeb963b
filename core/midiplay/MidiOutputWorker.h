#pragma once

#include "common/AutoResetEvent.h"
#include "common/UserPrompts.h"
#include "core/midiplay/MidiOutputDevice.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace linlangok {

// The connection to one MIDI output device, with a worker thread that releases long-message
// records once the device reports them done. Every MIDI message the program plays goes through
// the one worker of the sequencer.
//
// Open, Close and destruction run on the UI thread; SendShort on the UI thread or on the timer
// thread while a song plays (one at a time: the sequencer stops the timer before it sends from
// the UI thread). The device's done reports may come on any thread.
class CMidiOutputWorker final : public IMidiShortMessageSink {
public:
    // Neither is owned; both outlive the worker.
    CMidiOutputWorker(IUserPrompts& prompts, IMidiOutputDeviceList& devices);
    ~CMidiOutputWorker() override;

    CMidiOutputWorker(const CMidiOutputWorker&) = delete;
    CMidiOutputWorker& operator=(const CMidiOutputWorker&) = delete;

    bool IsOpen() const { return m_open.load(std::memory_order_acquire) == 1; }

    // Opens the worker's device (device 0 when its number is past the last device). 1 on
    // success; 0 when there is no device ("无MIDI输出设备!\n" shown) or it cannot be opened.
    int OpenFirstAvailable();
    // Closes first, then opens the device and starts the worker thread. 1 on success; else shows
    // "打开设备时出错!请尝试设置MIDI输出设备!" (caption "错误") and returns 0, closed.
    int Open(std::uint32_t device);
    // Flag cleared, worker woken and joined, queued records released, device closed.
    void Close();

    // Sends a packed short message while open; raises std::runtime_error "MIDIOut发送消息出错!"
    // when the device fails. Does nothing while closed.
    void SendShort(std::uint32_t packedMessage) override;
    // The same for a message meant to sound at `due` (see IMidiOutputConnection::SendShortAt).
    void SendShortAt(std::uint32_t packedMessage, std::chrono::steady_clock::time_point due);
    // Sends a system exclusive message (F0 ... F7) while open: its record waits in the release
    // queue until the device reports it done. Raises "MIDIOut发送消息出错!" on failure.
    void SendLong(const std::uint8_t* bytes, size_t length);

    // Records waiting for release (for tests).
    size_t PendingRecords() const;

private:
    struct LongMessageRecord {
        std::vector<std::uint8_t> bytes;
    };

    void RunWorker();
    void ReleaseOne();
    void ReleaseAll();

    IUserPrompts& m_prompts;
    IMidiOutputDeviceList& m_devices;
    std::uint32_t m_deviceNumber = 0;
    std::unique_ptr<IMidiOutputConnection> m_device;
    CAutoResetEvent m_wake;
    std::atomic<size_t> m_doneReports {0};
    std::thread m_thread;
    std::deque<std::unique_ptr<LongMessageRecord>> m_releaseQueue;
    mutable std::mutex m_queueLock;
    std::atomic<int> m_open {0};
};

} // namespace linlangok
