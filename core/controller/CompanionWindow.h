#pragma once

// The companion windows (歌词秀, 播放列表, 音量控制) as the main window's controller shows and hides
// them.
namespace linlangok {

enum class ECompanion { Lyrics, SongList, Volume };

class ICompanionWindow {
public:
    virtual ~ICompanionWindow() = default;
    virtual bool IsShown() const = 0;
    virtual void SetShown(bool shown) = 0;
};

// The companion windows, once they exist (they are made after the main window); null before.
struct CompanionWindows {
    ICompanionWindow* lyrics = nullptr;
    ICompanionWindow* songList = nullptr;
    ICompanionWindow* volume = nullptr;
};

} // namespace linlangok
