// The include check: every #include "FOLDER/File.h" in the product's folders must be one that
// tests/layout/AllowedIncludes.txt allows, the table must keep the layers' order, and it must have
// no cycle. The path check: no product line turns a path into text but through PathToUtf16 or
// PathToStoredText, which keep every byte of a name that is not UTF-8.
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {
namespace {

namespace fs = std::filesystem;
using Table = std::map<std::string, std::set<std::string>>;

// The ground's three folders are one group; a folder may include its own group and the groups of
// lower rank (platform and ui are side by side, neither includes the other).
std::string LayerGroup(const std::string& folder)
{
    const std::string top = folder.substr(0, folder.find('/'));
    return top == "common" || top == "timebase" || top == "midi" ? "ground" : top;
}

bool LayerAllows(const std::string& from, const std::string& to)
{
    static const std::map<std::string, int> kRanks
        = {{"ground", 0}, {"core", 1}, {"platform", 2}, {"ui", 2}, {"app", 3}, {"tools", 3}};
    const auto rankFrom = kRanks.find(LayerGroup(from));
    const auto rankTo = kRanks.find(LayerGroup(to));
    return LayerGroup(from) == LayerGroup(to)
        || (rankFrom != kRanks.end() && rankTo != kRanks.end() && rankTo->second < rankFrom->second);
}

// "FOLDER: FOLDER..." lines; FOLDER/* stands for the table's folders under FOLDER.
Table ReadTable(std::istream& text)
{
    std::map<std::string, std::vector<std::string>> written;
    for (std::string line; std::getline(text, line);) {
        const auto colon = line.find(':');
        if (line.starts_with('#') || colon == std::string::npos)
            continue;
        std::istringstream targets(line.substr(colon + 1));
        auto& entry = written[line.substr(0, colon)];
        for (std::string target; targets >> target;)
            entry.push_back(target);
    }
    Table table;
    for (const auto& [folder, targets] : written) {
        auto& allowed = table[folder];
        for (const auto& target : targets) {
            if (!target.ends_with("/*")) {
                allowed.insert(target);
                continue;
            }
            const std::string prefix = target.substr(0, target.size() - 1);
            for (const auto& [candidate, unused] : written)
                if (candidate.starts_with(prefix) && candidate != folder)
                    allowed.insert(candidate);
        }
    }
    return table;
}

std::vector<std::string> CheckTable(const Table& table)
{
    std::vector<std::string> problems;
    for (const auto& [folder, allowed] : table)
        for (const auto& target : allowed)
            if (!table.contains(target))
                problems.push_back(folder + " lists " + target + ", which has no line");
            else if (!LayerAllows(folder, target))
                problems.push_back(folder + " may not depend on " + target + ": its layer is not below");
    std::map<std::string, int> state; // 1 while its dependencies are walked, 2 after
    std::vector<std::string> path;
    std::function<void(const std::string&)> visit = [&](const std::string& folder) {
        state[folder] = 1;
        path.push_back(folder);
        for (const auto& next : table.at(folder)) {
            if (!table.contains(next) || state[next] == 2)
                continue;
            if (state[next] == 0) {
                visit(next);
                continue;
            }
            std::string cycle = "cycle:";
            for (auto step = std::find(path.begin(), path.end(), next); step != path.end(); ++step)
                cycle += " " + *step + " ->";
            problems.push_back(cycle + " " + next);
        }
        path.pop_back();
        state[folder] = 2;
    };
    for (const auto& [folder, unused] : table)
        if (state[folder] == 0)
            visit(folder);
    return problems;
}

// The FILE of a line '#include "FILE"' (blanks allowed around the '#'), else empty.
std::string QuotedInclude(std::string_view line)
{
    const auto skipBlanks = [&line] { line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size())); };
    skipBlanks();
    if (!line.starts_with('#'))
        return {};
    line.remove_prefix(1);
    skipBlanks();
    if (!line.starts_with("include"))
        return {};
    line.remove_prefix(7);
    skipBlanks();
    const size_t close = line.starts_with('"') ? line.find('"', 1) : std::string_view::npos;
    return close == std::string_view::npos ? std::string() : std::string(line.substr(1, close - 1));
}

// A path's .u8string() or .u16string(), or Utf8ToUtf16, fromStdString or fromUtf8 of an
// expression that ends in .string() or .generic_string().
bool TurnsPathIntoLossyText(std::string_view line)
{
    if (line.find(".u16string()") != std::string_view::npos || line.find(".u8string()") != std::string_view::npos)
        return true;
    for (const std::string_view call : {"Utf8ToUtf16(", "fromStdString(", "fromUtf8("}) {
        for (size_t at = line.find(call); at != std::string_view::npos; at = line.find(call, at + 1)) {
            size_t end = at + call.size();
            for (int depth = 1; end < line.size() && depth > 0; ++end)
                depth += line[end] == '(' ? 1 : line[end] == ')' ? -1 : 0;
            const std::string_view argument = line.substr(at + call.size(), end - at - call.size());
            if (argument.ends_with(".string())") || argument.ends_with(".generic_string())"))
                return true;
        }
    }
    return false;
}

std::vector<std::string> CheckLayout(const fs::path& root, std::istream& tableText)
{
    const Table table = ReadTable(tableText);
    std::vector<std::string> problems = CheckTable(table);
    // The deepest folder of the table that holds the path, or empty.
    const auto owner = [&](std::string path) {
        while (!path.empty() && !table.contains(path)) {
            const auto slash = path.find_last_of('/');
            path.resize(slash == std::string::npos ? 0 : slash);
        }
        return path;
    };
    std::set<std::string> tops;
    for (const auto& [folder, unused] : table)
        tops.insert(folder.substr(0, folder.find('/')));
    for (const auto& top : tops) {
        if (!fs::is_directory(root / top))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const auto extension = entry.path().extension();
            if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp"))
                continue;
            const std::string file = entry.path().lexically_relative(root).generic_string();
            const std::string folder = owner(fs::path(file).parent_path().generic_string());
            if (folder.empty()) {
                problems.push_back(file + ": its folder has no line in the table");
                continue;
            }
            std::ifstream in(entry.path());
            int number = 0;
            for (std::string line; std::getline(in, line);) {
                ++number;
                if (TurnsPathIntoLossyText(line))
                    problems.push_back(
                        file + ":" + std::to_string(number) + " turns a path into text that loses bytes");
                const std::string included = QuotedInclude(line);
                if (included.find('/') == std::string::npos)
                    continue;
                const std::string target = owner(fs::path(included).parent_path().generic_string());
                if (target.empty())
                    problems.push_back(file + " includes " + included + ", which is in no folder of the table");
                else if (target != folder && !table.at(folder).contains(target))
                    problems.push_back(file + " includes " + included + ": " + folder + " may not include " + target);
            }
        }
    }
    return problems;
}

TEST(IncludeCheck, ProductFoldersIncludeOnlyWhatTheTableAllowsAndKeepPathBytes)
{
    std::ifstream table(fs::path(LINLANGOK_SOURCE_DIR) / "tests/layout/AllowedIncludes.txt");
    ASSERT_TRUE(table);
    EXPECT_EQ(CheckLayout(LINLANGOK_SOURCE_DIR, table), std::vector<std::string>());
}

TEST(IncludeCheck, FailsOnPlantedWrongIncludesAndLossyPathText)
{
    struct Planted {
        const char* table;
        const char* file;
        std::string line;
        const char* problem;
    };
    const auto include = [](const char* header) { return std::string("#include \"") + header + "\""; };
    const Planted kCases[] = {
        {"core/engine: common\nui/main: core/*\n", "core/engine/Player.h", include("ui/main/Window.h"),
            "core/engine/Player.h includes ui/main/Window.h: core/engine may not include ui/main"},
        {"core/engine: common\nplatform/audio: core/*\n", "core/engine/Player.cpp", include("platform/audio/Device.h"),
            "core/engine/Player.cpp includes platform/audio/Device.h: core/engine may not include platform/audio"},
        {"core/engine: platform/audio\nplatform/audio:\n", "core/engine/Player.h", include("platform/audio/Device.h"),
            "core/engine may not depend on platform/audio: its layer is not below"},
        {"midi: core/engine\ncore/engine:\n", "midi/Song.h", include("core/engine/Clock.h"),
            "midi may not depend on core/engine: its layer is not below"},
        {"ui/main: ui/lyrics\nui/lyrics: ui/main\n", "ui/main/Window.h", include("ui/lyrics/Lyrics.h"),
            "cycle: ui/lyrics -> ui/main -> ui/lyrics"},
        {"core/engine:\n", "core/video/Decoder.h", include("core/engine/Clock.h"),
            "core/video/Decoder.h: its folder has no line in the table"},
        {"core/engine:\n", "core/engine/Player.cpp", include("tests/support/Fake.h"),
            "core/engine/Player.cpp includes tests/support/Fake.h, which is in no folder of the table"},
        {"core/engine:\n", "core/engine/Player.cpp", "    const auto text = Utf8ToUtf16(song->path.string());",
            "core/engine/Player.cpp:1 turns a path into text that loses bytes"},
        {"ui/main:\n", "ui/main/Window.cpp", "    label->setText(path.u16string());",
            "ui/main/Window.cpp:1 turns a path into text that loses bytes"},
    };
    for (const auto& planted : kCases) {
        SCOPED_TRACE(planted.problem);
        test::CTemporaryFolder root;
        fs::create_directories((root.Path() / planted.file).parent_path());
        root.WriteFile(planted.file, planted.line + "\n");
        std::istringstream table(planted.table);
        EXPECT_THAT(CheckLayout(root.Path(), table), ::testing::Contains(std::string(planted.problem)));
    }
}

} // namespace
} // namespace linlangok
