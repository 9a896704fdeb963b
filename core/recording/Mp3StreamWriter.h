#pragma once

#include "common/UserPrompts.h"
#include "core/recording/TakeFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

// MP3 export: the recorder's 16-bit stereo samples are encoded as they arrive and appended to a
// hidden temporary file in the program folder, which the save-as flow then copies where the user
// chooses. The encoder itself is an outside library that each program builds once and passes on.
namespace linlangok {

enum class EMp3ChannelMode { Stereo, JointStereo, DualChannel, Mono };

// What the encoder is asked for. Rates in Hz, bitrate in kbit/s.
struct Mp3EncoderSettings {
    int inputSampleRate = 44100;
    int inputChannels = 2;
    int outputSampleRate = 0; // 0: chosen from the MPEG version (no resampling for MPEG-1)
    EMp3ChannelMode mode = EMp3ChannelMode::JointStereo;
    int bitrate = 128; // constant bitrate
    bool mpeg1 = true; // MPEG-1 layer III; false: MPEG-2 layer III
    bool privateBit = true;
    bool crc = false;
    bool copyright = true;
    bool original = true;
    bool vbrHeader = false; // Xing/Info frame at the start
    bool bitReservoir = false;
    bool strictIso = false;
};

// One encoding stream. Encode and Flush run on the recorder's capture thread, one at a time.
class IMp3Encoder {
public:
    virtual ~IMp3Encoder() = default;

    // Encodes `frames` interleaved frames (inputChannels samples each) and replaces `output` with
    // the MP3 bytes produced (possibly none). False when the encoder failed.
    virtual bool Encode(const std::int16_t* samples, std::size_t frames, std::vector<std::uint8_t>& output) = 0;

    // Encodes what the encoder still holds, padding the last frame, and replaces `output` with the
    // final MP3 bytes. False when the encoder failed.
    virtual bool Flush(std::vector<std::uint8_t>& output) = 0;
};

// The encoder library: creates streams. Thread-safe.
class IMp3EncoderLibrary {
public:
    virtual ~IMp3EncoderLibrary() = default;

    // A new stream, or nullptr when the encoder refuses the settings.
    virtual std::unique_ptr<IMp3Encoder> InitStream(const Mp3EncoderSettings& settings) = 0;
};

// The settings a writer asks for: 44.1 kHz stereo input, joint stereo, constant `bitrate`, MPEG-1
// above 32 kbit/s and MPEG-2 at 32 or less, private, copyright and original bits, no CRC, no
// VBR header, no bit reservoir. `resampleRate` 0 means no resampling.
Mp3EncoderSettings RecordingEncoderSettings(int bitrate, int resampleRate);

// Lives for one recording: constructed and opened on the user-interface thread before recording
// starts, fed by Write on the capture thread, closed and saved on the user-interface thread after
// the recorder has stopped. No lock guards it.
class CMp3StreamWriter {
public:
    // `library` (platform/mp3 offers LAME; null when no encoder is available) and `takes`, where
    // the temporary recording lies, outlive the writer. Throws std::runtime_error "Error loading
    // lame_enc.DLL" without a library, "ERRORR in beInitStream." when the encoder refuses the
    // settings. The recording controller uses bitrate 128 and resample rate 0.
    CMp3StreamWriter(IMp3EncoderLibrary* library, CTakeFolder& takes, int bitrate, int resampleRate);
    // Closes the writer if still open, silently. A temporary recording that was written to and
    // neither saved nor discarded stays, to be offered at the next start; one never written to goes.
    ~CMp3StreamWriter();

    CMp3StreamWriter(const CMp3StreamWriter&) = delete;
    CMp3StreamWriter& operator=(const CMp3StreamWriter&) = delete;

    // Creates the temporary recording as a new take of the folder (".$$a.tmp", or ".$$aN.tmp"
    // while other takes are kept), locked while the writer has it. On failure shows "Can't create
    // MP3 file" (Yes/No, answer unused) and throws "Can't create MP3 file.".
    void OpenTemporaryFile(IUserPrompts& prompts);

    // The recorder's sink: interleaved 16-bit little-endian stereo samples, `byteCount` bytes
    // (2 seconds are 352800). A partial frame at the end is kept for the next call. Does nothing
    // before OpenTemporaryFile or after Close. Never throws. When the encoder or the disk fails,
    // the file keeps every block written before, whole, and the rest of the recording is
    // dropped; Close reports the failure.
    void Write(const void* samples, std::size_t byteCount);

    // Writes the encoder's last frames (unless a failure stopped the recording), closes the file
    // and ends the stream. Throws "Can't write MP3 file." when encoding or writing failed at any
    // point; the temporary file is kept and SaveAs still copies it. A second call does nothing.
    void Close();

    // The save-as flow, after Close (RunTakeSaveFlow): copies the temporary recording where the
    // user chooses, through a CFileSaver, or discards it on the user's word, and deletes the
    // temporary file. When nobody answers, the recording is kept in the program folder as
    // "未保存的录音 DATE TIME.mp3" (the time it started; " (2)" and up when taken): Unanswered,
    // with that path (empty when even that failed: the temporary file then stays). Without a
    // temporary recording: Discarded, with nothing asked.
    TakeSaveResult SaveAs(IUserPrompts& prompts);

    const std::filesystem::path& TemporaryPath() const { return m_temporary.path; }
    // The take the temporary recording belongs to; 0 before OpenTemporaryFile.
    int TakeNumber() const { return m_takeNumber; }

private:
    void Append(const std::vector<std::uint8_t>& bytes);
    void Finish();
    // Renames the temporary recording to a free "未保存的录音 ..." name; empty when it cannot.
    std::filesystem::path KeepUnsaved();
    void RemoveTemporaryFile();

    Mp3EncoderSettings m_settings;
    CTakeFolder& m_takes;
    std::unique_ptr<IMp3Encoder> m_stream;
    std::FILE* m_file = nullptr; // unbuffered, so a failed write can be cut back to m_fileSize
    std::uint64_t m_fileSize = 0; // the bytes written whole
    LockedFile m_temporary;
    int m_takeNumber = 0;
    std::time_t m_started = 0;
    std::vector<std::int16_t> m_samples; // whole frames handed to the encoder
    std::vector<std::uint8_t> m_output; // the encoder's bytes for one call
    std::uint8_t m_partial[4] = {}; // bytes of an incomplete frame
    std::size_t m_partialCount = 0;
    bool m_failed = false;
    bool m_recorded = false; // samples were encoded
};

} // namespace linlangok
