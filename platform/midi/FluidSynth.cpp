#include "platform/midi/FluidSynth.h"

#include <fluidsynth.h>

#include <mutex>
#include <stdexcept>

namespace linlangok {
namespace {

void DiscardLogMessage(int, const char*, void*) { }

// The library prints its messages to standard error unless told otherwise; nothing below the
// windows may write there.
void SilenceLibraryLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, DiscardLogMessage, nullptr);
    });
}

} // namespace

CFluidSynth::CFluidSynth(const std::filesystem::path& soundFont, int sampleRate)
{
    SilenceLibraryLog();
    m_settings = new_fluid_settings();
    if (!m_settings)
        throw std::runtime_error("cannot create the synthesizer settings");
    fluid_settings_setnum(m_settings, "synth.sample-rate", sampleRate);
    // A large SoundFont loads the samples of the presets in use only, so that a full General MIDI
    // set does not hold every instrument in memory; a small one is loaded whole, so that program
    // changes never read the disk.
    std::error_code sizeError;
    if (std::filesystem::file_size(soundFont, sizeError) > kWholeLoadLimitBytes && !sizeError)
        fluid_settings_setint(m_settings, "synth.dynamic-sample-loading", 1);
    m_synth = new_fluid_synth(m_settings);
    if (!m_synth) {
        delete_fluid_settings(m_settings);
        throw std::runtime_error("cannot create the synthesizer");
    }
    if (fluid_synth_sfload(m_synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
        throw std::runtime_error("cannot load the SoundFont " + soundFont.string());
    }
}

CFluidSynth::~CFluidSynth()
{
    delete_fluid_synth(m_synth);
    delete_fluid_settings(m_settings);
}

SynthesizerFactory CFluidSynth::Factory(std::filesystem::path soundFont)
{
    return [soundFont = std::move(soundFont)](int sampleRate) -> std::unique_ptr<ISynthesizer> {
        return std::make_unique<CFluidSynth>(soundFont, sampleRate);
    };
}

void CFluidSynth::ApplyShort(std::uint32_t packedMessage) noexcept
{
    const int status = packedMessage & 0xFF;
    const int channel = status & 0x0F;
    const int data1 = (packedMessage >> 8) & 0x7F;
    const int data2 = (packedMessage >> 16) & 0x7F;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(m_synth, channel, data1);
        break;
    case 0x90: // velocity 0 is a note off to the library too
        fluid_synth_noteon(m_synth, channel, data1, data2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(m_synth, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(m_synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(m_synth, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(m_synth, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(m_synth, channel, data1 | data2 << 7);
        break;
    default:
        if (status == 0xFF)
            fluid_synth_system_reset(m_synth);
        break;
    }
}

void CFluidSynth::ApplySysEx(const std::uint8_t* bytes, size_t length) noexcept
{
    // The library takes the bytes between F0 and F7.
    if (length < 2 || bytes[0] != 0xF0)
        return;
    const size_t end = bytes[length - 1] == 0xF7 ? length - 1 : length;
    fluid_synth_sysex(
        m_synth, reinterpret_cast<const char*>(bytes + 1), static_cast<int>(end - 1), nullptr, nullptr, nullptr, 0);
}

void CFluidSynth::ReleaseAllNotes() noexcept
{
    fluid_synth_all_notes_off(m_synth, -1);
}

void CFluidSynth::Reset() noexcept
{
    fluid_synth_system_reset(m_synth);
}

void CFluidSynth::Render(float* interleaved, size_t frames) noexcept
{
    fluid_synth_write_float(m_synth, static_cast<int>(frames), interleaved, 0, 2, interleaved, 1, 2);
}

int CFluidSynth::ActiveVoiceCount() const noexcept
{
    return fluid_synth_get_active_voice_count(m_synth);
}

} // namespace linlangok
