#pragma once

#include "common/CodePage.h"
#include "common/TextEncodings.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// File-system paths. On Linux a file name is bytes: UTF-8 as a rule, but an archive made on a
// Chinese Windows machine unpacks with GBK names. The system holds a path as UTF-16 text in which
// each byte that is not part of valid UTF-8 is escaped as the lone surrogate U+DC00 + byte
// (U+DC80..U+DCFF, as Python's "surrogateescape"), so that every path becomes text and back the
// same bytes, and a UTF-8 path is its plain text. std::filesystem::path is the bytes themselves.
// Text for people comes from CPathDisplay; URIs, as drops, desktop portals and D-Bus hand them
// over, carry the bytes percent-encoded.
namespace linlangok {

std::u16string PathToUtf16(const std::filesystem::path& path);
// A lone surrogate that escapes no byte becomes U+FFFD.
std::filesystem::path Utf16ToPath(std::u16string_view text);

// Whether the path text holds escaped bytes: its bytes are not UTF-8, so no text encoding
// carries it.
bool HoldsEscapedBytes(std::u16string_view path);

// A path as text files (song lists, the song memory) hold it: its text, or the file URI of a path
// whose bytes are not UTF-8, which no text encoding carries. StoredTextToPath reads both back;
// other text is a path as it is.
std::u16string PathToStoredText(std::u16string_view path);
std::u16string StoredTextToPath(std::u16string_view text);

// The "file://" URI of the path, made absolute against the current folder, every byte but ASCII
// letters, digits, "-._~" and "/" percent-encoded (RFC 8089): ASCII whatever the name's bytes.
std::string FileUriOfPath(const std::filesystem::path& path);

// The path of a "file:" URI with an absolute path and no host or "localhost"; its percent-escapes
// are the path's bytes. Nothing for another scheme or host, a relative path, a query or
// fragment, a byte outside ASCII, a broken escape or an escaped zero byte.
std::optional<std::filesystem::path> PathOfFileUri(std::string_view uri);

// A path that a lossy reading turned into text (each byte that is not UTF-8 read as U+FFFD, as Qt
// reads file names) made the file's own again: from the root on, a part that does not exist and
// holds U+FFFD becomes the one entry of its folder that reads as that part. A part that no entry,
// or more than one, reads as stays as it is. Other paths are returned unchanged.
std::filesystem::path ResolveLossyPath(const std::filesystem::path& path);

// Hands visit every entry of the folder ("." for an empty path), never throwing, until the end,
// an error, or visit returns false. Whether the listing reached its end (false also when visit
// stopped it).
bool ForEachFolderEntry(
    const std::filesystem::path& folder, const std::function<bool(const std::filesystem::directory_entry&)>& visit);

// Shows paths as people read them: each "/"-separated part that is UTF-8 as it is; the others
// (a GBK name on a UTF-8 file system) in the encoding that the detection finds for all of them
// together, else in the legacy code page; bytes that do not decode show as U+FFFD. The text may
// name no file: keep the path to open it. The code page and the detection outlive the object;
// any thread.
class CPathDisplay {
public:
    CPathDisplay(const ICodePage& legacyCodePage, const ITextEncodingDetector& detection)
        : m_legacyCodePage(legacyCodePage)
        , m_detection(detection)
    {
    }

    std::u16string Text(std::u16string_view path) const;

private:
    const ICodePage& m_legacyCodePage;
    const ITextEncodingDetector& m_detection;
};

} // namespace linlangok
