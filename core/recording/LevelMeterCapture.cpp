#include "core/recording/LevelMeterCapture.h"

#include "common/Text.h"

#include <cstdio>
#include <utility>

namespace linlangok {

CInputLevelMeterCapture::CInputLevelMeterCapture(
    IWaveInSystem& system, IUserPrompts& prompts, std::function<void()> changed)
    : m_system(system)
    , m_prompts(prompts)
    , m_changed(std::move(changed))
{
}

CInputLevelMeterCapture::~CInputLevelMeterCapture()
{
    Stop();
}

bool CInputLevelMeterCapture::IsRunning() const
{
    std::lock_guard lock(m_runningLock);
    return m_running;
}

void CInputLevelMeterCapture::Start()
{
    if (IsRunning())
        return;
    if (m_system.Open(kWaveMapper, *this, m_handle) != kWaveInOk) {
        m_handle.reset();
        return ShowFailure(u"Can't open WAVE In Device!");
    }
    m_memory.reset(new (std::nothrow) std::uint8_t[2 * kBufferBytes]);
    if (!m_memory)
        return Fail("ERROR: Can't allocate memory for WAVE buffer!\n", 0, false);
    m_headers[0] = {m_memory.get(), kBufferBytes};
    m_headers[1] = {m_memory.get() + kBufferBytes, kBufferBytes};
    if (const std::uint32_t code = m_handle->PrepareBuffer(m_headers[0]))
        return Fail("Error preparing WAVEHDR 1! -- %08X\n", code, false);
    if (const std::uint32_t code = m_handle->PrepareBuffer(m_headers[1]))
        return Fail("Error preparing WAVEHDR 2! -- %08X\n", code, false);
    {
        // Running before the buffers go in, so the first ones to come back are queued again.
        std::lock_guard lock(m_runningLock);
        m_running = true;
    }
    if (const std::uint32_t code = m_handle->AddBuffer(m_headers[0]))
        return Fail("Error queueing WAVEHDR 1! -- %08X\n", code, false);
    if (const std::uint32_t code = m_handle->AddBuffer(m_headers[1]))
        return Fail("Error queueing WAVEHDR 2! -- %08X\n", code, true);
    if (const std::uint32_t code = m_handle->Start())
        return Fail("Error starting record! -- %08X\n", code, true);
}

void CInputLevelMeterCapture::Stop()
{
    {
        std::lock_guard lock(m_runningLock);
        if (!m_running)
            return;
        m_running = false;
    }
    m_handle->Reset();
    m_handle->UnprepareBuffer(m_headers[0]);
    m_handle->UnprepareBuffer(m_headers[1]);
    m_handle->Close();
    m_handle.reset();
    m_memory.reset();
}

void CInputLevelMeterCapture::Fail(const char* format, std::uint32_t code, bool queued)
{
    char text[96];
    std::snprintf(text, sizeof text, format, code);
    {
        std::lock_guard lock(m_runningLock);
        m_running = false;
    }
    if (queued)
        m_handle->Reset();
    for (WaveInBuffer& header : m_headers)
        m_handle->UnprepareBuffer(header);
    m_handle->Close();
    m_handle.reset();
    m_memory.reset();
    ShowFailure(Utf8ToUtf16(text));
}

void CInputLevelMeterCapture::ShowFailure(std::u16string_view text)
{
    // A machine without a usable input fails at every Play and Record: the meter stays dark, and
    // the user is told once.
    if (std::exchange(m_failureShown, true))
        return;
    m_prompts.ShowError(u"", text);
}

void CInputLevelMeterCapture::OnWaveInData(WaveInBuffer& buffer)
{
    const size_t samples = buffer.bytesRecorded / 2;
    if (samples > 0) {
        const MeterLevels levels = MeasureLevels(reinterpret_cast<const std::int16_t*>(buffer.data), samples);
        const MeterLevels held = HoldLevels({m_heldLeft.load(), m_heldRight.load()}, levels);
        m_left = levels.left;
        m_right = levels.right;
        m_heldLeft = held.left;
        m_heldRight = held.right;
        if (m_changed)
            m_changed();
    }
    std::lock_guard lock(m_runningLock);
    if (m_running)
        m_handle->AddBuffer(buffer);
}

MeterLevels CInputLevelMeterCapture::Levels() const
{
    return {m_left.load(), m_right.load()};
}

MeterLevels CInputLevelMeterCapture::HeldLevels() const
{
    return {m_heldLeft.load(), m_heldRight.load()};
}

} // namespace linlangok
