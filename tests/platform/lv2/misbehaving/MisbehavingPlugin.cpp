// A mono LV2 effect that misbehaves on request, for the tests of the effect host: its control
// "mode" (port 2) is 0 to pass the voice, 1 to output NaN, 2 to hang in run, 3 to crash.
#include <lv2/core/lv2.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>

namespace {

struct Ports {
    float* at[3] = {}; // in, out, mode
};

void Run(LV2_Handle handle, uint32_t frames)
{
    float* const* ports = static_cast<Ports*>(handle)->at;
    const int mode = int(*ports[2]);
    while (mode == 2)
        pause();
    if (mode == 3)
        std::abort();
    for (uint32_t frame = 0; frame < frames; ++frame)
        ports[1][frame] = mode == 1 ? NAN : ports[0][frame];
}

const LV2_Descriptor kDescriptor = {"urn:linlangok:test:misbehaving",
    [](const LV2_Descriptor*, double, const char*, const LV2_Feature* const*) -> LV2_Handle { return new Ports {}; },
    [](LV2_Handle handle, uint32_t port, void* data) {
        static_cast<Ports*>(handle)->at[port % 3] = static_cast<float*>(data);
    },
    nullptr, Run, nullptr, [](LV2_Handle handle) { delete static_cast<Ports*>(handle); }, nullptr};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
