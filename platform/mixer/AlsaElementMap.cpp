#include "platform/mixer/AlsaElementMap.h"

#include "common/Text.h"

#include <algorithm>
#include <optional>

namespace linlangok {
namespace {

bool IsMicBoost(std::string_view name)
{
    return name.ends_with("Mic Boost");
}

bool IsCaptureSourceList(const AlsaElementDescription& element)
{
    return !element.enumItems.empty() && (element.name == "Capture Source" || element.name == "Input Source");
}

std::string SourceName(std::string_view name)
{
    if (name == "Mix")
        return "Stereo Mix";
    if (name == "Mix Mono")
        return "Mono Mix";
    return std::string(name);
}

std::uint32_t Channels(bool mono)
{
    return mono ? 1 : 2;
}

// Builds the layout and the control accesses from the element descriptions.
class CMapBuilder {
public:
    explicit CMapBuilder(const std::vector<AlsaElementDescription>& elements)
        : m_elements(elements)
    {
    }

    AlsaMixerMap Build()
    {
        AddSpeakers();
        AddWaveIn();
        return std::move(m_map);
    }

private:
    struct WaveInSource {
        std::string name;
        std::optional<std::size_t> element;
        std::uint32_t lineId = 0;
    };

    // The first element (of index 0) that satisfies the predicate.
    template <typename Predicate> std::optional<std::size_t> Find(Predicate predicate) const
    {
        for (std::size_t i = 0; i < m_elements.size(); ++i) {
            if (m_elements[i].index == 0 && predicate(m_elements[i]))
                return i;
        }
        return std::nullopt;
    }
    std::optional<std::size_t> FindNamed(std::string_view name) const
    {
        return Find([name](const AlsaElementDescription& element) { return element.name == name; });
    }

    std::uint32_t AddControl(
        std::uint32_t lineId, MixerControlInfo control, AlsaControlAccess access, std::vector<MixerListItem> items = {})
    {
        const std::uint32_t controlId = m_map.layout.AddControl(lineId, std::move(control), std::move(items));
        m_map.controls[controlId] = std::move(access);
        return controlId;
    }

    void AddVolume(std::uint32_t lineId, std::size_t index, bool capture)
    {
        const AlsaElementSide& side = m_elements[index].Side(capture);
        if (!side.volume || side.maximum <= side.minimum)
            return;
        AddControl(lineId,
            {.type = kMixerControlVolume,
                .flags = side.volumeJoined ? kMixerControlUniform : 0,
                .maximum = kAlsaVolumeScale,
                .steps = static_cast<std::uint32_t>(std::min<long>(side.maximum - side.minimum, kAlsaVolumeScale))},
            {EAlsaValueKind::Volume, capture, {index}, side.minimum, side.maximum});
    }

    void AddMute(std::uint32_t lineId, std::size_t index, bool capture)
    {
        const AlsaElementSide& side = m_elements[index].Side(capture);
        if (!side.hasSwitch)
            return;
        AddControl(lineId,
            {.type = kMixerControlMute, .flags = side.switchJoined ? kMixerControlUniform : 0, .maximum = 1},
            {EAlsaValueKind::InvertedSwitch, capture, {index}});
    }

    void AddSpeakers()
    {
        const auto master = FindNamed("Master");
        std::vector<std::size_t> sources;
        for (std::size_t i = 0; i < m_elements.size(); ++i) {
            const auto& element = m_elements[i];
            if (element.index == 0 && (element.playback.volume || element.playback.hasSwitch)
                && AlsaSourceType(element.name) != 0)
                sources.push_back(i);
        }
        if (!master && sources.empty())
            return;
        const std::uint32_t speakers = m_map.layout.AddDestination(
            kMixerDestinationSpeakers, u"Master", master ? Channels(m_elements[*master].playback.mono) : 2);
        if (master) {
            AddVolume(speakers, *master, false);
            AddMute(speakers, *master, false);
        }
        for (const std::size_t index : sources) {
            const auto& element = m_elements[index];
            const std::uint32_t line = m_map.layout.AddSource(speakers, AlsaSourceType(element.name),
                Utf8ToUtf16(SourceName(element.name)), Channels(element.playback.mono));
            AddVolume(line, index, false);
            AddMute(line, index, false);
        }
    }

    // The recording sources: the items of the source list, then the capture elements of sources,
    // one line per name.
    std::vector<WaveInSource> WaveInSources(std::optional<std::size_t> sourceList) const
    {
        std::vector<WaveInSource> sources;
        auto add = [&sources](std::string name, std::optional<std::size_t> element) {
            const auto known = std::find_if(
                sources.begin(), sources.end(), [&name](const WaveInSource& source) { return source.name == name; });
            if (known == sources.end())
                sources.push_back({std::move(name), element});
            else if (!known->element)
                known->element = element;
        };
        if (sourceList) {
            for (const auto& item : m_elements[*sourceList].enumItems)
                add(SourceName(item), FindNamed(item));
        }
        for (std::size_t i = 0; i < m_elements.size(); ++i) {
            const auto& element = m_elements[i];
            if (element.index == 0 && (element.capture.volume || element.capture.hasSwitch)
                && AlsaSourceType(element.name) != 0)
                add(SourceName(element.name), i);
        }
        return sources;
    }

    void AddWaveIn()
    {
        const auto capture = FindNamed("Capture");
        const auto sourceList = Find(IsCaptureSourceList);
        const auto boost = Find([](const AlsaElementDescription& element) {
            return IsMicBoost(element.name)
                && (element.playback.volume || element.capture.volume || element.playback.hasSwitch
                    || element.capture.hasSwitch);
        });
        auto sources = WaveInSources(sourceList);
        auto isMicrophone
            = [](const WaveInSource& source) { return AlsaSourceType(source.name) == kMixerSourceMicrophone; };
        if (boost && std::none_of(sources.begin(), sources.end(), isMicrophone))
            sources.push_back({"Mic", std::nullopt});
        if (!capture && sources.empty())
            return;

        const std::uint32_t waveIn = m_map.layout.AddDestination(
            kMixerDestinationWaveIn, u"Capture", capture ? Channels(m_elements[*capture].capture.mono) : 2);
        if (capture) {
            AddVolume(waveIn, *capture, true);
            AddMute(waveIn, *capture, true);
        }
        std::vector<MixerListItem> switchItems;
        AlsaControlAccess switchAccess {EAlsaValueKind::SwitchItems, true};
        for (auto& source : sources) {
            const std::uint32_t type = AlsaSourceType(source.name);
            source.lineId = m_map.layout.AddSource(waveIn, type != 0 ? type : kMixerSourceUndefined,
                Utf8ToUtf16(source.name), source.element ? Channels(m_elements[*source.element].capture.mono) : 2);
            if (!source.element)
                continue;
            AddVolume(source.lineId, *source.element, true);
            if (m_elements[*source.element].capture.hasSwitch) {
                switchItems.push_back({source.lineId, Utf8ToUtf16(source.name)});
                switchAccess.elements.push_back(*source.element);
            }
        }
        if (boost) {
            const auto microphone = std::find_if(sources.begin(), sources.end(), isMicrophone);
            AddBoost(microphone->lineId, *boost);
        }
        const std::uint32_t listFlags = kMixerControlUniform | kMixerControlMultiple;
        if (!switchItems.empty()) {
            const auto count = static_cast<std::uint32_t>(switchItems.size());
            AddControl(waveIn, {.type = kMixerControlMixer, .flags = listFlags, .items = count, .maximum = 1},
                std::move(switchAccess), std::move(switchItems));
        }
        if (sourceList) {
            std::vector<MixerListItem> items;
            for (const auto& item : m_elements[*sourceList].enumItems) {
                const std::string name = SourceName(item);
                const auto source = std::find_if(
                    sources.begin(), sources.end(), [&name](const WaveInSource& entry) { return entry.name == name; });
                items.push_back({source->lineId, Utf8ToUtf16(name)});
            }
            const auto count = static_cast<std::uint32_t>(items.size());
            AddControl(waveIn, {.type = kMixerControlMultiplexer, .flags = listFlags, .items = count, .maximum = 1},
                {EAlsaValueKind::EnumItems, true, {*sourceList}}, std::move(items));
        }
    }

    void AddBoost(std::uint32_t lineId, std::size_t index)
    {
        const auto& element = m_elements[index];
        const MixerControlInfo control {.type = kMixerControlOnOff, .flags = kMixerControlUniform, .maximum = 1};
        if (element.capture.hasSwitch || element.playback.hasSwitch) {
            AddControl(lineId, control, {EAlsaValueKind::Switch, element.capture.hasSwitch, {index}});
            return;
        }
        const AlsaElementSide& side = element.Side(element.capture.volume);
        AddControl(lineId, control,
            {EAlsaValueKind::VolumeAsSwitch, element.capture.volume, {index}, side.minimum, side.maximum});
    }

    const std::vector<AlsaElementDescription>& m_elements;
    AlsaMixerMap m_map;
};

} // namespace

std::uint32_t AlsaSourceType(std::string_view name)
{
    if (name == "PCM" || name == "Wave")
        return kMixerSourceWaveOut;
    if (name == "Synth" || name == "MIDI" || name == "FM")
        return kMixerSourceSynthesizer;
    if (IsMicBoost(name))
        return 0;
    if (name.find("Mic") != std::string_view::npos)
        return kMixerSourceMicrophone;
    if (name.starts_with("Line"))
        return kMixerSourceLine;
    if (name == "CD")
        return kMixerSourceCompactDisc;
    if (name == "Aux")
        return kMixerSourceAuxiliary;
    if (name == "Phone")
        return kMixerSourceTelephone;
    if (name == "PC Speaker" || name == "Beep" || name == "PC Beep")
        return kMixerSourcePcSpeaker;
    if (name == "Stereo Mix" || name == "Mono Mix" || name == "Mix" || name == "Mix Mono")
        return kMixerSourceAnalog;
    return 0;
}

AlsaMixerMap MapAlsaElements(const std::vector<AlsaElementDescription>& elements)
{
    return CMapBuilder(elements).Build();
}

std::int32_t ScaledVolume(long raw, long minimum, long maximum)
{
    const long range = maximum - minimum;
    const long offset = std::clamp(raw, minimum, maximum) - minimum;
    return static_cast<std::int32_t>((static_cast<long long>(offset) * kAlsaVolumeScale + range / 2) / range);
}

long HardwareVolume(std::int32_t scaled, long minimum, long maximum)
{
    const long long range = maximum - minimum;
    const long long clamped = std::clamp(scaled, 0, kAlsaVolumeScale);
    return minimum + static_cast<long>((clamped * range + kAlsaVolumeScale / 2) / kAlsaVolumeScale);
}

} // namespace linlangok
