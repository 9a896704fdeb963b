#pragma once

#include "core/recording/CaptureDevice.h"

#include <memory>
#include <mutex>
#include <vector>

namespace linlangok {

// Receives every chunk a shared capture stream delivers, on the stream's capture thread.
class ICaptureReceiver {
public:
    virtual ~ICaptureReceiver() = default;
    // `captured`: when the first frame reached the device (ICaptureDevice::Consumer).
    virtual void OnCapture(const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured)
        = 0;
};

// One capture device shared by everything open on it (the level meter and the recorder): the
// device runs while at least one receiver is attached and each chunk goes to all of them, so
// two users of one sound card never need two streams on it.
class CCaptureStream {
public:
    explicit CCaptureStream(std::unique_ptr<ICaptureDevice> device);
    ~CCaptureStream();

    CCaptureStream(const CCaptureStream&) = delete;
    CCaptureStream& operator=(const CCaptureStream&) = delete;

    // Starts the device for the first receiver. False when it cannot start.
    bool Attach(ICaptureReceiver& receiver);
    // Returns once the receiver is no longer called; stops the device after the last one.
    void Detach(ICaptureReceiver& receiver);
    std::chrono::microseconds Latency() const { return m_device->Latency(); }
    std::uint64_t DropoutCount() const { return m_device->DropoutCount(); }

private:
    void Deliver(const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured);

    std::unique_ptr<ICaptureDevice> m_device;
    std::mutex m_attachLock; // Attach and Detach, with the device's start and stop
    std::mutex m_deliveryLock; // the receiver list, held while delivering
    std::vector<ICaptureReceiver*> m_receivers;
};

} // namespace linlangok
