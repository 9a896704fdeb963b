#pragma once

#include "core/recording/Mp3StreamWriter.h"

#include <string>
#include <vector>

namespace linlangok::test {

// What reaches a fake encoder: the settings asked for and the samples of every call.
struct FakeMp3Log {
    std::vector<Mp3EncoderSettings> settings;
    std::vector<std::vector<std::int16_t>> calls;
    bool refuse = false;
    bool failEncode = false;
};

// An encoder library in memory that writes each call as "E<frames>;" and the flush as "F;".
class CFakeMp3EncoderLibrary final : public IMp3EncoderLibrary {
public:
    explicit CFakeMp3EncoderLibrary(FakeMp3Log& log)
        : m_log(log)
    {
    }
    std::unique_ptr<IMp3Encoder> InitStream(const Mp3EncoderSettings& settings) override
    {
        m_log.settings.push_back(settings);
        return m_log.refuse ? nullptr : std::make_unique<CEncoder>(m_log);
    }

private:
    class CEncoder final : public IMp3Encoder {
    public:
        explicit CEncoder(FakeMp3Log& log)
            : m_log(log)
        {
        }
        bool Encode(const std::int16_t* samples, size_t frames, std::vector<std::uint8_t>& output) override
        {
            m_log.calls.emplace_back(samples, samples + 2 * frames);
            Emit("E" + std::to_string(frames) + ";", output);
            return !m_log.failEncode;
        }
        bool Flush(std::vector<std::uint8_t>& output) override
        {
            Emit("F;", output);
            return true;
        }

    private:
        static void Emit(const std::string& text, std::vector<std::uint8_t>& output)
        {
            output.assign(text.begin(), text.end());
        }
        FakeMp3Log& m_log;
    };
    FakeMp3Log& m_log;
};

} // namespace linlangok::test
