#include "platform/codepage/IconvCodePage.h"

#include <gmock/gmock.h>

// Every test runs with the Chinese legacy code page, whatever the machine's locale.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    linlangok::SetLegacyCodePage(std::make_shared<linlangok::CIconvCodePage>("GBK"));
    return RUN_ALL_TESTS();
}
