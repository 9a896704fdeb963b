#include "platform/midi/RtMidiPorts.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>

#include <stdexcept>

namespace linlangok {
namespace {

constexpr const char* kClientName = "Linlang Karaoke";

void DiscardAlsaError(const char*, int, const char*, int, const char*, ...) { }

// Errors reach the client through this callback instead of standard error and exceptions; the
// client checks the flag after each call.
void RecordError(RtMidiError::Type type, const std::string&, void* failed)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<bool*>(failed) = true;
}

// RtMidi prints to standard error before it throws when the sequencer cannot be opened, and
// alsa-lib prints its own error too; so the sequencer is tried first with alsa-lib silenced.
bool SequencerAvailable()
{
    snd_lib_error_set_handler(DiscardAlsaError);
    snd_seq_t* sequencer = nullptr;
    if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return false;
    snd_seq_close(sequencer);
    return true;
}

std::unique_ptr<RtMidiOut> CreateClient(bool& failed)
{
    if (!SequencerAvailable())
        return nullptr;
    try {
        auto client = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        client->setErrorCallback(RecordError, &failed);
        return client;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

// Bytes in a short message with this status byte.
size_t ShortMessageLength(std::uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        return status == 0xF2 ? 3 : status == 0xF1 || status == 0xF3 ? 2 : 1;
    default:
        return 3;
    }
}

class CRtMidiConnection final : public IMidiOutputConnection {
public:
    CRtMidiConnection(std::uint32_t port, std::function<void()> longMessageDone)
        : m_longMessageDone(std::move(longMessageDone))
    {
        m_client = CreateClient(m_failed);
        if (!m_client)
            throw std::runtime_error("no ALSA sequencer");
        m_client->openPort(port, kClientName);
        if (m_failed || !m_client->isPortOpen())
            throw std::runtime_error("cannot open MIDI port " + std::to_string(port));
    }

    ~CRtMidiConnection() override { m_client->closePort(); }

    void SendShort(std::uint32_t packedMessage) override
    {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(packedMessage),
            static_cast<std::uint8_t>(packedMessage >> 8), static_cast<std::uint8_t>(packedMessage >> 16)};
        Send(bytes, ShortMessageLength(bytes[0]));
    }

    void SendLong(const std::uint8_t* bytes, size_t length) override
    {
        Send(bytes, length);
        if (m_longMessageDone)
            m_longMessageDone();
    }

private:
    void Send(const std::uint8_t* bytes, size_t length)
    {
        m_client->sendMessage(bytes, length);
        if (m_failed) {
            m_failed = false;
            throw std::runtime_error("the MIDI port refused a message");
        }
    }

    bool m_failed = false;
    std::unique_ptr<RtMidiOut> m_client;
    std::function<void()> m_longMessageDone;
};

} // namespace

CRtMidiPorts::CRtMidiPorts() = default;
CRtMidiPorts::~CRtMidiPorts() = default;

RtMidiOut* CRtMidiPorts::Enumerator()
{
    if (!m_enumerator)
        m_enumerator = CreateClient(m_enumeratorFailed);
    return m_enumerator.get();
}

std::uint32_t CRtMidiPorts::Count()
{
    RtMidiOut* enumerator = Enumerator();
    return enumerator ? enumerator->getPortCount() : 0;
}

std::string CRtMidiPorts::Name(std::uint32_t port)
{
    RtMidiOut* enumerator = Enumerator();
    return enumerator && port < enumerator->getPortCount() ? enumerator->getPortName(port) : std::string();
}

std::unique_ptr<IMidiOutputConnection> CRtMidiPorts::Open(std::uint32_t port, std::function<void()> longMessageDone)
{
    return std::make_unique<CRtMidiConnection>(port, std::move(longMessageDone));
}

} // namespace linlangok
