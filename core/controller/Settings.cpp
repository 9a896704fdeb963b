#include "core/controller/Settings.h"

#include "common/ErrorLog.h"
#include "common/FilePath.h"
#include "common/Text.h"
#include "core/controller/IniFile.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace linlangok {
namespace {

constexpr std::u16string_view kPathSection = u"PATH_SETTING";
constexpr std::u16string_view kGlobalSection = u"GLOBAL_SETING";

// One key of the file and the value it holds.
template <typename T> struct Setting {
    std::u16string_view key;
    T SettingsValues::*value;
};

using PathSetting = Setting<std::u16string>;
using IntegerSetting = Setting<std::int32_t>;

constexpr std::array kPathSettings {
    PathSetting {u"PROJECT_DIR", &SettingsValues::projectFolder},
    PathSetting {u"LYRIC_DIR", &SettingsValues::lyricFolder},
    PathSetting {u"PLAY_LIST", &SettingsValues::playListFolder},
    PathSetting {u"CHORD_FILE", &SettingsValues::chordFile},
};

constexpr std::array kIntegerSettings {
    IntegerSetting {u"UNDO_DATA", &SettingsValues::undoValue},
    IntegerSetting {u"WEBS_DATA", &SettingsValues::webValue},
    IntegerSetting {u"LANG_DATA", &SettingsValues::languageValue},
    IntegerSetting {u"MKBOARD_DATA", &SettingsValues::keyboardValue},
    IntegerSetting {u"ATSAVE_DATA", &SettingsValues::autoSaveValue},
    IntegerSetting {u"EXCEPTION_DATA", &SettingsValues::exitMarker},
    IntegerSetting {u"UKVP_DATA", &SettingsValues::ukvpValue},
};

// The program folder as text, without a trailing separator.
std::u16string FolderText(const std::filesystem::path& folder)
{
    std::u16string text = PathToUtf16(folder);
    while (text.size() > 1 && text.back() == u'/')
        text.pop_back();
    return text;
}

SettingsValues DefaultValues(const std::filesystem::path& programFolder, const ICodePage& codePage)
{
    SettingsValues values;
    values.projectFolder = FolderText(programFolder);
    values.lyricFolder = PathToUtf16(programFolder / "Lyric");
    values.playListFolder = PathToUtf16(programFolder / "PlayList");
    values.chordFile = PathToUtf16(programFolder / "Stytles" / "DefChord.crd");
    values.languageValue = LanguageValueForCodePage(codePage.Name());
    return values;
}

std::u16string EncodeInteger(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const std::array<std::uint8_t, 4> bytes {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
        static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    return EncodeProfileStruct(bytes);
}

std::optional<std::int32_t> DecodeInteger(std::u16string_view text)
{
    const auto bytes = DecodeProfileStruct(text, 4);
    if (!bytes)
        return std::nullopt;
    const std::uint32_t bits
        = (*bytes)[0] | (*bytes)[1] << 8 | (*bytes)[2] << 16 | static_cast<std::uint32_t>((*bytes)[3]) << 24;
    return static_cast<std::int32_t>(bits);
}

} // namespace

std::int32_t LanguageValueForCodePage(std::string_view codePageName)
{
    std::string name(codePageName);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    const auto isOneOf = [&](std::initializer_list<std::string_view> names) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (isOneOf({"GBK", "CP936", "936", "GB2312", "GB18030", "EUC-CN"}))
        return 0;
    if (isOneOf({"BIG5", "CP950", "950", "BIG5-HKSCS"}))
        return 1;
    if (isOneOf({"CP932", "932", "SHIFT_JIS", "SHIFT-JIS", "SJIS", "MS_KANJI", "WINDOWS-31J"}))
        return 3;
    return 2;
}

CSettings::CSettings(std::filesystem::path programFolder, const ICodePage& codePage)
    : m_programFolder(std::move(programFolder))
    , m_codePage(codePage)
    , m_filePath(m_programFolder / "OKSetting.ini")
{
    Load();
}

CSettings::~CSettings()
{
    try {
        m_values.exitMarker = 0;
        Save();
    } catch (...) {
        // Write failures at exit are not shown, only logged.
        LogError("saving the settings at exit");
    }
}

void CSettings::Load()
{
    const CIniFile file = CIniFile::Load(m_filePath, m_codePage).value_or(CIniFile(m_codePage));
    m_values = DefaultValues(m_programFolder, m_codePage);
    for (const auto& setting : kPathSettings) {
        if (auto value = file.Value(kPathSection, setting.key); value && !value->empty())
            m_values.*setting.value = std::move(*value);
    }
    for (const auto& setting : kIntegerSettings) {
        if (const auto text = file.Value(kGlobalSection, setting.key)) {
            if (const auto value = DecodeInteger(*text))
                m_values.*setting.value = *value;
        }
    }
}

bool CSettings::Save() const
{
    // What cannot be read is not replaced: its lines would be lost.
    std::optional<CIniFile> file = CIniFile::Load(m_filePath, m_codePage);
    if (!file)
        return false;
    for (const auto& setting : kPathSettings)
        file->SetValue(kPathSection, setting.key, m_values.*setting.value);
    for (const auto& setting : kIntegerSettings) {
        const std::int32_t value = setting.value == &SettingsValues::exitMarker ? 0 : m_values.*setting.value;
        file->SetValue(kGlobalSection, setting.key, EncodeInteger(value));
    }
    return file->Save(m_filePath);
}

} // namespace linlangok
