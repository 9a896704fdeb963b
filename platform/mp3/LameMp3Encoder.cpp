#include "platform/mp3/LameMp3Encoder.h"

#include <lame/lame.h>

#include <cstdarg>

namespace linlangok {
namespace {

void SilentReport(const char*, va_list) { }

MPEG_mode LameMode(EMp3ChannelMode mode)
{
    switch (mode) {
    case EMp3ChannelMode::Stereo:
        return STEREO;
    case EMp3ChannelMode::JointStereo:
        return JOINT_STEREO;
    case EMp3ChannelMode::DualChannel:
        return DUAL_CHANNEL;
    case EMp3ChannelMode::Mono:
        return MONO;
    }
    return JOINT_STEREO;
}

// MPEG-1 carries 32, 44.1 and 48 kHz; the lower rates belong to MPEG-2 and 2.5.
bool IsMpeg1Rate(int rate)
{
    return rate == 32000 || rate == 44100 || rate == 48000;
}

void Configure(lame_global_flags* flags, const Mp3EncoderSettings& settings, int outputRate)
{
    lame_set_errorf(flags, SilentReport);
    lame_set_debugf(flags, SilentReport);
    lame_set_msgf(flags, SilentReport);
    // The constant-bitrate preset first (it sets the filters for the bitrate), then the rest.
    lame_set_preset(flags, settings.bitrate);
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, settings.bitrate);
    lame_set_num_channels(flags, settings.inputChannels);
    lame_set_in_samplerate(flags, settings.inputSampleRate);
    lame_set_out_samplerate(flags, outputRate);
    lame_set_mode(flags, LameMode(settings.mode));
    lame_set_extension(flags, settings.privateBit);
    lame_set_error_protection(flags, settings.crc);
    lame_set_copyright(flags, settings.copyright);
    lame_set_original(flags, settings.original);
    lame_set_emphasis(flags, 0);
    lame_set_bWriteVbrTag(flags, settings.vbrHeader);
    lame_set_disable_reservoir(flags, !settings.bitReservoir);
    lame_set_strict_ISO(flags, settings.strictIso);
    lame_set_write_id3tag_automatic(flags, 0);
}

// lame_init_params lowers the level by a factor of the bitrate's (to 95 % at 128 kbit/s), leaving
// headroom for the coding's overshoot. A recording keeps its source's level: the scale given undoes
// that factor, read from an encoder configured alike.
float LevelKeepingScale(const Mp3EncoderSettings& settings, int outputRate)
{
    lame_global_flags* probe = lame_init();
    if (!probe)
        return 1;
    Configure(probe, settings, outputRate);
    const float configured = lame_get_scale(probe);
    const float initialised = lame_init_params(probe) < 0 ? configured : lame_get_scale(probe);
    lame_close(probe);
    return configured > 0 && initialised > 0 ? configured / initialised : 1;
}

class CLameMp3Encoder final : public IMp3Encoder {
public:
    explicit CLameMp3Encoder(lame_global_flags* flags)
        : m_flags(flags)
    {
    }
    ~CLameMp3Encoder() override { lame_close(m_flags); }

    CLameMp3Encoder(const CLameMp3Encoder&) = delete;
    CLameMp3Encoder& operator=(const CLameMp3Encoder&) = delete;

    bool Encode(const std::int16_t* samples, std::size_t frames, std::vector<std::uint8_t>& output) override
    {
        // LAME's documented worst case: 1.25 bytes per frame plus 7200.
        output.resize(frames + frames / 4 + 7200);
        const int produced = lame_encode_buffer_interleaved(m_flags, const_cast<short*>(samples),
            static_cast<int>(frames), output.data(), static_cast<int>(output.size()));
        output.resize(produced > 0 ? produced : 0);
        return produced >= 0;
    }

    bool Flush(std::vector<std::uint8_t>& output) override
    {
        output.resize(LAME_MAXMP3BUFFER);
        const int produced = lame_encode_flush(m_flags, output.data(), static_cast<int>(output.size()));
        output.resize(produced > 0 ? produced : 0);
        return produced >= 0;
    }

private:
    lame_global_flags* m_flags;
};

} // namespace

std::unique_ptr<IMp3Encoder> CLameMp3EncoderLibrary::InitStream(const Mp3EncoderSettings& settings)
{
    const int outputRate = settings.outputSampleRate != 0 ? settings.outputSampleRate
        : settings.mpeg1                                  ? settings.inputSampleRate
                                                          : settings.inputSampleRate / 2;
    if (IsMpeg1Rate(outputRate) != settings.mpeg1)
        return nullptr;
    lame_global_flags* flags = lame_init();
    if (!flags)
        return nullptr;
    Configure(flags, settings, outputRate);
    lame_set_scale(flags, LevelKeepingScale(settings, outputRate));
    if (lame_init_params(flags) < 0) {
        lame_close(flags);
        return nullptr;
    }
    return std::make_unique<CLameMp3Encoder>(flags);
}

} // namespace linlangok
