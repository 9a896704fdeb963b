#include "core/recording/CaptureStream.h"

#include <algorithm>

namespace linlangok {

CCaptureStream::CCaptureStream(std::unique_ptr<ICaptureDevice> device)
    : m_device(std::move(device))
{
}

CCaptureStream::~CCaptureStream()
{
    m_device->Stop();
}

bool CCaptureStream::Attach(ICaptureReceiver& receiver)
{
    std::lock_guard attach(m_attachLock);
    if (m_receivers.empty()
        && !m_device->Start(
            [this](const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured) {
                Deliver(samples, frames, captured);
            }))
        return false;
    std::lock_guard delivery(m_deliveryLock);
    m_receivers.push_back(&receiver);
    return true;
}

void CCaptureStream::Detach(ICaptureReceiver& receiver)
{
    std::lock_guard attach(m_attachLock);
    {
        std::lock_guard delivery(m_deliveryLock);
        const auto found = std::find(m_receivers.begin(), m_receivers.end(), &receiver);
        if (found == m_receivers.end())
            return;
        m_receivers.erase(found);
        if (!m_receivers.empty())
            return;
    }
    m_device->Stop();
}

void CCaptureStream::Deliver(const std::int16_t* samples, size_t frames, std::chrono::steady_clock::time_point captured)
{
    std::lock_guard delivery(m_deliveryLock);
    for (ICaptureReceiver* receiver : m_receivers)
        receiver->OnCapture(samples, frames, captured);
}

} // namespace linlangok
