#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Reading a file that a user, a list or another program named: only a regular file is read
// (symbolic links followed), opening never blocks, and no more than the reader's cap is read.
// A directory, a FIFO, a socket or a device (/dev/zero) is refused as a missing file is.
namespace linlangok {

enum class EFileRead {
    Done,
    Missing, // no such file, or a link to none
    NotRegularFile, // a directory, FIFO, socket or device
    TooLarge, // more bytes than the reader's cap
    Unreadable, // no permission, or a read error
};

// Why a file was not read, for a message: "文件不存在", "不是普通文件", "文件太大", "读文件时出错".
std::u16string FileReadErrorText(EFileRead result);

// A regular file open for reading. The path is looked at first and only a regular file is
// opened, with O_NONBLOCK so that a FIFO put in its place meanwhile cannot stall the open; the
// opened descriptor is checked again with fstat, so what is read is what was checked. Any thread;
// never throws.
class CRegularFile {
public:
    // Opens the file when it is regular and holds at most maximumBytes.
    CRegularFile(const std::filesystem::path& path, std::uint64_t maximumBytes);
    ~CRegularFile();

    CRegularFile(const CRegularFile&) = delete;
    CRegularFile& operator=(const CRegularFile&) = delete;

    bool IsOpen() const { return m_descriptor >= 0; }
    // Done when open, else why not.
    EFileRead Result() const { return m_result; }
    // Blocking reads; -1 when not open. The descriptor stays owned by this object.
    int Descriptor() const { return m_descriptor; }
    // The size in bytes when it was opened.
    std::uint64_t Size() const { return m_size; }

    // Reads exactly count bytes from offset; false when fewer are there or reading fails.
    bool ReadAt(std::uint64_t offset, void* bytes, std::size_t count) const;

private:
    int m_descriptor = -1;
    EFileRead m_result = EFileRead::Missing;
    std::uint64_t m_size = 0;
};

struct FileContent {
    EFileRead result = EFileRead::Missing;
    std::string bytes; // the whole file when result is Done, else empty
};

// The whole of a regular file of at most maximumBytes, read through a CRegularFile.
FileContent ReadRegularFile(const std::filesystem::path& path, std::uint64_t maximumBytes);

} // namespace linlangok
