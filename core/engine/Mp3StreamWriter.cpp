#include "core/engine/Mp3StreamWriter.h"

#include "common/FileSaver.h"
#include "common/Text.h"

#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace linlangok {
namespace {

constexpr std::size_t kFrameBytes = 4; // 16-bit stereo
constexpr std::size_t kCopyBlock = 64 * 1024;

// Decodes little-endian 16-bit samples and appends them.
void AppendSamples(std::vector<std::int16_t>& samples, const std::uint8_t* bytes, std::size_t byteCount)
{
    const std::size_t first = samples.size();
    samples.resize(first + byteCount / 2);
    for (std::size_t i = 0; i < byteCount / 2; ++i)
        samples[first + i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

// Copies block by block through a CFileSaver, so a failed copy never leaves a half-written file
// where a good one was.
bool CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::ifstream in(from, std::ios::binary);
    CFileSaver out(to);
    if (!in || !out.IsOpen())
        return false;
    std::vector<char> block(kCopyBlock);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (!out.Write(block.data(), static_cast<std::size_t>(in.gcount())))
            return false;
    }
    return !in.bad() && out.Commit();
}

} // namespace

Mp3EncoderSettings RecordingEncoderSettings(int bitrate, int resampleRate)
{
    Mp3EncoderSettings settings;
    settings.bitrate = bitrate;
    settings.outputSampleRate = resampleRate;
    settings.mpeg1 = bitrate > 32;
    return settings;
}

std::filesystem::path TemporaryRecordingPath(const std::filesystem::path& programFolder)
{
    return programFolder / ".$$a.tmp";
}

CMp3StreamWriter::CMp3StreamWriter(
    IMp3EncoderLibrary* library, const std::filesystem::path& programFolder, int bitrate, int resampleRate)
    : m_settings(RecordingEncoderSettings(bitrate, resampleRate))
    , m_programFolder(programFolder)
{
    if (!library)
        throw std::runtime_error("Error loading lame_enc.DLL");
    m_stream = library->InitStream(m_settings);
    if (!m_stream)
        throw std::runtime_error("ERRORR in beInitStream.");
}

CMp3StreamWriter::~CMp3StreamWriter()
{
    Finish();
}

void CMp3StreamWriter::OpenTemporaryFile(IUserPrompts& prompts)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_temporaryPath = TemporaryRecordingPath(m_programFolder);
    std::error_code error;
    std::filesystem::remove(m_temporaryPath, error);
    m_file = std::fopen(m_temporaryPath.c_str(), "wb");
    m_fileSize = 0;
    if (!m_file) {
        // "出错" (error): the caption the older program showed garbled in a Cyrillic code page.
        prompts.ShowMessage({u"出错", u"Can't create MP3 file", EMessageButtons::YesNo, EMessageIcon::Error});
        throw std::runtime_error("Can't create MP3 file.");
    }
    std::setvbuf(m_file, nullptr, _IONBF, 0);
}

void CMp3StreamWriter::Write(const void* samples, std::size_t byteCount)
{
    if (!m_file || !m_stream || m_failed || byteCount == 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(samples);
    std::size_t used = 0;
    m_samples.clear();
    if (m_partialCount > 0) {
        while (m_partialCount < kFrameBytes && used < byteCount)
            m_partial[m_partialCount++] = bytes[used++];
        if (m_partialCount < kFrameBytes)
            return;
        AppendSamples(m_samples, m_partial, kFrameBytes);
        m_partialCount = 0;
    }
    const std::size_t whole = (byteCount - used) / kFrameBytes * kFrameBytes;
    AppendSamples(m_samples, bytes + used, whole);
    used += whole;
    while (used < byteCount)
        m_partial[m_partialCount++] = bytes[used++];
    if (m_samples.empty())
        return;
    if (m_stream->Encode(m_samples.data(), m_samples.size() / 2, m_output))
        Append(m_output);
    else
        m_failed = true;
}

void CMp3StreamWriter::Append(const std::vector<std::uint8_t>& bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size()) {
        m_fileSize += bytes.size();
        return;
    }
    // A full disk: the file ends with the last whole block, not with part of an MP3 frame.
    m_failed = true;
    std::clearerr(m_file);
    (void)::ftruncate(::fileno(m_file), static_cast<off_t>(m_fileSize));
}

void CMp3StreamWriter::Finish()
{
    if (m_stream && m_file && !m_failed) {
        if (m_stream->Flush(m_output))
            Append(m_output);
        else
            m_failed = true;
    }
    m_stream.reset();
    if (m_file && std::fclose(m_file) != 0)
        m_failed = true;
    m_file = nullptr;
}

void CMp3StreamWriter::Close()
{
    Finish();
    if (m_failed) {
        m_failed = false;
        throw std::runtime_error("Can't write MP3 file.");
    }
}

std::optional<std::filesystem::path> CMp3StreamWriter::SaveAs(IUserPrompts& prompts)
{
    std::error_code error;
    if (m_temporaryPath.empty() || !std::filesystem::exists(m_temporaryPath, error))
        return std::nullopt;
    FileDialogRequest request;
    request.filters = {{u"Music Files (*.mp3)", u"*.mp3"}};
    request.defaultExtension = u"mp3";
    for (;;) {
        const auto target = prompts.AskSavePathConfirmingOverwrite(request);
        if (!target)
            return std::nullopt;
        if (std::filesystem::equivalent(*target, m_temporaryPath, error))
            return target;
        if (CopyReplacing(m_temporaryPath, *target)) {
            std::filesystem::remove(m_temporaryPath, error);
            return target;
        }
        prompts.ShowMessage({std::u16string(kCaptionError), u"无法保存文件 " + Utf8ToUtf16(target->string()),
            EMessageButtons::Ok, EMessageIcon::Error});
    }
}

} // namespace linlangok
