#pragma once

#include "common/CodePage.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The encodings a song's texts may be in besides the legacy code page: MIDI meta texts and LRC
// files without a byte-order mark are often UTF-8, or in the code page of another locale. The
// readers take a detector that names the encoding of a song's text bytes, or is unsure; unsure
// leaves the legacy rules in force.
namespace linlangok {

// Detection reads at most this many bytes of a song's texts.
inline constexpr std::size_t kEncodingSampleBytes = 64 * 1024;

// Appends one text piece of a song to the sample for detection, after a line feed, as far as
// kEncodingSampleBytes allows.
void AppendToEncodingSample(std::string& sample, std::string_view piece);

class ITextEncodingDetector {
public:
    virtual ~ITextEncodingDetector() = default;

    // The converter for text in the encoding of the bytes (all the texts of one song together),
    // or null when unsure. Any bytes are fine; never throws. The converter lives as long as the
    // detector.
    virtual const ICodePage* Detect(std::string_view bytes) const = 0;
    // The encoding the user chose for the song's texts, before anything a file says of itself;
    // null for none.
    virtual const ICodePage* Chosen() const { return nullptr; }
    // The converter of an encoding a song file names for itself ("GBK", "CP1252"); null for a
    // name it does not know.
    virtual const ICodePage* Named(std::string_view) const { return nullptr; }
};

// An encoding the user can choose for a song's texts.
struct TextEncodingChoice {
    std::string name; // as the tool's --encoding and a song's override give it: "UTF-8", "BIG5"
    std::u16string label; // as a menu shows it: "繁体中文 (BIG5)"
};

// The encodings a song's texts can be read in, and the detection that chooses among them.
class ITextEncodings : public ITextEncodingDetector {
public:
    // Every choice, in menu order.
    virtual const std::vector<TextEncodingChoice>& Choices() const = 0;

    // The converter of the choice with this name (ASCII case ignored); also found by another name
    // of the same encoding. Null for an empty or unknown name.
    virtual const ICodePage* Find(std::string_view name) const = 0;

    const ICodePage* Named(std::string_view name) const override { return Find(name); }
};

// Whether the bytes are valid UTF-8 whose characters outside ASCII are all Latin letters ("ü",
// "é", "ß") inside words that hold ASCII letters ("Brüder", "Noël"): European text, however short,
// that a legacy code page would read as other characters ("Br眉"). False for text without such
// letters and for invalid UTF-8.
bool IsUtf8LatinInAsciiWords(std::string_view bytes);

// A detector that is never sure: the legacy rules alone.
const ITextEncodingDetector& NoEncodingDetection();

// Detection with a song's encoding override: the encoding the name finds when it finds one,
// otherwise what the encodings detect. Both outlive the object; the name is read at each Detect,
// so a changed override takes effect at once.
class CEncodingOverride final : public ITextEncodingDetector {
public:
    CEncodingOverride(const ITextEncodings& encodings, const std::string& name)
        : m_encodings(encodings)
        , m_name(name)
    {
    }

    const ICodePage* Detect(std::string_view bytes) const override;
    const ICodePage* Chosen() const override { return m_encodings.Find(m_name); }
    const ICodePage* Named(std::string_view name) const override { return m_encodings.Find(name); }

private:
    const ITextEncodings& m_encodings;
    const std::string& m_name;
};

} // namespace linlangok
