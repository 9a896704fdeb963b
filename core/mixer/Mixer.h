#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The sound card's mixer as the bindings see it: destination lines (speakers, wave-in), each with
// source lines; each line with controls found by type; control values read and written as
// channels × items 32-bit numbers; a notification when a control changes, whoever changed it.
// Everything here runs on the user-interface thread.
namespace linlangok {

// Component types of lines.
inline constexpr std::uint32_t kMixerDestinationSpeakers = 4;
inline constexpr std::uint32_t kMixerDestinationWaveIn = 7;
inline constexpr std::uint32_t kMixerSourceUndefined = 0x1000;
inline constexpr std::uint32_t kMixerSourceLine = 0x1002;
inline constexpr std::uint32_t kMixerSourceMicrophone = 0x1003;
inline constexpr std::uint32_t kMixerSourceSynthesizer = 0x1004;
inline constexpr std::uint32_t kMixerSourceCompactDisc = 0x1005;
inline constexpr std::uint32_t kMixerSourceTelephone = 0x1006;
inline constexpr std::uint32_t kMixerSourcePcSpeaker = 0x1007;
inline constexpr std::uint32_t kMixerSourceWaveOut = 0x1008;
inline constexpr std::uint32_t kMixerSourceAuxiliary = 0x1009;
inline constexpr std::uint32_t kMixerSourceAnalog = 0x100A;
inline constexpr std::uint32_t kMixerNoSource = 0x100B; // a binding to the destination line itself

// Control types. The top four bits are the class, bits 16-23 the unit of the values.
inline constexpr std::uint32_t kMixerControlVolume = 0x50030001;
inline constexpr std::uint32_t kMixerControlOnOff = 0x20010001;
inline constexpr std::uint32_t kMixerControlMute = 0x20010002;
inline constexpr std::uint32_t kMixerControlMixer = 0x71010001; // recording sources, several at once
inline constexpr std::uint32_t kMixerControlMultiplexer = 0x70010001; // recording source, one at a time

inline constexpr std::uint32_t kMixerClassSwitch = 0x2;
inline constexpr std::uint32_t kMixerClassFader = 0x5;
inline constexpr std::uint32_t kMixerClassList = 0x7;
constexpr std::uint32_t MixerControlClass(std::uint32_t type)
{
    return type >> 28;
}
// 1 boolean, 2 signed, 3 unsigned, 4 decibels, 5 percent; anything else the bindings refuse.
constexpr std::uint32_t MixerControlUnit(std::uint32_t type)
{
    return (type >> 16) & 0xFF;
}

// Control flags.
inline constexpr std::uint32_t kMixerControlUniform = 0x1; // one value serves every channel
inline constexpr std::uint32_t kMixerControlMultiple = 0x2; // one value per item

struct MixerLineInfo {
    std::uint32_t lineId = 0;
    std::uint32_t destination = 0; // index of the destination line this line belongs to
    std::uint32_t componentType = 0;
    std::uint32_t channels = 0;
    std::uint32_t connections = 0; // source lines of a destination line
    std::uint32_t controls = 0;
    std::u16string name {};
};

struct MixerControlInfo {
    std::uint32_t controlId = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    std::uint32_t items = 0; // multiple-item controls
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::uint32_t steps = 0;
    std::u16string name {};
};

// One item of a list control: the source line it stands for and its name.
struct MixerListItem {
    std::uint32_t lineId = 0;
    std::u16string name {};
};

// A file descriptor to watch for `events` (poll(2) bits) while a mixer is open.
struct MixerPollDescriptor {
    int fd = -1;
    short events = 0;
};

class IMixerListener {
public:
    // A control of the mixer this listener opened has changed.
    virtual void OnMixerControlChange(std::uint32_t controlId) = 0;

protected:
    ~IMixerListener() = default;
};

// One open mixer. Destroying it closes it.
class IMixer {
public:
    virtual ~IMixer() = default;

    virtual std::uint32_t DestinationCount() const = 0;
    virtual std::optional<MixerLineInfo> Destination(std::uint32_t index) const = 0;
    virtual std::optional<MixerLineInfo> Source(std::uint32_t destination, std::uint32_t index) const = 0;
    // The first destination, else the first source line, of that component type.
    virtual std::optional<MixerLineInfo> LineByComponentType(std::uint32_t componentType) const = 0;
    virtual std::optional<MixerLineInfo> LineById(std::uint32_t lineId) const = 0;
    virtual std::optional<MixerControlInfo> ControlByType(std::uint32_t lineId, std::uint32_t controlType) const = 0;
    // The items of a multiple-item control, in item order.
    virtual std::optional<std::vector<MixerListItem>> ListTexts(std::uint32_t controlId) const = 0;

    // Values as channels × items numbers, channel by channel (values[channel * items + item]).
    // Channels may be fewer than the control has; writing one channel sets them all. False when
    // the control does not exist, the shape does not fit or the device refused.
    virtual bool ReadValues(
        std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::span<std::int32_t> values)
        = 0;
    virtual bool WriteValues(
        std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::span<const std::int32_t> values)
        = 0;

    // The descriptors to watch; when one is ready, HandleEvents calls the listener given at
    // opening once for each control that changed. A mixer without descriptors delivers its
    // notifications whenever HandleEvents is called.
    virtual std::vector<MixerPollDescriptor> PollDescriptors() const = 0;
    virtual void HandleEvents() = 0;
};

// The platform's mixers.
class IMixerSystem {
public:
    virtual ~IMixerSystem() = default;

    virtual std::uint32_t MixerCount() = 0;
    // Opens a mixer by number; nullptr when it cannot be opened. `listener` (may be null) gets its
    // change notifications and must outlive the returned mixer.
    virtual std::unique_ptr<IMixer> Open(std::uint32_t mixer, IMixerListener* listener) = 0;
    // Opens the mixer that the wave-input device belongs to.
    virtual std::unique_ptr<IMixer> OpenForWaveInput(std::uint32_t device, IMixerListener* listener) = 0;
};

} // namespace linlangok
