#pragma once

#include <cstdint>

namespace linlangok {

class CMidiTrack;

// Syllables per display line of the lyrics show window; a header line of a lyric track is one
// syllable with its text followed by this many minus one empty syllables.
inline constexpr int kSyllablesPerLine = 10;

// What a lyric syllable starts: nothing more, a new line ("/" in a .kar text event) or a new
// paragraph ("\\"). Syllables of lyric events never start either.
enum class ELyricBreak : std::uint8_t { None, Line, Paragraph };

// Where the session hands the lyric track of the song it loaded: the lyrics presenter implements
// it. Called on the UI thread.
class ILyricTrackView {
public:
    virtual ~ILyricTrackView() = default;

    // The track whose syllables and header lines are drawn, or null for none. The track belongs
    // to the song and stays valid until the next call; after it the view recomputes its display
    // lines from the syllable count.
    virtual void SetLyricTrack(const CMidiTrack* track) = 0;
};

} // namespace linlangok
