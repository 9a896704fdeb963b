#include "common/FilePath.h"

#include "common/Text.h"

#include <system_error>
#include <vector>

namespace linlangok {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

bool IsEscapedByte(char32_t codePoint)
{
    return codePoint >= kEscapeBase + 0x80 && codePoint <= kEscapeBase + 0xFF;
}

bool IsUnreservedInPath(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
        || std::string_view("-._~/").find(static_cast<char>(byte)) != std::string_view::npos;
}

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& character : lower)
        character = character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
    return lower;
}

// The name as a lossy reading gives it: the escaped bytes as U+FFFD.
std::u16string LossyText(const std::filesystem::path& name)
{
    std::u16string text = PathToUtf16(name);
    for (char16_t& unit : text)
        unit = IsEscapedByte(unit) ? u'\uFFFD' : unit;
    return text;
}

// The one entry of the folder whose name reads as the lossy name; nothing for none or several.
std::optional<std::filesystem::path> EntryReadingAs(const std::filesystem::path& folder, const std::u16string& lossy)
{
    std::optional<std::filesystem::path> found;
    bool several = false;
    ForEachFolderEntry(folder, [&](const std::filesystem::directory_entry& entry) {
        std::filesystem::path name = entry.path().filename();
        if (LossyText(name) != lossy)
            return true;
        several = found.has_value();
        found = std::move(name);
        return !several;
    });
    return several ? std::nullopt : found;
}

} // namespace

std::u16string PathToUtf16(const std::filesystem::path& path)
{
    const std::string& bytes = path.native();
    std::u16string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        if (const auto codePoint = NextUtf8CodePoint(bytes, i))
            AppendUtf16(text, *codePoint);
        else
            text.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i++])));
    }
    return text;
}

std::filesystem::path Utf16ToPath(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size();) {
        const char32_t codePoint = NextCodePoint(text, i);
        if (IsEscapedByte(codePoint))
            bytes.push_back(static_cast<char>(codePoint - kEscapeBase));
        else
            AppendUtf8(bytes, codePoint);
    }
    return bytes;
}

bool HoldsEscapedBytes(std::u16string_view path)
{
    for (size_t i = 0; i < path.size();) {
        if (IsEscapedByte(NextCodePoint(path, i)))
            return true;
    }
    return false;
}

std::u16string PathToStoredText(std::u16string_view path)
{
    if (!HoldsEscapedBytes(path))
        return std::u16string(path);
    return Utf8ToUtf16(FileUriOfPath(Utf16ToPath(path)));
}

std::u16string StoredTextToPath(std::u16string_view text)
{
    const auto path = PathOfFileUri(Utf16ToUtf8(text));
    return path ? PathToUtf16(*path) : std::u16string(text);
}

std::string FileUriOfPath(const std::filesystem::path& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::string uri = "file://";
    for (const char character : error ? path.native() : absolute.native()) {
        const auto byte = static_cast<unsigned char>(character);
        if (IsUnreservedInPath(byte)) {
            uri.push_back(character);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[byte >> 4]);
            uri.push_back(kHex[byte & 0xF]);
        }
    }
    return uri;
}

std::optional<std::filesystem::path> PathOfFileUri(std::string_view uri)
{
    if (LowerAscii(uri.substr(0, 5)) != "file:")
        return std::nullopt;
    std::string_view rest = uri.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        if (slash == std::string_view::npos || !(host.empty() || LowerAscii(host) == "localhost"))
            return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/') || rest.find_first_of("?#") != std::string_view::npos)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < rest.size(); ++i) {
        if ((rest[i] & 0x80) != 0)
            return std::nullopt;
        if (rest[i] != '%') {
            bytes.push_back(rest[i]);
            continue;
        }
        const int high = i + 2 < rest.size() ? HexDigitValue(static_cast<unsigned char>(rest[i + 1])) : -1;
        const int low = high >= 0 ? HexDigitValue(static_cast<unsigned char>(rest[i + 2])) : -1;
        if (low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        bytes.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    if (bytes.find('\0') != std::string::npos)
        return std::nullopt;
    return std::filesystem::path(std::move(bytes));
}

bool ForEachFolderEntry(
    const std::filesystem::path& folder, const std::function<bool(const std::filesystem::directory_entry&)>& visit)
{
    std::error_code error;
    std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error);
    for (const std::filesystem::directory_iterator end; !error && entry != end; entry.increment(error))
        if (!visit(*entry))
            return false;
    return !error;
}

std::filesystem::path ResolveLossyPath(const std::filesystem::path& path)
{
    if (path.native().find(kReplacementUtf8) == std::string::npos)
        return path;
    std::filesystem::path resolved;
    for (const std::filesystem::path& part : path) {
        std::filesystem::path next = resolved / part;
        std::error_code error;
        if (part.native().find(kReplacementUtf8) != std::string::npos
            && !std::filesystem::exists(std::filesystem::symlink_status(next, error))) {
            if (auto entry = EntryReadingAs(resolved.empty() ? "." : resolved, PathToUtf16(part)))
                next = resolved / *entry;
        }
        resolved = std::move(next);
    }
    return resolved;
}

std::u16string CPathDisplay::Text(std::u16string_view path) const
{
    const std::filesystem::path bytes = Utf16ToPath(path);
    if (IsValidUtf8(bytes.native()))
        return std::u16string(path);
    std::vector<std::string_view> parts;
    std::string foreignParts;
    for (std::string_view rest = bytes.native();;) {
        const size_t slash = rest.find('/');
        parts.push_back(rest.substr(0, slash));
        if (!IsValidUtf8(parts.back()))
            AppendToEncodingSample(foreignParts, parts.back());
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    const ICodePage* detected = m_detection.Detect(foreignParts);
    const ICodePage& codePage = detected ? *detected : m_legacyCodePage;
    std::u16string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text.push_back(u'/');
        text += IsValidUtf8(parts[i]) ? Utf8ToUtf16(parts[i]) : codePage.ToWide(parts[i]);
    }
    return text;
}

} // namespace linlangok
