#include "core/session/SongKind.h"

#include <string>

namespace linlangok {

ESongKind DetectSongKind(std::u16string_view path)
{
    const size_t dot = path.rfind(u'.');
    std::u16string extension(dot == std::u16string_view::npos ? path : path.substr(dot + 1));
    for (char16_t& character : extension)
        if (character >= u'a' && character <= u'z')
            character = static_cast<char16_t>(character - u'a' + u'A');
    return extension == u"JP" || extension == u"MID" || extension == u"MIDI" || extension == u"KAR" ? ESongKind::Midi
                                                                                                    : ESongKind::Audio;
}

} // namespace linlangok
