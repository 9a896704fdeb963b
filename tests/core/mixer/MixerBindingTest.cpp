#include "core/mixer/LineVolumeSlider.h"
#include "core/mixer/MemoryMixer.h"
#include "core/mixer/RecordingSourceSelector.h"
#include "tests/core/mixer/FakeControls.h"
#include "tests/support/ScriptedUserPrompts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <poll.h>

namespace linlangok::test {
namespace {

MixerControlInfo Volume(std::uint32_t steps = 65535)
{
    return {.type = kMixerControlVolume, .maximum = 65535, .steps = steps};
}

MixerControlInfo Switch(std::uint32_t type)
{
    return {.type = type, .flags = kMixerControlUniform, .maximum = 1};
}

// A sound card as the volume window meets it: speakers with master, Wav, MIDI and a mono
// microphone; a recording destination whose sources are chosen through a list control.
class MixerBindingTest : public testing::Test {
protected:
    void SetUp() override
    {
        auto& layout = m_card.Layout();
        const auto speakers = layout.AddDestination(kMixerDestinationSpeakers, u"主音量", 2);
        m_masterVolume = layout.AddControl(speakers, Volume());
        m_masterMute = layout.AddControl(speakers, Switch(kMixerControlMute));
        const auto wave = layout.AddSource(speakers, kMixerSourceWaveOut, u"Wav", 2);
        m_waveVolume = layout.AddControl(wave, Volume(31));
        m_waveMute = layout.AddControl(wave, {.type = kMixerControlMute, .maximum = 1});
        layout.AddSource(speakers, kMixerSourceSynthesizer, u"MIDI", 2);
        const auto microphone = layout.AddSource(speakers, kMixerSourceMicrophone, u"Microphone", 1);
        m_microphoneVolume = layout.AddControl(microphone, Volume());

        m_waveIn = layout.AddDestination(kMixerDestinationWaveIn, u"Recording", 2);
        m_recordMicrophone = layout.AddSource(m_waveIn, kMixerSourceMicrophone, u"Mic", 1);
        m_boost = layout.AddControl(m_recordMicrophone, Switch(kMixerControlOnOff));
        m_stereoMix = layout.AddSource(m_waveIn, kMixerSourceAnalog, u"Stereo Mix", 2);
        m_stereoMixVolume = layout.AddControl(m_stereoMix, Volume());
        m_midiIn = layout.AddSource(m_waveIn, kMixerSourceSynthesizer, u"MIDI", 2);
        m_lineIn = layout.AddSource(m_waveIn, kMixerSourceLine, u"Line In", 2);
    }

    // The recording source list: a multiplexer (one source) or a mixer control (several).
    std::uint32_t AddSourceList(std::uint32_t type, std::vector<MixerListItem> items)
    {
        const MixerControlInfo control {.type = type,
            .flags = kMixerControlUniform | kMixerControlMultiple,
            .items = static_cast<std::uint32_t>(items.size()),
            .maximum = 1};
        return m_card.Layout().AddControl(m_waveIn, control, std::move(items));
    }
    std::vector<MixerListItem> StandardSources() const
    {
        return {{m_recordMicrophone, u"Mic"}, {m_stereoMix, u"Stereo Mix"}, {m_lineIn, u"Line In"}};
    }

    CMemoryMixerSystem m_system;
    CMemoryMixerDevice& m_card = m_system.AddMixer();
    std::uint32_t m_masterVolume = 0, m_masterMute = 0, m_waveVolume = 0, m_waveMute = 0, m_microphoneVolume = 0;
    std::uint32_t m_waveIn = 0, m_recordMicrophone = 0, m_boost = 0, m_stereoMix = 0, m_stereoMixVolume = 0;
    std::uint32_t m_midiIn = 0, m_lineIn = 0;
};

TEST_F(MixerBindingTest, AMonoLineTakesOnlyTheMainFader)
{
    m_card.SetValues(m_microphoneVolume, {20000});
    for (const EFaderKind kind : {EFaderKind::Left, EFaderKind::Right, EFaderKind::Balance}) {
        BoundFader side(m_system);
        EXPECT_FALSE(side.binding.Init(kMixerDestinationSpeakers, kMixerSourceMicrophone, kMixerControlVolume, kind));
        EXPECT_FALSE(side.control.m_enabled);
        EXPECT_EQ(side.control.m_position, kind == EFaderKind::Balance ? 65535 / 2 : 0);
    }
    EXPECT_EQ(m_card.OpenHandles(), 0u);
    auto [slider, fader] = BoundFader(m_system);
    EXPECT_TRUE(fader.Init(kMixerDestinationSpeakers, kMixerSourceMicrophone, kMixerControlVolume, EFaderKind::Main));
    EXPECT_TRUE(slider.m_enabled);
    EXPECT_EQ(slider.m_maximum, 65535);
    EXPECT_EQ(slider.m_position, 20000);
    slider.m_position = 50000;
    fader.OnScroll();
    EXPECT_EQ(m_card.Values(m_microphoneVolume), (std::vector<std::int32_t> {50000}));
}

TEST_F(MixerBindingTest, FadersFollowChangesMadeElsewhere)
{
    auto [slider, fader] = BoundFader(m_system);
    ASSERT_TRUE(fader.Init(kMixerDestinationSpeakers, kMixerNoSource, kMixerControlVolume, EFaderKind::Main));
    EXPECT_EQ(slider.m_position, 0);
    const auto readable = [&fader] {
        pollfd descriptor {fader.PollDescriptors().at(0).fd, POLLIN, 0};
        return poll(&descriptor, 1, 0) == 1;
    };
    EXPECT_FALSE(readable());
    m_card.SetValues(m_masterVolume, {1000, 3000});
    m_card.SetValues(m_waveVolume, {5, 5});
    EXPECT_TRUE(readable());
    EXPECT_EQ(slider.m_position, 0); // not before the window handles the mixer's events
    fader.HandleMixerEvents();
    EXPECT_FALSE(readable());
    EXPECT_EQ(slider.m_position, 3000);
    fader.Close(); // the slider is destroyed
    EXPECT_EQ(m_card.OpenHandles(), 0u);
    m_card.SetValues(m_masterVolume, {1, 1});
    fader.HandleMixerEvents();
    fader.OnScroll();
    EXPECT_EQ(slider.m_position, 3000);
}

TEST_F(MixerBindingTest, AFaderWhoseValuesCannotBeReadStaysDisabled)
{
    m_card.FailReads(m_masterVolume);
    auto [slider, fader] = BoundFader(m_system);
    EXPECT_TRUE(fader.Init(kMixerDestinationSpeakers, kMixerNoSource, kMixerControlVolume, EFaderKind::Main));
    EXPECT_FALSE(slider.m_enabled);
    EXPECT_FALSE(fader.Init(kMixerDestinationSpeakers, kMixerSourceLine, kMixerControlVolume, EFaderKind::Main));
    EXPECT_FALSE(fader.Init(kMixerDestinationSpeakers, kMixerNoSource, kMixerControlMute, EFaderKind::Main));
    EXPECT_FALSE(fader.IsOpen());
}

TEST_F(MixerBindingTest, SwitchesToggleEveryChannelAndFollowChanges)
{
    auto [muteBox, mute] = BoundSwitch(m_system);
    ASSERT_TRUE(mute.Init(kMixerDestinationSpeakers, kMixerSourceWaveOut, kMixerControlMute));
    EXPECT_TRUE(muteBox.m_enabled);
    EXPECT_FALSE(muteBox.m_checked);
    mute.OnClick();
    EXPECT_TRUE(muteBox.m_checked);
    EXPECT_EQ(m_card.Values(m_waveMute), (std::vector<std::int32_t> {1, 1}));
    m_card.SetValues(m_waveMute, {0, 0});
    mute.HandleMixerEvents();
    EXPECT_FALSE(muteBox.m_checked);

    auto [boostBox, boost] = BoundSwitch(m_system);
    m_card.SetValues(m_boost, {1});
    EXPECT_TRUE(boost.Init(kMixerDestinationWaveIn, kMixerSourceMicrophone, kMixerControlOnOff));
    EXPECT_TRUE(boostBox.m_checked);

    auto [missingBox, missing] = BoundSwitch(m_system);
    EXPECT_FALSE(missing.Init(kMixerDestinationSpeakers, kMixerSourceMicrophone, kMixerControlMute));
    EXPECT_FALSE(missingBox.m_enabled);
}

TEST_F(MixerBindingTest, AMixerControlsItemsAreSwitchesAndSelectingOneAddsIt)
{
    const auto list = AddSourceList(kMixerControlMixer, StandardSources());
    m_card.SetValues(list, {0, 0, 1});
    auto [box, item] = BoundSwitch(m_system);
    EXPECT_FALSE(item.Init(kMixerDestinationWaveIn, kMixerNoSource, kMixerControlMixer, 3));
    EXPECT_TRUE(item.Init(kMixerDestinationWaveIn, kMixerNoSource, kMixerControlMixer, 2));
    EXPECT_TRUE(box.m_checked);

    // Selecting a source from a mixer control adds it to those selected.
    CFakeCheckBox stereoBox;
    CRecordingSourceSelector stereo(m_system);
    ASSERT_TRUE(stereo.Init(&stereoBox, kMixerSourceAnalog, ESourceNameVariant::StereoMix));
    stereo.Select();
    EXPECT_EQ(m_card.Values(list), (std::vector<std::int32_t> {0, 1, 1}));
    EXPECT_TRUE(stereoBox.m_checked);
}

TEST_F(MixerBindingTest, SelectingFromAMultiplexerLeavesOneSourceSelected)
{
    const auto list = AddSourceList(kMixerControlMultiplexer, StandardSources());
    m_card.SetValues(list, {0, 1, 1}); // a driver that reported two
    CFakeCheckBox stereoBox, microphoneBox;
    CRecordingSourceSelector stereo(m_system), microphone(m_system);
    ASSERT_TRUE(stereo.Init(&stereoBox, kMixerSourceAnalog, ESourceNameVariant::StereoMix));
    ASSERT_TRUE(microphone.Init(&microphoneBox, kMixerSourceMicrophone, ESourceNameVariant::None));
    EXPECT_TRUE(stereoBox.m_checked);
    EXPECT_FALSE(microphoneBox.m_checked);

    microphoneBox.m_checked = false; // the click toggled the box; selecting checks it again
    microphone.Select();
    EXPECT_EQ(m_card.Values(list), (std::vector<std::int32_t> {1, 0, 0}));
    EXPECT_TRUE(microphoneBox.m_checked);
    EXPECT_TRUE(stereoBox.m_checked);
    stereo.HandleMixerEvents();
    EXPECT_FALSE(stereoBox.m_checked);
    EXPECT_FALSE(stereo.IsSelected());
}

TEST_F(MixerBindingTest, SourcesAreFoundByNameWhenTheirTypeDoesNotTell)
{
    // A driver that calls its stereo mix a line input, and its microphone an undefined source.
    auto& layout = m_card.Layout();
    const auto oddMix = layout.AddSource(m_waveIn, kMixerSourceLine, u"Stereo Mix", 2);
    const auto oddMicrophone = layout.AddSource(m_waveIn, kMixerSourceUndefined, u"Microphone", 1);
    AddSourceList(kMixerControlMultiplexer,
        {{m_lineIn, u"Line In"}, {m_stereoMix, u"Mono Mix"}, {oddMix, u"Stereo Mix"}, {oddMicrophone, u"Microphone"}});
    CFakeCheckBox stereoBox, monoBox, microphoneBox, auxiliaryBox;
    CRecordingSourceSelector stereo(m_system), mono(m_system), microphone(m_system), auxiliary(m_system);
    EXPECT_TRUE(stereo.Init(&stereoBox, kMixerSourceAnalog, ESourceNameVariant::StereoMix));
    EXPECT_EQ(stereo.ItemIndex(), 2);
    EXPECT_TRUE(mono.Init(&monoBox, kMixerSourceAnalog, ESourceNameVariant::MonoMix));
    EXPECT_EQ(mono.ItemIndex(), 1);
    EXPECT_TRUE(microphone.Init(&microphoneBox, kMixerSourceMicrophone, ESourceNameVariant::None));
    EXPECT_EQ(microphone.ItemIndex(), 3);
    EXPECT_FALSE(auxiliary.Init(&auxiliaryBox, kMixerSourceAnalog, ESourceNameVariant::Auxiliary));
    EXPECT_FALSE(auxiliaryBox.m_enabled);
    EXPECT_FALSE(auxiliaryBox.m_checked);
    auxiliary.Select();
    EXPECT_FALSE(auxiliaryBox.m_checked);
}

TEST_F(MixerBindingTest, LineListsLeaveOutTheSynthesizer)
{
    CMixerLineList lines(0, m_system);
    EXPECT_EQ(lines.FindLine(u"Mic"), nullptr); // not opened yet
    lines.Open();
    lines.Open();
    EXPECT_EQ(lines.LineNames(), (std::vector<std::u16string> {u"Mic", u"Stereo Mix", u"Line In"}));
    EXPECT_EQ(lines.FindLine(u"MIDI"), nullptr);
    EXPECT_EQ(lines.FindLine(u""), nullptr);
    EXPECT_EQ(lines.FindLine(u"stereo mix"), nullptr);
    ASSERT_NE(lines.FindLine(u"Stereo Mix"), nullptr);
    EXPECT_EQ(lines.FindLine(u"Stereo Mix")->Info().lineId, m_stereoMix);
    EXPECT_EQ(m_card.OpenHandles(), 1u);

    CMixerLineList missing(1, m_system); // there is no second mixer
    EXPECT_THAT([&] { missing.Open(); },
        testing::ThrowsMessage<std::runtime_error>(testing::StrEq("Can't open Mixer Device.")));
}

// How the slider follows its line and moves it is checked through the volume window; here, that it
// is disabled without a line volume.
TEST_F(MixerBindingTest, LineVolumesAreInPercentAndTheSliderIsDisabledWithoutOne)
{
    CMixerLineList lines(0, m_system);
    lines.Open();
    CMixerLine& stereoMix = *lines.FindLine(u"Stereo Mix");
    m_card.SetValues(m_stereoMixVolume, {32768, 100});
    EXPECT_EQ(stereoMix.VolumePercent(), 50);
    EXPECT_TRUE(stereoMix.SetVolumePercent(12));
    EXPECT_EQ(m_card.Values(m_stereoMixVolume), (std::vector<std::int32_t> {7864, 7864}));
    EXPECT_EQ(lines.FindLine(u"Line In")->VolumePercent(), std::nullopt); // no volume control
    EXPECT_FALSE(lines.FindLine(u"Line In")->SetVolumePercent(12));
    m_card.FailReads(m_stereoMixVolume);
    EXPECT_EQ(stereoMix.VolumePercent(), std::nullopt);

    CScriptedUserPrompts prompts;
    CFakeSlider slider;
    CLineVolumeSlider volume(prompts, m_system);
    volume.Attach(&slider);
    for (CMixerLine* line : {lines.FindLine(u"Line In"), static_cast<CMixerLine*>(nullptr)}) {
        slider.m_enabled = true;
        volume.Bind(line); // Line In has no volume control
        EXPECT_FALSE(slider.m_enabled);
    }
    EXPECT_TRUE(prompts.m_messages.empty());

    m_system.RefuseOpening(true);
    volume.Bind(lines.FindLine(u"Stereo Mix"));
    EXPECT_FALSE(slider.m_enabled);
    ASSERT_EQ(prompts.m_messages.size(), 1u);
    EXPECT_EQ(prompts.m_messages[0].text, u"Could not open mixer device");
}

} // namespace
} // namespace linlangok::test
