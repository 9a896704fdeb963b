#pragma once

#include "core/mixer/MixerLayout.h"

#include <map>
#include <string>
#include <string_view>

// How ALSA's simple mixer elements stand in for the mixer's lines and controls:
//   speakers  ← "Master" (volume, mute = playback switch off); its sources are the playback
//               elements named for a source: "PCM" (Wav), "Synth" (MIDI), "Mic", "Line", "CD", …
//   wave-in   ← "Capture" (volume, mute = capture switch off); its sources are the items of the
//               "Capture Source" / "Input Source" element (the multiplexer) and the capture
//               elements named for a source (their capture volume; their capture switches form
//               the mixer control); "Mic Boost" is the on/off control of its microphone line.
// Volumes are scaled to 0 … 65535 with one slider step per hardware step. AC97's "Mix" and
// "Mix Mono" sources are named "Stereo Mix" and "Mono Mix", as the recording source selector and
// the recorder's stereo-mix slider look for them. Kept free of ALSA types so it can be tested
// without a sound card.
namespace linlangok {

// What the backend reads of one side (playback or capture) of a simple mixer element.
struct AlsaElementSide {
    bool volume = false;
    bool volumeJoined = false; // one volume for every channel
    bool hasSwitch = false;
    bool switchJoined = false;
    bool mono = false;
    long minimum = 0; // volume range
    long maximum = 0;
};

struct AlsaElementDescription {
    std::string name;
    unsigned index = 0;
    AlsaElementSide playback;
    AlsaElementSide capture;
    std::vector<std::string> enumItems {}; // a capture enumeration's item names

    const AlsaElementSide& Side(bool captureSide) const { return captureSide ? capture : playback; }
};

// How a control's values are read from and written to its elements.
enum class EAlsaValueKind {
    Volume, // scaled volume per channel
    Switch, // switch per channel
    InvertedSwitch, // mute: 1 when the switch is off
    VolumeAsSwitch, // on/off of a volume-only boost: on at the maximum, off at the minimum
    EnumItems, // multiplexer: item i is 1 when the element's value is i
    SwitchItems, // mixer control: item i is the capture switch of element i
};

struct AlsaControlAccess {
    EAlsaValueKind kind = EAlsaValueKind::Volume;
    bool capture = false; // the element's capture side, else its playback side
    std::vector<std::size_t> elements {}; // indexes into the descriptions; one per item for SwitchItems
    long minimum = 0; // the hardware range of a volume
    long maximum = 0;
};

struct AlsaMixerMap {
    CMixerLayout layout;
    std::map<std::uint32_t, AlsaControlAccess> controls; // by control identifier
};

inline constexpr std::int32_t kAlsaVolumeScale = 65535;

// The component type of a source named so, or 0 when the name is not a source's.
std::uint32_t AlsaSourceType(std::string_view name);

AlsaMixerMap MapAlsaElements(const std::vector<AlsaElementDescription>& elements);

// Hardware volume ↔ 0 … 65535, rounded to the nearest.
std::int32_t ScaledVolume(long raw, long minimum, long maximum);
long HardwareVolume(std::int32_t scaled, long minimum, long maximum);

} // namespace linlangok
