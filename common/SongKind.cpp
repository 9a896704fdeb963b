#include "common/SongKind.h"

#include <string>

namespace linlangok {

namespace {

// The text after the path's last "." (the whole path without one), upper-cased.
std::u16string UpperExtension(std::u16string_view path)
{
    const size_t dot = path.rfind(u'.');
    std::u16string extension(dot == std::u16string_view::npos ? path : path.substr(dot + 1));
    for (char16_t& character : extension)
        if (character >= u'a' && character <= u'z')
            character = static_cast<char16_t>(character - u'a' + u'A');
    return extension;
}

} // namespace

ESongKind DetectSongKind(std::u16string_view path)
{
    const std::u16string extension = UpperExtension(path);
    return extension == u"JP" || extension == u"MID" || extension == u"MIDI" || extension == u"KAR" ? ESongKind::Midi
                                                                                                    : ESongKind::Audio;
}

bool IsVideoFileName(std::u16string_view path)
{
    const std::u16string extension = UpperExtension(path);
    for (const char16_t* video : {u"MPG", u"MPEG", u"VOB", u"DAT", u"MKV", u"MP4", u"AVI", u"WEBM", u"TS", u"M2TS"})
        if (extension == video)
            return true;
    return false;
}

bool IsSongFileName(std::u16string_view path)
{
    const std::u16string extension = UpperExtension(path);
    return DetectSongKind(path) == ESongKind::Midi || extension == u"WAV" || extension == u"MP3" || extension == u"OGG"
        || extension == u"FLAC" || extension == u"ZIP" || IsVideoFileName(path);
}

} // namespace linlangok
