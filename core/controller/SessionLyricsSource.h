#pragma once

#include "core/lyrics/LyricsPresenter.h"

namespace linlangok {

class CKaraokeSession;
class IMainCommands;

// The lyrics show's song: the session's position, kind, idle flag, lyric path, nudge and texts,
// and the main controller's playing flag; nothing while the controller loads a song. Both
// outlive it. UI thread.
class CSessionLyricsSource final : public ILyricsSongSource {
public:
    CSessionLyricsSource(CKaraokeSession& session, const IMainCommands& controller);

    std::optional<LyricsSongState> Read() const override;
    const ITextEncodingDetector& TextEncoding() const override;

private:
    CKaraokeSession& m_session;
    const IMainCommands& m_controller;
};

} // namespace linlangok
