#pragma once

#include "common/UserPrompts.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

// Listing one folder (never its subfolders) with "|"-separated wildcard patterns such as
// "*.mid|*.mp3|*.wav", matched case-insensitively against the whole file name. In the
// expressions "." matches any character, line breaks included.
namespace linlangok {

// Enumerates the entries of one folder and reports those that no exclude pattern and some
// include pattern match, plus every folder. The listing holds "." and ".." first, then the
// folder's folders and regular files (links followed; FIFOs, sockets, devices and dangling links
// are left out) in the file system's order; "." is never reported. Accepted entries are
// found by a look-ahead cursor that runs ahead of the current one, so an entry is reported one
// call late. The calling pattern:
//
//     if (finder.Start(folder, u"*.lrc", u"")) {
//         bool more;
//         do {
//             more = finder.Next();
//             if (!finder.IsFolder())
//                 use(finder.FullPath());
//         } while (more);
//     }
//
// A pattern that does not compile shows "Error on regex <expression>:<error>" (caption "错误！")
// through the prompts each time an entry is matched against it, and never matches. The listing
// is read when Start runs; UI thread.
class CFileFinder {
public:
    explicit CFileFinder(IUserPrompts& prompts);

    // Starts listing folder. Patterns are split at "|" up to the first empty piece; wildcards
    // unless patternsAreRegex. Returns whether there is an accepted entry to read: false for an
    // empty path, no pattern at all, or a path that is not an existing, readable folder.
    bool Start(const std::filesystem::path& folder, std::u16string_view include, std::u16string_view exclude,
        bool patternsAreRegex = false);

    // Makes the last accepted entry current; returns whether more accepted entries follow.
    bool Next();

    // The current entry; no name and not a folder once the listing has run out.
    bool IsFolder() const;
    std::filesystem::path FileName() const;
    std::filesystem::path FullPath() const;

    // How far the look-ahead cursor has gone: listing entries examined, of EntryCount ("." and
    // ".." included).
    std::size_t EntriesExamined() const { return std::min(m_lookAhead + 1, m_entries.size()); }
    std::size_t EntryCount() const { return m_entries.size(); }

private:
    struct Entry {
        std::filesystem::path name;
        bool folder = false;
    };
    struct Pattern {
        std::u16string expressionText;
        std::optional<std::wregex> expression; // nothing when it does not compile
        std::u16string error;
    };

    static std::vector<Pattern> CompilePatterns(std::u16string_view patterns, bool patternsAreRegex);
    bool Matches(Pattern& pattern, const std::wstring& name);
    bool Accepts(const Entry& entry);

    IUserPrompts& m_prompts;
    std::filesystem::path m_root;
    std::vector<Entry> m_entries;
    std::vector<Pattern> m_include;
    std::vector<Pattern> m_exclude;
    std::size_t m_current = 0; // index into m_entries; the listing has run out at its size
    std::size_t m_lookAhead = 0;
    std::size_t m_lag = 0; // steps from the current entry to the last accepted one
    bool m_more = false;
};

// One file found in a folder.
struct FoundFile {
    std::filesystem::path name; // file name only
    std::filesystem::path fullPath;
};

// Runs the calling pattern above a slice at a time, so that a window stays responsive while a
// folder of thousands of entries is matched: the files (not folders) of folder that match the
// include patterns, in listing order. The listing is read on construction. UI thread.
class CFolderListing {
public:
    CFolderListing(const std::filesystem::path& folder, std::u16string_view include, IUserPrompts& prompts);

    // Reads up to `entries` more accepted entries, folders among them; returns whether any remain.
    bool Step(std::size_t entries);

    std::size_t EntriesExamined() const { return m_finder.EntriesExamined(); }
    std::size_t EntryCount() const { return m_finder.EntryCount(); }

    // The files found so far.
    std::vector<FoundFile> TakeFiles() { return std::move(m_files); }

private:
    CFileFinder m_finder;
    bool m_more;
    std::vector<FoundFile> m_files;
};

// The whole listing at once.
std::vector<FoundFile> ListFolderFiles(
    const std::filesystem::path& folder, std::u16string_view include, IUserPrompts& prompts);

} // namespace linlangok
