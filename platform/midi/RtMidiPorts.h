#pragma once

#include "core/midiplay/MidiOutputDevice.h"

#include <memory>
#include <string>

class RtMidiOut;

namespace linlangok {

// The system's MIDI output ports through RtMidi on the ALSA sequencer. A machine without the
// sequencer (no /dev/snd) has no ports; nothing is printed. UI thread.
class CRtMidiPorts {
public:
    CRtMidiPorts();
    ~CRtMidiPorts();

    // Ports available now; 0 without a sequencer.
    std::uint32_t Count();
    std::string Name(std::uint32_t port);
    // Raises std::runtime_error when the port cannot be opened. Long messages are sent at once
    // and reported done before SendLong returns.
    std::unique_ptr<IMidiOutputConnection> Open(std::uint32_t port, std::function<void()> longMessageDone);

private:
    // The client that lists the ports, made on first use; null while there is no sequencer.
    RtMidiOut* Enumerator();

    bool m_enumeratorFailed = false; // set by the client's error callback; not read
    std::unique_ptr<RtMidiOut> m_enumerator;
};

} // namespace linlangok
