#pragma once

#include <cstdint>

namespace linlangok {

// Where packed short MIDI messages go: status in bits 0-7, first data byte in bits 8-15, second
// data byte in bits 16-23. CMidiOutputWorker is the one in the program; tests record.
class IMidiShortMessageSink {
public:
    virtual ~IMidiShortMessageSink() = default;

    // Sends one message. Sending while the output is closed does nothing; a device failure raises
    // std::runtime_error with the output's message text.
    virtual void SendShort(std::uint32_t packedMessage) = 0;
};

} // namespace linlangok
