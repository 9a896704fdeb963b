#include "platform/audio/AudioOutputDevices.h"
#include "tools/Commands.h"

#include <iostream>
#include <stdexcept>

namespace linlangok {

IAudioOutput* OpenSharedOutputOrReport()
{
    try {
        return &SharedAudioOutput();
    } catch (const std::runtime_error& error) {
        std::cerr << error.what() << '\n';
        return nullptr;
    }
}

} // namespace linlangok
