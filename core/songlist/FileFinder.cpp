#include "core/songlist/FileFinder.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <limits>
#include <system_error>

namespace linlangok {
namespace {

// std::wregex works on wchar_t, which holds whole code points here.
std::wstring ToRegexText(std::u16string_view text)
{
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        result.push_back(static_cast<wchar_t>(NextCodePoint(text, i)));
    return result;
}

// The expression with each "." outside brackets and escapes as "[\s\S]": "." matches any
// character here, but ECMAScript's stops at line breaks, which file names may hold.
std::u16string DotMatchesAnyCharacter(std::u16string_view expression)
{
    std::u16string result;
    bool inBrackets = false;
    for (std::size_t i = 0; i < expression.size(); ++i) {
        const char16_t character = expression[i];
        if (character == u'\\' && i + 1 < expression.size()) {
            result += character;
            result += expression[++i];
            continue;
        }
        if (inBrackets) {
            inBrackets = character != u']';
        } else if (character == u'[') {
            inBrackets = true;
        } else if (character == u'.') {
            result += u"[\\s\\S]";
            continue;
        }
        result += character;
    }
    return result;
}

std::u16string FormatRegexError(std::u16string_view expression, std::u16string_view error)
{
    return u"Error on regex " + std::u16string(expression) + u":" + std::u16string(error);
}

// "^" + the wildcard with "*" as ".*?", "." as "\." and "?" as "." + "$"; every other character
// is copied unchanged. "*.mid" gives "^.*?\.mid$".
std::u16string WildcardToRegex(std::u16string_view wildcard)
{
    std::u16string expression = u"^";
    for (const char16_t character : wildcard) {
        switch (character) {
        case u'*':
            expression += u".*?";
            break;
        case u'.':
            expression += u"\\.";
            break;
        case u'?':
            expression += u'.';
            break;
        default:
            expression += character;
        }
    }
    return expression + u"$";
}

// The text of the message shown for a pattern that does not compile.
std::u16string RegexErrorText(std::regex_constants::error_type code)
{
    namespace rc = std::regex_constants;
    switch (code) {
    case rc::error_space:
    case rc::error_stack:
    case rc::error_complexity:
        return u"Out of memory";
    case rc::error_brace:
        return u"Brace expected";
    case rc::error_paren:
        return u"Paren expected";
    case rc::error_brack:
        return u"Bracket expected";
    case rc::error_badbrace:
    case rc::error_range:
        return u"Invalid range";
    case rc::error_backref:
        return u"Invalid group";
    case rc::error_badrepeat:
        return u"Invalid repeator";
    case rc::error_escape:
    case rc::error_ctype:
    case rc::error_collate:
        return u"Invalid input";
    default:
        return u"Unknown error";
    }
}

} // namespace

CFileFinder::CFileFinder(IUserPrompts& prompts)
    : m_prompts(prompts)
{
}

std::vector<CFileFinder::Pattern> CFileFinder::CompilePatterns(std::u16string_view patterns, bool patternsAreRegex)
{
    std::vector<Pattern> compiled;
    while (!patterns.empty()) {
        const std::size_t bar = patterns.find(u'|');
        const std::u16string_view piece = patterns.substr(0, bar);
        if (piece.empty())
            break;
        Pattern pattern;
        pattern.expressionText = patternsAreRegex ? std::u16string(piece) : WildcardToRegex(piece);
        try {
            pattern.expression.emplace(ToRegexText(DotMatchesAnyCharacter(pattern.expressionText)),
                std::regex::ECMAScript | std::regex::icase);
        } catch (const std::regex_error& error) {
            pattern.error = RegexErrorText(error.code());
        }
        compiled.push_back(std::move(pattern));
        if (bar == std::u16string_view::npos)
            break;
        patterns.remove_prefix(bar + 1);
    }
    return compiled;
}

bool CFileFinder::Start(const std::filesystem::path& folder, std::u16string_view include, std::u16string_view exclude,
    bool patternsAreRegex)
{
    m_entries.clear();
    m_current = m_lookAhead = m_lag = 0;
    m_more = false;
    std::error_code error;
    if (folder.empty() || (include.empty() && exclude.empty()) || !std::filesystem::is_directory(folder, error))
        return false;
    m_include = CompilePatterns(include, patternsAreRegex);
    m_exclude = CompilePatterns(exclude, patternsAreRegex);
    m_root = std::filesystem::absolute(folder, error);

    std::filesystem::directory_iterator listing(folder, error);
    if (error)
        return false;
    m_entries.push_back({".", true});
    m_entries.push_back({"..", true});
    for (const std::filesystem::directory_iterator end; !error && listing != end; listing.increment(error)) {
        // Only folders and regular files: a FIFO or a device would stall or never end the reader
        // it is handed to.
        std::error_code typeError;
        const std::filesystem::file_status status = listing->status(typeError);
        if (std::filesystem::is_directory(status) || std::filesystem::is_regular_file(status))
            m_entries.push_back({listing->path().filename(), std::filesystem::is_directory(status)});
    }

    // The look-ahead cursor looks for the first accepted entry; the current one follows a step
    // behind.
    m_lag = 1;
    m_more = true;
    while (++m_lookAhead < m_entries.size()) {
        if (Accepts(m_entries[m_lookAhead]))
            return true;
        ++m_current;
    }
    m_more = false;
    return false;
}

bool CFileFinder::Next()
{
    m_current = std::min(m_current + m_lag, m_entries.size());
    m_lag = 0;
    while (m_more) {
        ++m_lag;
        if (++m_lookAhead >= m_entries.size()) {
            m_more = false;
            break;
        }
        if (Accepts(m_entries[m_lookAhead]))
            return true;
    }
    return false;
}

bool CFileFinder::IsFolder() const
{
    return m_current < m_entries.size() && m_entries[m_current].folder;
}

std::filesystem::path CFileFinder::FileName() const
{
    return m_current < m_entries.size() ? m_entries[m_current].name : std::filesystem::path();
}

std::filesystem::path CFileFinder::FullPath() const
{
    return m_root / FileName();
}

bool CFileFinder::Matches(Pattern& pattern, const std::wstring& name)
{
    if (!pattern.expression) {
        m_prompts.ShowMessage({Tr("CFileFinder", "错误！"), FormatRegexError(pattern.expressionText, pattern.error)});
        return false;
    }
    return std::regex_match(name, *pattern.expression);
}

bool CFileFinder::Accepts(const Entry& entry)
{
    if (entry.folder)
        return true;
    const std::wstring name = ToRegexText(PathToUtf16(entry.name));
    bool accepted = m_include.empty();
    for (auto& pattern : m_include) {
        if (Matches(pattern, name)) {
            accepted = true;
            break;
        }
    }
    if (!accepted)
        return false;
    for (auto& pattern : m_exclude) {
        if (Matches(pattern, name))
            return false;
    }
    return true;
}

CFolderListing::CFolderListing(const std::filesystem::path& folder, std::u16string_view include, IUserPrompts& prompts)
    : m_finder(prompts)
    , m_more(m_finder.Start(folder, include, u""))
{
}

bool CFolderListing::Step(std::size_t entries)
{
    for (; m_more && entries > 0; --entries) {
        m_more = m_finder.Next();
        if (!m_finder.IsFolder())
            m_files.push_back({m_finder.FileName(), m_finder.FullPath()});
    }
    return m_more;
}

std::vector<FoundFile> ListFolderFiles(
    const std::filesystem::path& folder, std::u16string_view include, IUserPrompts& prompts)
{
    CFolderListing listing(folder, include, prompts);
    listing.Step(std::numeric_limits<std::size_t>::max());
    return listing.TakeFiles();
}

} // namespace linlangok
