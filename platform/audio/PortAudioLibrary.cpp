#include "platform/audio/PortAudioLibrary.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

namespace linlangok {
namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) { }

int Channels(const PaDeviceInfo& info, bool input)
{
    return input ? info.maxInputChannels : info.maxOutputChannels;
}

} // namespace

bool EnsurePortAudio()
{
    // Never terminated: streams held by static objects may still close during exit.
    static const bool initialised = [] {
        snd_lib_error_set_handler(IgnoreAlsaError);
        return Pa_Initialize() == paNoError;
    }();
    return initialised;
}

std::vector<PortAudioDevice> PortAudioDevices(bool input)
{
    std::vector<PortAudioDevice> devices;
    if (!EnsurePortAudio())
        return devices;
    const int count = Pa_GetDeviceCount();
    for (int index = 0; index < count; ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info && Channels(*info, input) >= 2)
            devices.push_back({index, info->name});
    }
    return devices;
}

std::optional<PortAudioDevice> FindPortAudioDevice(const std::string& selection, bool input)
{
    if (!EnsurePortAudio())
        return std::nullopt;
    if (selection.empty() || selection == "default") {
        const int index = input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
        const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
        if (!info || Channels(*info, input) < 2)
            return std::nullopt;
        return PortAudioDevice {index, info->name};
    }
    for (auto& device : PortAudioDevices(input)) {
        if (device.name == selection)
            return device;
    }
    return std::nullopt;
}

} // namespace linlangok
