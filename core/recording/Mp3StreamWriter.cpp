#include "core/recording/Mp3StreamWriter.h"

#include "common/Translation.h"

#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace linlangok {
namespace {

constexpr std::size_t kFrameBytes = 4; // 16-bit stereo

// Decodes little-endian 16-bit samples and appends them.
void AppendSamples(std::vector<std::int16_t>& samples, const std::uint8_t* bytes, std::size_t byteCount)
{
    const std::size_t first = samples.size();
    samples.resize(first + byteCount / 2);
    for (std::size_t i = 0; i < byteCount / 2; ++i)
        samples[first + i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
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

CMp3StreamWriter::CMp3StreamWriter(IMp3EncoderLibrary* library, CTakeFolder& takes, int bitrate, int resampleRate)
    : m_settings(RecordingEncoderSettings(bitrate, resampleRate))
    , m_takes(takes)
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
    if (!m_recorded && !m_temporary.path.empty())
        RemoveTemporaryFile();
}

void CMp3StreamWriter::OpenTemporaryFile(IUserPrompts& prompts)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    std::optional<NewTake> take = m_takes.CreateTake();
    m_file = take ? std::fopen(take->mp3.path.c_str(), "wb") : nullptr;
    m_fileSize = 0;
    if (take) {
        m_takeNumber = take->number;
        m_temporary = std::move(take->mp3);
        m_started = std::time(nullptr);
    }
    if (!m_file) {
        // "出错" (error): the caption the older program showed garbled in a Cyrillic code page.
        prompts.ShowMessage(
            {Tr("CMp3StreamWriter", "出错"), u"Can't create MP3 file", EMessageButtons::YesNo, EMessageIcon::Error});
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
    if (m_stream->Encode(m_samples.data(), m_samples.size() / 2, m_output)) {
        Append(m_output);
        m_recorded = true;
    } else {
        m_failed = true;
    }
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
    // Where it cannot be cut, the partial frame stays at the end, and decoders pass over it.
    const bool cut = ::ftruncate(::fileno(m_file), static_cast<off_t>(m_fileSize)) == 0;
    static_cast<void>(cut);
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

TakeSaveResult CMp3StreamWriter::SaveAs(IUserPrompts& prompts)
{
    std::error_code error;
    if (m_temporary.path.empty() || !std::filesystem::exists(m_temporary.path, error))
        return {ETakeFate::Discarded, {}};
    TakeSaveResult result = RunTakeSaveFlow(prompts, {}, [this](const std::filesystem::path& target) {
        std::error_code same;
        return !std::filesystem::equivalent(target, m_temporary.path, same)
            && CopyFileReplacing(m_temporary.path, target);
    });
    if (result.fate == ETakeFate::Unanswered)
        result.path = KeepUnsaved();
    else
        RemoveTemporaryFile();
    return result;
}

std::filesystem::path CMp3StreamWriter::KeepUnsaved()
{
    const std::filesystem::path name = UnsavedTakeName(m_started);
    for (int copy = 1; copy < 1000; ++copy) {
        std::filesystem::path target = m_takes.Folder() / name;
        if (copy > 1)
            target.replace_filename(
                name.stem().string() + " (" + std::to_string(copy) + ")" + name.extension().string());
        // A link fails where the name is taken, so no other take is ever replaced; a file system
        // without links gets a copy.
        std::error_code error;
        std::filesystem::create_hard_link(m_temporary.path, target, error);
        if (error) {
            if (std::filesystem::exists(std::filesystem::symlink_status(target, error)))
                continue;
            if (!CopyFileReplacing(m_temporary.path, target))
                return {};
        }
        RemoveTemporaryFile();
        return target;
    }
    return {};
}

void CMp3StreamWriter::RemoveTemporaryFile()
{
    std::error_code ignored;
    std::filesystem::remove(m_temporary.path, ignored);
    m_temporary = {};
}

} // namespace linlangok
