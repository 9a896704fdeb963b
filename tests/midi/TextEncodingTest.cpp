// The encodings of song texts: the choices and uchardet's detection.

#include "platform/codepage/UchardetTextEncodings.h"

#include <gtest/gtest.h>

#include <random>

namespace linlangok::test {
namespace {

TEST(TextEncodings, ChoicesAndTheirNames)
{
    const CIconvCodePage gbk("GBK");
    const CIconvCodePage big5("BIG5");
    const CUchardetTextEncodings underGbk(gbk);
    const CUchardetTextEncodings underBig5(big5);
    const auto names = [](const ITextEncodings& encodings) {
        std::vector<std::string> names;
        for (const TextEncodingChoice& choice : encodings.Choices())
            names.push_back(choice.name);
        return names;
    };
    EXPECT_EQ(names(underGbk), (std::vector<std::string> {"GBK", "UTF-8", "GB18030", "BIG5", "CP932", "CP949"}));
    EXPECT_EQ(underGbk.Choices()[0].label, u"系统默认 (GBK)");
    // The legacy BIG5 stands for its family.
    EXPECT_EQ(names(underBig5), (std::vector<std::string> {"BIG5", "UTF-8", "GB18030", "CP932", "CP949"}));
    const struct {
        const ITextEncodings& encodings;
        const char* name;
        const char* found; // the converter's name, empty for none
    } cases[] = {
        {underGbk, "gbk", "GBK"},
        {underGbk, "Shift_JIS", "CP932"},
        {underGbk, "euc-kr", "CP949"},
        {underGbk, "CP950", "BIG5"},
        {underBig5, "GBK", "GB18030"},
        {underBig5, "CP950", "BIG5"},
        {underGbk, "KOI8-R", ""},
        {underGbk, "", ""},
    };
    for (const auto& test : cases) {
        const ICodePage* found = test.encodings.Find(test.name);
        EXPECT_EQ(found ? found->Name() : "", test.found) << test.name;
    }
    EXPECT_EQ(underBig5.Find("BIG5"), &big5);
}

TEST(TextEncodings, DetectionTakesAnyBytes)
{
    const CIconvCodePage gbk("GBK");
    const CUchardetTextEncodings encodings(gbk);
    std::mt19937 random(11);
    for (int run = 0; run < 2000; ++run) {
        std::string bytes(random() % 200, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        // Unsure, or one of the choices.
        if (const ICodePage* detected = encodings.Detect(bytes)) {
            EXPECT_EQ(encodings.Find(detected->Name()), detected);
        }
    }
}

} // namespace
} // namespace linlangok::test
