#include "tests/support/CaptureMidiOutput.h"

#include <stdexcept>

namespace linlangok {

class CCaptureMidiOutputList::CConnection final : public IMidiOutputConnection {
public:
    explicit CConnection(CCaptureMidiOutputList& owner)
        : m_owner(owner)
    {
    }

    ~CConnection() override
    {
        std::lock_guard lock(m_owner.m_lock);
        m_owner.m_openDevice = -1;
        m_owner.m_longMessageDone = nullptr;
        m_owner.m_heldLongMessages = 0;
    }

    void SendShort(std::uint32_t packedMessage) override { m_owner.Record(packedMessage, nullptr, 0); }
    void SendShortAt(std::uint32_t packedMessage, std::chrono::steady_clock::time_point due) override
    {
        m_owner.Record(packedMessage, nullptr, 0, due);
    }

    void SendLong(const std::uint8_t* bytes, size_t length) override
    {
        m_owner.Record(0, bytes, length);
        std::function<void()> done;
        {
            std::lock_guard lock(m_owner.m_lock);
            if (m_owner.m_holdLongMessageDone)
                ++m_owner.m_heldLongMessages;
            else
                done = m_owner.m_longMessageDone;
        }
        if (done)
            done();
    }

private:
    CCaptureMidiOutputList& m_owner;
};

CCaptureMidiOutputList::CCaptureMidiOutputList(std::uint32_t deviceCount)
    : m_deviceCount(deviceCount)
{
}

std::string CCaptureMidiOutputList::DeviceName(std::uint32_t device)
{
    return device < m_deviceCount ? "capture " + std::to_string(device) : std::string();
}

std::unique_ptr<IMidiOutputConnection> CCaptureMidiOutputList::Open(
    std::uint32_t device, std::function<void()> longMessageDone)
{
    std::lock_guard lock(m_lock);
    if (m_openFails || device >= m_deviceCount || m_openDevice >= 0)
        throw std::runtime_error("cannot open capture device " + std::to_string(device));
    m_openDevice = static_cast<int>(device);
    ++m_openCount;
    m_longMessageDone = std::move(longMessageDone);
    return std::make_unique<CConnection>(*this);
}

void CCaptureMidiOutputList::Reserve(size_t messages)
{
    std::lock_guard lock(m_lock);
    m_messages.reserve(messages);
}

void CCaptureMidiOutputList::SetSendFails(bool fails)
{
    std::lock_guard lock(m_lock);
    m_sendFails = fails;
}

void CCaptureMidiOutputList::Record(std::uint32_t message, const std::uint8_t* bytes, size_t length,
    std::optional<std::chrono::steady_clock::time_point> due)
{
    CapturedMidiMessage captured;
    captured.time = std::chrono::steady_clock::now();
    captured.due = due;
    captured.tick = m_tickSource ? m_tickSource() : 0;
    captured.message = message;
    std::lock_guard lock(m_lock);
    if (m_sendFails)
        throw std::runtime_error("capture device send failed");
    captured.bytes.assign(bytes, bytes + length);
    m_messages.push_back(std::move(captured));
}

size_t CCaptureMidiOutputList::CompleteLongMessages()
{
    std::function<void()> done;
    size_t held = 0;
    {
        std::lock_guard lock(m_lock);
        done = m_longMessageDone;
        held = m_heldLongMessages;
        m_heldLongMessages = 0;
    }
    for (size_t i = 0; done && i < held; ++i)
        done();
    return held;
}

std::vector<CapturedMidiMessage> CCaptureMidiOutputList::Messages() const
{
    std::lock_guard lock(m_lock);
    return m_messages;
}

std::vector<std::uint32_t> CCaptureMidiOutputList::ShortMessages() const
{
    std::lock_guard lock(m_lock);
    std::vector<std::uint32_t> messages;
    for (const auto& captured : m_messages) {
        if (captured.bytes.empty())
            messages.push_back(captured.message);
    }
    return messages;
}

void CCaptureMidiOutputList::Clear()
{
    std::lock_guard lock(m_lock);
    m_messages.clear();
}

int CCaptureMidiOutputList::OpenDevice() const
{
    std::lock_guard lock(m_lock);
    return m_openDevice;
}

int CCaptureMidiOutputList::OpenCount() const
{
    std::lock_guard lock(m_lock);
    return m_openCount;
}

} // namespace linlangok
