#include "platform/mixer/AlsaMixer.h"

#include "platform/mixer/AlsaElementMap.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

namespace linlangok {
namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) { }

// The element functions of one side, playback or capture.
struct ElementSide {
    int (*getVolume)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, long*);
    int (*setVolume)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, long);
    int (*setVolumeAll)(snd_mixer_elem_t*, long);
    int (*getSwitch)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, int*);
    int (*setSwitch)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, int);
    int (*setSwitchAll)(snd_mixer_elem_t*, int);
};

const ElementSide& Side(bool capture)
{
    static constexpr ElementSide kPlayback {snd_mixer_selem_get_playback_volume, snd_mixer_selem_set_playback_volume,
        snd_mixer_selem_set_playback_volume_all, snd_mixer_selem_get_playback_switch,
        snd_mixer_selem_set_playback_switch, snd_mixer_selem_set_playback_switch_all};
    static constexpr ElementSide kCapture {snd_mixer_selem_get_capture_volume, snd_mixer_selem_set_capture_volume,
        snd_mixer_selem_set_capture_volume_all, snd_mixer_selem_get_capture_switch, snd_mixer_selem_set_capture_switch,
        snd_mixer_selem_set_capture_switch_all};
    return capture ? kCapture : kPlayback;
}

snd_mixer_selem_channel_id_t ChannelId(std::uint32_t channel)
{
    return channel == 0 ? SND_MIXER_SCHN_FRONT_LEFT : SND_MIXER_SCHN_FRONT_RIGHT;
}

struct MixerHandleCloser {
    void operator()(snd_mixer_t* handle) const { snd_mixer_close(handle); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerHandleCloser>;

// Opens and loads a simple mixer by name; nullptr when that fails.
MixerHandle LoadMixer(const std::string& name)
{
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0)
        return nullptr;
    MixerHandle handle(raw);
    if (snd_mixer_attach(raw, name.c_str()) < 0 || snd_mixer_selem_register(raw, nullptr, nullptr) < 0
        || snd_mixer_load(raw) < 0)
        return nullptr;
    return handle;
}

AlsaElementSide DescribeSide(snd_mixer_elem_t* element, bool capture)
{
    AlsaElementSide side;
    side.volume = capture ? snd_mixer_selem_has_capture_volume(element) : snd_mixer_selem_has_playback_volume(element);
    side.volumeJoined = capture ? snd_mixer_selem_has_capture_volume_joined(element)
                                : snd_mixer_selem_has_playback_volume_joined(element);
    side.hasSwitch
        = capture ? snd_mixer_selem_has_capture_switch(element) : snd_mixer_selem_has_playback_switch(element);
    side.switchJoined = capture ? snd_mixer_selem_has_capture_switch_joined(element)
                                : snd_mixer_selem_has_playback_switch_joined(element);
    side.mono = capture ? snd_mixer_selem_is_capture_mono(element) : snd_mixer_selem_is_playback_mono(element);
    if (side.volume) {
        if (capture)
            snd_mixer_selem_get_capture_volume_range(element, &side.minimum, &side.maximum);
        else
            snd_mixer_selem_get_playback_volume_range(element, &side.minimum, &side.maximum);
    }
    return side;
}

AlsaElementDescription Describe(snd_mixer_elem_t* element)
{
    AlsaElementDescription description;
    description.name = snd_mixer_selem_get_name(element);
    description.index = snd_mixer_selem_get_index(element);
    description.playback = DescribeSide(element, false);
    description.capture = DescribeSide(element, true);
    if (snd_mixer_selem_is_enumerated(element) && snd_mixer_selem_is_enum_capture(element)) {
        const int items = snd_mixer_selem_get_enum_items(element);
        for (int item = 0; item < items; ++item) {
            char name[128] = {};
            snd_mixer_selem_get_enum_item_name(element, item, sizeof name - 1, name);
            description.enumItems.emplace_back(name);
        }
    }
    return description;
}

class CAlsaMixer final : public CLayoutMixer {
public:
    CAlsaMixer(MixerHandle handle, IMixerListener* listener)
        : m_handle(std::move(handle))
        , m_listener(listener)
    {
        std::vector<AlsaElementDescription> descriptions;
        for (snd_mixer_elem_t* element = snd_mixer_first_elem(m_handle.get()); element;
             element = snd_mixer_elem_next(element)) {
            if (!snd_mixer_selem_is_active(element))
                continue;
            m_elements.push_back(element);
            descriptions.push_back(Describe(element));
        }
        m_map = MapAlsaElements(descriptions);
        for (const auto& [controlId, access] : m_map.controls) {
            for (const std::size_t index : access.elements) {
                snd_mixer_elem_set_callback(m_elements[index], ElementChanged);
                snd_mixer_elem_set_callback_private(m_elements[index], this);
            }
        }
    }

    // Closing the handle removes every element, which would call OnElementChanged on members
    // already destroyed: the callbacks go first, then the handle, while the maps still live.
    ~CAlsaMixer() override
    {
        for (snd_mixer_elem_t* element : m_elements) {
            if (element)
                snd_mixer_elem_set_callback(element, nullptr);
        }
        m_handle.reset();
    }

    bool ReadValues(
        std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::span<std::int32_t> values) override
    {
        const AlsaControlAccess* access = Access(controlId, channels, items, values.size());
        if (!access)
            return false;
        if (access->kind == EAlsaValueKind::EnumItems) {
            unsigned selected = 0;
            if (snd_mixer_selem_get_enum_item(Element(*access, 0), SND_MIXER_SCHN_FRONT_LEFT, &selected) < 0)
                return false;
            for (std::uint32_t item = 0; item < items; ++item)
                values[item] = item == selected ? 1 : 0;
            return true;
        }
        for (std::uint32_t item = 0; item < items; ++item) {
            for (std::uint32_t channel = 0; channel < channels; ++channel) {
                const auto value = ReadValue(*access, item, channel);
                if (!value)
                    return false;
                values[channel * items + item] = *value;
            }
        }
        return true;
    }

    bool WriteValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items,
        std::span<const std::int32_t> values) override
    {
        const AlsaControlAccess* access = Access(controlId, channels, items, values.size());
        if (!access)
            return false;
        if (access->kind == EAlsaValueKind::EnumItems)
            return WriteEnumItem(*access, values);
        bool written = true;
        for (std::uint32_t item = 0; item < items; ++item) {
            for (std::uint32_t channel = 0; channel < channels; ++channel)
                written &= WriteValue(*access, item, channels == 1 ? -1 : int(channel), values[channel * items + item]);
        }
        return written;
    }

    std::vector<MixerPollDescriptor> PollDescriptors() const override
    {
        const int count = snd_mixer_poll_descriptors_count(m_handle.get());
        std::vector<pollfd> descriptors(std::max(count, 0));
        const int filled = snd_mixer_poll_descriptors(m_handle.get(), descriptors.data(), descriptors.size());
        std::vector<MixerPollDescriptor> result;
        for (int i = 0; i < filled; ++i)
            result.push_back({descriptors[i].fd, descriptors[i].events});
        return result;
    }

    void HandleEvents() override
    {
        snd_mixer_handle_events(m_handle.get());
        // Delivered after ALSA's handling, so a listener may read values or even close the mixer.
        const auto changed = std::exchange(m_changed, {});
        if (!m_listener)
            return;
        for (const std::uint32_t controlId : changed)
            m_listener->OnMixerControlChange(controlId);
    }

private:
    const CMixerLayout& Layout() const override { return m_map.layout; }

    static int ElementChanged(snd_mixer_elem_t* element, unsigned int mask)
    {
        auto* mixer = static_cast<CAlsaMixer*>(snd_mixer_elem_get_callback_private(element));
        if (mixer)
            mixer->OnElementChanged(element, mask);
        return 0;
    }

    void OnElementChanged(snd_mixer_elem_t* element, unsigned int mask)
    {
        const auto found = std::find(m_elements.begin(), m_elements.end(), element);
        if (found == m_elements.end())
            return;
        const std::size_t index = found - m_elements.begin();
        if (mask == SND_CTL_EVENT_MASK_REMOVE)
            *found = nullptr; // the card is gone: its controls fail from now on
        for (const auto& [controlId, access] : m_map.controls) {
            if (std::find(access.elements.begin(), access.elements.end(), index) != access.elements.end())
                m_changed.insert(controlId);
        }
    }

    const AlsaControlAccess* Access(
        std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::size_t count) const
    {
        const auto found = m_map.controls.find(controlId);
        if (found == m_map.controls.end() || !m_map.layout.FitsValues(controlId, channels, items, count))
            return nullptr;
        for (const std::size_t index : found->second.elements) {
            if (!m_elements[index])
                return nullptr;
        }
        return &found->second;
    }

    snd_mixer_elem_t* Element(const AlsaControlAccess& access, std::uint32_t item) const
    {
        return m_elements[access.elements[access.kind == EAlsaValueKind::SwitchItems ? item : 0]];
    }

    std::optional<std::int32_t> ReadValue(const AlsaControlAccess& access, std::uint32_t item, std::uint32_t channel)
    {
        snd_mixer_elem_t* element = Element(access, item);
        const auto id = ChannelId(channel);
        long volume = 0;
        int on = 0;
        switch (access.kind) {
        case EAlsaValueKind::Volume:
        case EAlsaValueKind::VolumeAsSwitch: {
            if (Side(access.capture).getVolume(element, id, &volume) < 0)
                return std::nullopt;
            if (access.kind == EAlsaValueKind::VolumeAsSwitch)
                return volume > access.minimum ? 1 : 0;
            return ScaledVolume(volume, access.minimum, access.maximum);
        }
        case EAlsaValueKind::Switch:
        case EAlsaValueKind::InvertedSwitch:
        case EAlsaValueKind::SwitchItems: {
            if (Side(access.capture).getSwitch(element, id, &on) < 0)
                return std::nullopt;
            return (on != 0) != (access.kind == EAlsaValueKind::InvertedSwitch) ? 1 : 0;
        }
        case EAlsaValueKind::EnumItems:
            break;
        }
        return std::nullopt;
    }

    // Writes one value; channel −1 writes every channel of the element.
    bool WriteValue(const AlsaControlAccess& access, std::uint32_t item, int channel, std::int32_t value)
    {
        snd_mixer_elem_t* element = Element(access, item);
        const auto id = ChannelId(channel < 0 ? 0 : channel);
        const ElementSide& side = Side(access.capture);
        int result = -1;
        switch (access.kind) {
        case EAlsaValueKind::Volume:
        case EAlsaValueKind::VolumeAsSwitch: {
            const long volume = access.kind == EAlsaValueKind::Volume
                ? HardwareVolume(value, access.minimum, access.maximum)
                : (value != 0 ? access.maximum : access.minimum);
            result = channel < 0 ? side.setVolumeAll(element, volume) : side.setVolume(element, id, volume);
            break;
        }
        case EAlsaValueKind::Switch:
        case EAlsaValueKind::InvertedSwitch:
        case EAlsaValueKind::SwitchItems: {
            const int on = (value != 0) != (access.kind == EAlsaValueKind::InvertedSwitch) ? 1 : 0;
            result = channel < 0 ? side.setSwitchAll(element, on) : side.setSwitch(element, id, on);
            break;
        }
        case EAlsaValueKind::EnumItems:
            break;
        }
        return result >= 0;
    }

    // A multiplexer takes its first selected item, in every channel of the element.
    bool WriteEnumItem(const AlsaControlAccess& access, std::span<const std::int32_t> values)
    {
        const auto selected = std::find_if(values.begin(), values.end(), [](std::int32_t value) { return value != 0; });
        if (selected == values.end())
            return false;
        snd_mixer_elem_t* element = Element(access, 0);
        const auto item = static_cast<unsigned>(selected - values.begin());
        bool written = false;
        unsigned current = 0;
        for (int channel = 0; channel <= SND_MIXER_SCHN_LAST; ++channel) {
            const auto id = static_cast<snd_mixer_selem_channel_id_t>(channel);
            if (snd_mixer_selem_get_enum_item(element, id, &current) < 0)
                break;
            written = snd_mixer_selem_set_enum_item(element, id, item) >= 0 || written;
        }
        return written;
    }

    MixerHandle m_handle;
    IMixerListener* m_listener;
    std::vector<snd_mixer_elem_t*> m_elements; // nullptr once removed
    AlsaMixerMap m_map;
    std::set<std::uint32_t> m_changed;
};

} // namespace

CAlsaMixerSystem::CAlsaMixerSystem()
{
    static std::once_flag silenced;
    std::call_once(silenced, [] { snd_lib_error_set_handler(SilentAlsaError); });
}

std::vector<std::string> CAlsaMixerSystem::MixerNames() const
{
    std::vector<std::string> names;
    if (LoadMixer("default"))
        names.push_back("default");
    for (int card = -1; snd_card_next(&card) >= 0 && card >= 0;)
        names.push_back("hw:" + std::to_string(card));
    return names;
}

std::uint32_t CAlsaMixerSystem::MixerCount()
{
    return static_cast<std::uint32_t>(MixerNames().size());
}

std::unique_ptr<IMixer> CAlsaMixerSystem::Open(std::uint32_t mixer, IMixerListener* listener)
{
    const auto names = MixerNames();
    if (mixer >= names.size())
        return nullptr;
    auto handle = LoadMixer(names[mixer]);
    if (!handle)
        return nullptr;
    return std::make_unique<CAlsaMixer>(std::move(handle), listener);
}

std::unique_ptr<IMixer> CAlsaMixerSystem::OpenForWaveInput(std::uint32_t, IMixerListener* listener)
{
    auto handle = LoadMixer("default");
    if (!handle)
        return nullptr;
    return std::make_unique<CAlsaMixer>(std::move(handle), listener);
}

} // namespace linlangok
