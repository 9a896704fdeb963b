#include "platform/mixer/AlsaMixer.h"
#include "core/mixer/MemoryMixer.h"
#include "core/mixer/MixerLineList.h"
#include "core/mixer/RecordingSourceSelector.h"
#include "platform/mixer/AlsaElementMap.h"
#include "tests/core/mixer/FakeControls.h"

#include <gtest/gtest.h>

namespace linlangok::test {
namespace {

// An element with a volume of 0 … maximum (none for 0) and maybe a switch on one side.
AlsaElementDescription Element(std::string name, bool capture, long maximum, bool withSwitch)
{
    AlsaElementDescription element;
    element.name = std::move(name);
    AlsaElementSide& side = capture ? element.capture : element.playback;
    side.volume = maximum > 0;
    side.maximum = maximum;
    side.hasSwitch = withSwitch;
    return element;
}

AlsaElementDescription Playback(std::string name, long maximum, bool withSwitch = true)
{
    return Element(std::move(name), false, maximum, withSwitch);
}

AlsaElementDescription Capture(std::string name, long maximum, bool withSwitch)
{
    return Element(std::move(name), true, maximum, withSwitch);
}

AlsaElementDescription SourceList(std::string name, std::vector<std::string> items)
{
    AlsaElementDescription element;
    element.name = std::move(name);
    element.enumItems = std::move(items);
    return element;
}

// A typical HD-audio codec: outputs that are not sources, a capture source list, a volume-only boost.
std::vector<AlsaElementDescription> HdaCard()
{
    auto boost = Playback("Mic Boost", 3, false);
    boost.playback.mono = true;
    return {Playback("Master", 87), Playback("Headphone", 87), Playback("PCM", 255, false), Playback("Mic", 31), boost,
        Capture("Capture", 63, true), SourceList("Input Source", {"Mic", "Internal Mic", "Line"}),
        Playback("Beep", 15)};
}

// An AC97 codec: a capture source list naming the mixes "Mix" and "Mix Mono".
std::vector<AlsaElementDescription> Ac97Card()
{
    return {Playback("Master", 31), Playback("PCM", 31), Playback("Mic", 31), Playback("Mic Boost", 0),
        Capture("Capture", 15, true),
        SourceList("Capture Source", {"Mic", "CD", "Video", "Aux", "Line", "Mix", "Mix Mono", "Phone"})};
}

const AlsaControlAccess& AccessOf(const AlsaMixerMap& map, std::uint32_t lineId, std::uint32_t controlType)
{
    return map.controls.at(map.layout.ControlByType(lineId, controlType)->controlId);
}

TEST(AlsaElementMap, PlaybackElementsOfSourcesBecomeSpeakerLines)
{
    const AlsaMixerMap map = MapAlsaElements(HdaCard());
    const auto speakers = map.layout.Destination(0);
    ASSERT_TRUE(speakers);
    EXPECT_EQ(speakers->componentType, kMixerDestinationSpeakers);
    ASSERT_EQ(speakers->connections, 3u); // PCM, Mic, Beep; not Headphone or the boost
    EXPECT_EQ(map.layout.Source(0, 0)->componentType, kMixerSourceWaveOut);
    EXPECT_EQ(map.layout.Source(0, 1)->componentType, kMixerSourceMicrophone);
    EXPECT_EQ(map.layout.Source(0, 2)->componentType, kMixerSourcePcSpeaker);

    const auto masterVolume = map.layout.ControlByType(speakers->lineId, kMixerControlVolume);
    ASSERT_TRUE(masterVolume);
    EXPECT_EQ(masterVolume->maximum, kAlsaVolumeScale);
    EXPECT_EQ(masterVolume->steps, 87u);
    EXPECT_EQ(AccessOf(map, speakers->lineId, kMixerControlMute).kind, EAlsaValueKind::InvertedSwitch);
    const auto pcm = map.layout.Source(0, 0)->lineId;
    EXPECT_FALSE(map.layout.ControlByType(pcm, kMixerControlMute)); // PCM has no switch here
    EXPECT_EQ(AccessOf(map, pcm, kMixerControlVolume).elements, std::vector<std::size_t> {2});
}

TEST(AlsaElementMap, TheCaptureSourceListIsTheMultiplexer)
{
    const AlsaMixerMap map = MapAlsaElements(HdaCard());
    const auto waveIn = map.layout.LineByComponentType(kMixerDestinationWaveIn);
    ASSERT_TRUE(waveIn);
    EXPECT_EQ(AccessOf(map, waveIn->lineId, kMixerControlVolume).capture, true);
    EXPECT_FALSE(map.layout.ControlByType(waveIn->lineId, kMixerControlMixer));
    const auto multiplexer = map.layout.ControlByType(waveIn->lineId, kMixerControlMultiplexer);
    ASSERT_TRUE(multiplexer);
    const auto items = map.layout.ListTexts(multiplexer->controlId);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[1].name, u"Internal Mic");
    EXPECT_EQ(map.layout.LineById((*items)[1].lineId)->componentType, kMixerSourceMicrophone);
    EXPECT_EQ(map.layout.LineById((*items)[2].lineId)->componentType, kMixerSourceLine);
    // The boost has only a volume: on is its maximum.
    const auto& boost = AccessOf(map, (*items)[0].lineId, kMixerControlOnOff);
    EXPECT_EQ(boost.kind, EAlsaValueKind::VolumeAsSwitch);
    EXPECT_EQ(boost.maximum, 3);
}

TEST(AlsaElementMap, CaptureSwitchesOfSourcesFormTheMixerControl)
{
    const AlsaMixerMap map = MapAlsaElements(
        {Capture("Capture", 31, false), Capture("Mic", 15, true), Capture("Line", 15, true), Capture("CD", 0, true)});
    const auto waveIn = map.layout.LineByComponentType(kMixerDestinationWaveIn);
    ASSERT_TRUE(waveIn);
    EXPECT_FALSE(map.layout.ControlByType(waveIn->lineId, kMixerControlMute));
    const auto mixer = map.layout.ControlByType(waveIn->lineId, kMixerControlMixer);
    ASSERT_TRUE(mixer);
    EXPECT_EQ(mixer->items, 3u);
    EXPECT_EQ(map.controls.at(mixer->controlId).elements, (std::vector<std::size_t> {1, 2, 3}));
    EXPECT_FALSE(map.layout.ControlByType(map.layout.Source(waveIn->destination, 2)->lineId, kMixerControlVolume));
}

// The bindings meet the map's layout through an in-memory mixer of the same shape.
TEST(AlsaElementMap, TheVolumeWindowFindsItsControlsOnAnAc97Card)
{
    CMemoryMixerSystem system;
    system.AddMixer().Layout() = MapAlsaElements(Ac97Card()).layout;
    CFakeCheckBox stereoBox, microphoneBox;
    CRecordingSourceSelector stereo(system), microphone(system);
    EXPECT_TRUE(stereo.Init(&stereoBox, kMixerSourceAnalog, ESourceNameVariant::StereoMix));
    EXPECT_EQ(stereo.ItemIndex(), 5);
    EXPECT_TRUE(microphone.Init(&microphoneBox, kMixerSourceMicrophone, ESourceNameVariant::None));
    EXPECT_EQ(microphone.ItemIndex(), 0);
    auto [boostBox, boost] = BoundSwitch(system);
    boostBox.m_enabled = false;
    EXPECT_TRUE(boost.Init(kMixerDestinationWaveIn, kMixerSourceMicrophone, kMixerControlOnOff));
    EXPECT_TRUE(boostBox.m_enabled);

    CMixerLineList lines(0, system);
    lines.Open();
    EXPECT_NE(lines.FindLine(u"Stereo Mix"), nullptr);
    EXPECT_NE(lines.FindLine(u"Mono Mix"), nullptr);
}

TEST(AlsaElementMap, VolumesScaleBothWays)
{
    for (const auto& [minimum, maximum] : {std::pair(0L, 31L), std::pair(-64L, 0L), std::pair(0L, 255L)}) {
        for (long raw = minimum; raw <= maximum; ++raw)
            EXPECT_EQ(HardwareVolume(ScaledVolume(raw, minimum, maximum), minimum, maximum), raw);
    }
    EXPECT_EQ(ScaledVolume(31, 0, 31), kAlsaVolumeScale);
    EXPECT_EQ(ScaledVolume(-64, -64, 0), 0);
    EXPECT_EQ(HardwareVolume(kAlsaVolumeScale + 5, 0, 31), 31);
    // A fader step lands on the matching hardware step.
    const auto scale = *MakeFaderScale(0, kAlsaVolumeScale, 31);
    for (int position = 0; position <= 31; ++position)
        EXPECT_EQ(HardwareVolume(static_cast<std::int32_t>(position * scale.stepSize), 0, 31), position);
}

TEST(AlsaMixer, AMachineWithoutSoundCardHasNoMixerAndSaysNothing)
{
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    CAlsaMixerSystem system;
    const std::uint32_t mixers = system.MixerCount();
    auto [slider, fader] = BoundFader(system);
    const bool bound = fader.Init(kMixerDestinationSpeakers, kMixerNoSource, kMixerControlVolume, EFaderKind::Main);
    CMixerLineList lines(0, system);
    bool opened = true;
    try {
        lines.Open();
    } catch (const std::runtime_error& error) {
        opened = false;
        EXPECT_STREQ(error.what(), "Can't open Mixer Device.");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    if (mixers > 0)
        GTEST_SKIP() << "this machine has a mixer";
    EXPECT_FALSE(bound);
    EXPECT_FALSE(slider.m_enabled);
    EXPECT_FALSE(opened);
    EXPECT_FALSE(fader.IsOpen());
}

} // namespace
} // namespace linlangok::test
