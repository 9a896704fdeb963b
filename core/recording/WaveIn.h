#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

// Wave input as the recorder and the level meter use it: numbered capture devices with their
// capabilities, opened at the capture format (PCM, 2 channels, 44100 Hz, 16 bits, 4 bytes per
// frame), fed with buffers that come back filled. Results are the platform's codes, 0 for success.
namespace linlangok {

inline constexpr std::uint32_t kWaveInOk = 0;
inline constexpr std::uint32_t kWaveInErrorGeneral = 1;
inline constexpr std::uint32_t kWaveInErrorBadDevice = 2;
inline constexpr std::uint32_t kWaveInErrorAllocated = 4; // the device is busy or cannot start
inline constexpr std::uint32_t kWaveInErrorInvalidHandle = 5;
inline constexpr std::uint32_t kWaveInErrorInvalidParameter = 11;
inline constexpr std::uint32_t kWaveInErrorStillPlaying = 33; // buffers still queued
inline constexpr std::uint32_t kWaveInErrorUnprepared = 34;

// The device number that opens the default input.
inline constexpr std::uint32_t kWaveMapper = 0xFFFFFFFF;

// The capture format's bit in WaveInCapabilities::formats: 44.1 kHz, stereo, 16-bit.
inline constexpr std::uint32_t kWaveFormat4S16 = 0x800;

inline constexpr std::uint32_t kCaptureFramesPerSecond = 44100;
inline constexpr std::uint32_t kCaptureBytesPerFrame = 4;
inline constexpr std::uint32_t kCaptureBytesPerSecond = kCaptureFramesPerSecond * kCaptureBytesPerFrame; // 176400

// Buffer flags.
inline constexpr std::uint32_t kWaveBufferDone = 0x01;
inline constexpr std::uint32_t kWaveBufferPrepared = 0x02;
inline constexpr std::uint32_t kWaveBufferInQueue = 0x10;

// One buffer handed to a device (the platform's wave header). The device writes bytesRecorded
// and flags while the buffer is queued; the owner reads them once it is back.
struct WaveInBuffer {
    std::uint8_t* data = nullptr;
    std::uint32_t length = 0; // bytes, a multiple of 4
    std::uint32_t bytesRecorded = 0;
    std::uint32_t flags = 0;
    // When the first frame reached the device, by its clock (it entered the input the input
    // latency before): the device's estimate from every chunk that went into the buffer.
    std::chrono::steady_clock::time_point firstFrameTime {};
};

struct WaveInCapabilities {
    std::u16string name;
    std::uint32_t formats = 0; // kWaveFormat4S16 when the device can capture the capture format
    std::uint16_t channels = 0;
};

// Notifications of an open device. OnWaveInOpen comes from inside Open and OnWaveInClose from
// inside Close, on the caller's thread; OnWaveInData comes on the device's capture thread when a
// buffer is full, or from inside Reset for the buffers it returns. After Close, none comes.
class IWaveInClient {
public:
    virtual ~IWaveInClient() = default;
    virtual void OnWaveInOpen() = 0;
    virtual void OnWaveInData(WaveInBuffer& buffer) = 0;
    virtual void OnWaveInClose() = 0;
};

// An open device. Buffers are filled in the order they were added; data captured while the device
// is not started, or while no buffer is queued, is dropped.
class IWaveInHandle {
public:
    virtual ~IWaveInHandle() = default;
    virtual std::uint32_t PrepareBuffer(WaveInBuffer& buffer) = 0;
    virtual std::uint32_t UnprepareBuffer(WaveInBuffer& buffer) = 0; // kWaveInErrorStillPlaying while queued
    virtual std::uint32_t AddBuffer(WaveInBuffer& buffer) = 0; // kWaveInErrorUnprepared unless prepared
    virtual std::uint32_t Start() = 0;
    // Stops capturing and returns every queued buffer, marked done, with what it holds.
    virtual std::uint32_t Reset() = 0;
    // kWaveInErrorStillPlaying while buffers are queued. Otherwise notifies OnWaveInClose.
    virtual std::uint32_t Close() = 0;
    // How long a sound takes from entering the device to reaching its buffers, as it reports it.
    virtual std::chrono::microseconds InputLatency() const = 0;
    // Frames stored into buffers since the device opened (the platform's position). Any thread.
    virtual std::uint64_t CapturedFrames() const = 0;
    // How often since it opened the device lost input that was not read in time (an overflow,
    // heard as a gap in the recording); zero for a device that cannot tell, or once closed.
    virtual std::uint64_t DropoutCount() const { return 0; }
};

// The machine's wave-input devices.
class IWaveInSystem {
public:
    virtual ~IWaveInSystem() = default;
    virtual std::uint32_t DeviceCount() = 0;
    virtual std::uint32_t Capabilities(std::uint32_t device, WaveInCapabilities& capabilities) = 0;
    // Opens `device` (or kWaveMapper) at the capture format; on success `handle` holds the open device.
    virtual std::uint32_t Open(std::uint32_t device, IWaveInClient& client, std::unique_ptr<IWaveInHandle>& handle) = 0;
};

} // namespace linlangok
