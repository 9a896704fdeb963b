#pragma once

#include "core/recording/Mp3StreamWriter.h"

namespace linlangok {

// The MP3 encoder library on libmp3lame; the services own one and hand it to the MP3 writers.
class CLameMp3EncoderLibrary final : public IMp3EncoderLibrary {
public:
    // A LAME stream for the settings, or nullptr when LAME refuses them or the output rate does
    // not belong to the MPEG version asked for. LAME's own messages are silenced.
    std::unique_ptr<IMp3Encoder> InitStream(const Mp3EncoderSettings& settings) override;
};

} // namespace linlangok
