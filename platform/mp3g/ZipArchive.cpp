#include "platform/mp3g/ZipArchive.h"

#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/cdg/Mp3gSong.h"

#include <zip.h>

#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace linlangok {
namespace {

constexpr size_t kReadChunkBytes = 64 * 1024;

zip_t* Archive(void* archive)
{
    return static_cast<zip_t*>(archive);
}

std::string Megabytes(std::uint64_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

} // namespace

CZipArchive::CZipArchive(const std::filesystem::path& path, std::uint64_t maximumBytes, size_t maximumMembers)
{
    const CRegularFile file(path, maximumBytes);
    if (!file.IsOpen())
        throw std::runtime_error(FormattedUtf8(
            TrUtf8("CZipArchive", "无法打开压缩包: %1"), {Utf16ToUtf8(FileReadErrorText(file.Result()))}));
    // libzip takes the descriptor it is given and closes it with the archive.
    const int descriptor = dup(file.Descriptor());
    int error = 0;
    m_archive = descriptor < 0 ? nullptr : zip_fdopen(descriptor, ZIP_RDONLY, &error);
    if (!m_archive) {
        if (descriptor >= 0)
            close(descriptor);
        zip_error_t reason;
        zip_error_init_with_code(&reason, error);
        const std::string text = zip_error_strerror(&reason);
        zip_error_fini(&reason);
        throw std::runtime_error(FormattedUtf8(TrUtf8("CZipArchive", "无法打开压缩包: %1"), {text}));
    }
    try {
        const zip_int64_t count = zip_get_num_entries(Archive(m_archive), 0);
        if (count < 0 || static_cast<std::uint64_t>(count) > maximumMembers)
            throw std::runtime_error(FormattedUtf8(
                TrUtf8("CZipArchive", "压缩包里的文件太多(超过 %1 个)"), {std::to_string(maximumMembers)}));
        for (zip_int64_t i = 0; i < count; ++i) {
            const char* name = zip_get_name(Archive(m_archive), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
            m_names.emplace_back(name ? name : "");
            if (!IsSafeMemberName(m_names.back()))
                throw std::runtime_error(FormattedUtf8(
                    TrUtf8("CZipArchive", "压缩包里的“%1”指向压缩包以外的文件夹, 不予打开"), {m_names.back()}));
        }
    } catch (...) {
        zip_discard(Archive(m_archive));
        throw;
    }
}

CZipArchive::~CZipArchive()
{
    zip_discard(Archive(m_archive));
}

std::string CZipArchive::Read(size_t member, std::uint64_t maximumBytes) const
{
    const std::string& name = m_names.at(member);
    const std::string tooLarge = FormattedUtf8(
        TrUtf8("CZipArchive", "压缩包里的“%1”解压后超过 %2, 不予打开"), {name, Megabytes(maximumBytes)});
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(Archive(m_archive), member, 0, &stat) != 0)
        throw std::runtime_error(FormattedUtf8(
            TrUtf8("CZipArchive", "读压缩包里的“%1”时出错: %2"), {name, zip_strerror(Archive(m_archive))}));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw std::runtime_error(FormattedUtf8(TrUtf8("CZipArchive", "压缩包里的“%1”有密码保护"), {name}));
    if ((stat.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(stat.comp_method, 0))
        throw std::runtime_error(FormattedUtf8(TrUtf8("CZipArchive", "压缩包里的“%1”的压缩方法不受支持"), {name}));
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > maximumBytes)
        throw std::runtime_error(tooLarge);

    const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
        zip_fopen_index(Archive(m_archive), member, 0), zip_fclose);
    if (!file)
        throw std::runtime_error(FormattedUtf8(
            TrUtf8("CZipArchive", "读压缩包里的“%1”时出错: %2"), {name, zip_strerror(Archive(m_archive))}));
    // The stated size may lie: what is kept is capped by what is read.
    std::string bytes;
    char chunk[kReadChunkBytes];
    while (true) {
        const zip_int64_t read = zip_fread(file.get(), chunk, sizeof chunk);
        if (read < 0)
            throw std::runtime_error(FormattedUtf8(
                TrUtf8("CZipArchive", "读压缩包里的“%1”时出错: %2"), {name, zip_file_strerror(file.get())}));
        if (read == 0)
            return bytes;
        if (bytes.size() + static_cast<std::uint64_t>(read) > maximumBytes)
            throw std::runtime_error(tooLarge);
        bytes.append(chunk, static_cast<size_t>(read));
    }
}

} // namespace linlangok
