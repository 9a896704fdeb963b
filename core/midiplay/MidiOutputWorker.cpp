#include "core/midiplay/MidiOutputWorker.h"

#include "common/ErrorLog.h"
#include "common/Translation.h"
#include <stdexcept>

namespace linlangok {
namespace {

constexpr const char* kSendError = LINLANGOK_TR_NOOP("CMidiOutputWorker", "MIDIOut发送消息出错!");

// Runs a send on the device; its failure becomes the worker's message.
template <typename Send> void SendOrRaise(Send send)
{
    try {
        send();
    } catch (const std::exception&) {
        LogError("MIDI send");
        throw std::runtime_error(TrUtf8("CMidiOutputWorker", kSendError));
    }
}

} // namespace

CMidiOutputWorker::CMidiOutputWorker(IUserPrompts& prompts, IMidiOutputDeviceList& devices)
    : m_prompts(prompts)
    , m_devices(devices)
{
}

CMidiOutputWorker::~CMidiOutputWorker()
{
    Close();
    ReleaseAll();
}

int CMidiOutputWorker::OpenFirstAvailable()
{
    try {
        const std::uint32_t count = m_devices.DeviceCount();
        if (count < 1) {
            m_prompts.ShowMessage({std::nullopt, Tr("CMidiOutputWorker", "无MIDI输出设备!\n")}); // the default caption
            return 0;
        }
        return Open(m_deviceNumber > count ? 0 : m_deviceNumber);
    } catch (...) {
        LogError("MIDI output device list");
        return 0;
    }
}

int CMidiOutputWorker::Open(std::uint32_t device)
{
    Close();
    m_doneReports.store(0, std::memory_order_relaxed);
    try {
        m_device = m_devices.Open(device, [this] {
            m_doneReports.fetch_add(1, std::memory_order_acq_rel);
            m_wake.Set();
        });
        if (m_device) {
            m_wake.Reset(); // a wake left over from the last close
            m_open.store(1, std::memory_order_release);
            m_thread = std::thread(&CMidiOutputWorker::RunWorker, this);
            return 1;
        }
    } catch (const std::exception&) {
        LogError("MIDI output open");
    }
    m_open.store(0, std::memory_order_release);
    m_device.reset();
    m_prompts.ShowError(CaptionError(), Tr("CMidiOutputWorker", "打开设备时出错!请尝试设置MIDI输出设备!"));
    return 0;
}

void CMidiOutputWorker::Close()
{
    if (!IsOpen())
        return;
    m_open.store(0, std::memory_order_release);
    m_wake.Set();
    m_thread.join();
    ReleaseAll();
    m_device.reset();
}

void CMidiOutputWorker::SendShort(std::uint32_t packedMessage)
{
    if (IsOpen())
        SendOrRaise([&] { m_device->SendShort(packedMessage); });
}

void CMidiOutputWorker::SendShortAt(std::uint32_t packedMessage, std::chrono::steady_clock::time_point due)
{
    if (IsOpen())
        SendOrRaise([&] { m_device->SendShortAt(packedMessage, due); });
}

void CMidiOutputWorker::SendLong(const std::uint8_t* bytes, size_t length)
{
    if (!IsOpen())
        return;
    LongMessageRecord* sent = nullptr;
    try {
        auto record = std::make_unique<LongMessageRecord>();
        record->bytes.assign(bytes, bytes + length);
        sent = record.get();
        {
            std::lock_guard lock(m_queueLock);
            m_releaseQueue.push_back(std::move(record));
        }
        m_device->SendLong(sent->bytes.data(), sent->bytes.size());
    } catch (const std::exception&) {
        LogError("MIDI long message send");
        // A refused message is never reported done: its record goes at once.
        std::lock_guard lock(m_queueLock);
        std::erase_if(m_releaseQueue, [sent](const auto& record) { return record.get() == sent; });
        throw std::runtime_error(TrUtf8("CMidiOutputWorker", kSendError));
    }
}

size_t CMidiOutputWorker::PendingRecords() const
{
    std::lock_guard lock(m_queueLock);
    return m_releaseQueue.size();
}

void CMidiOutputWorker::RunWorker()
{
    while (IsOpen()) {
        m_wake.Wait();
        if (!IsOpen())
            return;
        // Done reports that come close together wake the thread once: release one record for
        // each of them.
        for (size_t done = m_doneReports.exchange(0, std::memory_order_acq_rel); done > 0; --done)
            ReleaseOne();
    }
}

void CMidiOutputWorker::ReleaseOne()
{
    std::lock_guard lock(m_queueLock);
    if (!m_releaseQueue.empty())
        m_releaseQueue.pop_front();
}

void CMidiOutputWorker::ReleaseAll()
{
    std::lock_guard lock(m_queueLock);
    m_releaseQueue.clear();
}

} // namespace linlangok
