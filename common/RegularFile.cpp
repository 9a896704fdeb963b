#include "common/RegularFile.h"

#include "common/Translation.h"

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linlangok {
namespace {

EFileRead ResultOfError(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG ? EFileRead::Missing
                                                                                          : EFileRead::Unreadable;
}

EFileRead ResultOfStatus(const struct stat& status, std::uint64_t maximumBytes)
{
    if (!S_ISREG(status.st_mode))
        return EFileRead::NotRegularFile;
    return static_cast<std::uint64_t>(status.st_size) > maximumBytes ? EFileRead::TooLarge : EFileRead::Done;
}

} // namespace

std::u16string FileReadErrorText(EFileRead result)
{
    switch (result) {
    case EFileRead::Done:
        break;
    case EFileRead::Missing:
        return Tr("RegularFile", "文件不存在");
    case EFileRead::NotRegularFile:
        return Tr("RegularFile", "不是普通文件");
    case EFileRead::TooLarge:
        return Tr("RegularFile", "文件太大");
    case EFileRead::Unreadable:
        return Tr("RegularFile", "读文件时出错");
    }
    return {};
}

CRegularFile::CRegularFile(const std::filesystem::path& path, std::uint64_t maximumBytes)
{
    // A device is never opened, for opening one can act on it; the descriptor's own check below
    // covers a file replaced between the two looks.
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0) {
        m_result = ResultOfError(errno);
        return;
    }
    if ((m_result = ResultOfStatus(status, maximumBytes)) != EFileRead::Done)
        return;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        m_result = ResultOfError(errno);
        return;
    }
    if (::fstat(descriptor, &status) != 0) {
        m_result = EFileRead::Unreadable;
    } else if ((m_result = ResultOfStatus(status, maximumBytes)) == EFileRead::Done) {
        // Reads of a regular file wait as usual, also in the libraries it is handed to.
        const int flags = ::fcntl(descriptor, F_GETFL);
        if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)
            m_result = EFileRead::Unreadable;
    }
    if (m_result != EFileRead::Done) {
        ::close(descriptor);
        return;
    }
    m_descriptor = descriptor;
    m_size = static_cast<std::uint64_t>(status.st_size);
}

CRegularFile::~CRegularFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool CRegularFile::ReadAt(std::uint64_t offset, void* bytes, std::size_t count) const
{
    auto* next = static_cast<char*>(bytes);
    while (count > 0) {
        const ssize_t read = ::pread(m_descriptor, next, count, static_cast<off_t>(offset));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return false;
        next += read;
        offset += static_cast<std::uint64_t>(read);
        count -= static_cast<std::size_t>(read);
    }
    return true;
}

FileContent ReadRegularFile(const std::filesystem::path& path, std::uint64_t maximumBytes)
{
    const CRegularFile file(path, maximumBytes);
    FileContent content {file.Result(), {}};
    if (!file.IsOpen())
        return content;
    try {
        content.bytes.resize(static_cast<std::size_t>(file.Size()));
    } catch (const std::bad_alloc&) {
        content.result = EFileRead::TooLarge;
        return content;
    }
    if (!file.ReadAt(0, content.bytes.data(), content.bytes.size())) {
        content.result = EFileRead::Unreadable;
        content.bytes.clear();
    }
    return content;
}

} // namespace linlangok
