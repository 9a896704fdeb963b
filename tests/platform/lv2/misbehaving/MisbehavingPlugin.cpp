// A mono LV2 effect that misbehaves on request, for the tests of the effect host: its control
// "mode" is 0 to pass the voice, 1 to output NaN, 2 to hang in run, 3 to crash.
#include <lv2/core/lv2.h>

#include <unistd.h>

#include <cstdlib>
#include <limits>

namespace {

struct Misbehaving {
    const float* in = nullptr;
    float* out = nullptr;
    const float* mode = nullptr;
};

LV2_Handle Instantiate(const LV2_Descriptor*, double, const char*, const LV2_Feature* const*)
{
    return new Misbehaving;
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data)
{
    auto* plugin = static_cast<Misbehaving*>(handle);
    if (port == 0)
        plugin->in = static_cast<const float*>(data);
    else if (port == 1)
        plugin->out = static_cast<float*>(data);
    else if (port == 2)
        plugin->mode = static_cast<const float*>(data);
}

void Run(LV2_Handle handle, uint32_t frames)
{
    const auto* plugin = static_cast<Misbehaving*>(handle);
    const int mode = int(*plugin->mode);
    if (mode == 2)
        for (;;)
            pause();
    if (mode == 3)
        std::abort();
    for (uint32_t frame = 0; frame < frames; ++frame)
        plugin->out[frame] = mode == 1 ? std::numeric_limits<float>::quiet_NaN() : plugin->in[frame];
}

void Cleanup(LV2_Handle handle)
{
    delete static_cast<Misbehaving*>(handle);
}

const LV2_Descriptor kDescriptor
    = {"urn:linlangok:test:misbehaving", Instantiate, ConnectPort, nullptr, Run, nullptr, Cleanup, nullptr};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
