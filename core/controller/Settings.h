#pragma once

#include "common/CodePage.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace linlangok {

// The values of the settings file. The program reads them all and writes them back; none of its
// own behaviour depends on them (the Lyric and PlayList folders it uses are fixed).
struct SettingsValues {
    std::u16string projectFolder;
    std::u16string lyricFolder;
    std::u16string playListFolder;
    std::u16string chordFile;
    std::int32_t undoValue = 18;
    std::int32_t webValue = 1;
    std::int32_t languageValue = 2;
    std::int32_t keyboardValue = 1;
    std::int32_t autoSaveValue = 1;
    std::int32_t exitMarker = 1;
    std::int32_t ukvpValue = 0;

    bool operator==(const SettingsValues&) const = default;
};

// The language value for a legacy code page name: 0 for Simplified Chinese (GBK, code page
// 936), 1 for Traditional Chinese (Big5, 950), 3 for Japanese (Shift-JIS, 932), 2 otherwise.
std::int32_t LanguageValueForCodePage(std::string_view codePageName);

// The settings file "OKSetting.ini" in the program folder. The four folder values are plain
// strings; the seven integers are 4-byte profile structures. Other sections and keys are kept.
// Reads the file when constructed; writes it, with the exit marker 0, when destroyed. Write
// failures are not reported. Text is converted with codePage, which the caller keeps alive for
// the object's lifetime. UI thread.
class CSettings {
public:
    CSettings(std::filesystem::path programFolder, const ICodePage& codePage);
    ~CSettings();

    CSettings(const CSettings&) = delete;
    CSettings& operator=(const CSettings&) = delete;

    // Reads every value; a missing or unreadable file (see CIniFile::Load), a missing section or
    // key, an empty path value, or an integer that is not a valid 4-byte structure gives the
    // value's default. The language default comes from the code page.
    void Load();

    // Writes every value, in order, into the file as it is now (the exit marker as 0), through a
    // temporary file and a rename. False when the file could not be written, or could not be
    // read (a directory, a FIFO, a device or an oversized file is left as it is).
    bool Save() const;

    const SettingsValues& Values() const { return m_values; }
    SettingsValues& Values() { return m_values; }
    const std::filesystem::path& FilePath() const { return m_filePath; }

private:
    std::filesystem::path m_programFolder;
    const ICodePage& m_codePage;
    std::filesystem::path m_filePath;
    SettingsValues m_values;
};

} // namespace linlangok
