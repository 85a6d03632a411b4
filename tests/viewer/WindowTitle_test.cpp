#include "viewer/app/WindowTitle.h"

#include <gtest/gtest.h>

namespace telvo {
namespace {

TEST(WindowTitle, ShowsChannelNumberAndContinuousSave) {
    EXPECT_EQ(L"TelvoClient - Channel 1 [No.0]", FormatWindowTitle(0, 0, false));
    EXPECT_EQ(L"TelvoClient - Channel 2 [No.15] 連続保存中", FormatWindowTitle(1, 15, true));
    EXPECT_EQ(L"TelvoClient - Channel 7 [No.-1]", FormatWindowTitle(6, 0xFFFFFFFF, false));
    EXPECT_EQ(L"TelvoClient - Channel -2147483648 [No.0]", FormatWindowTitle(2147483647, 0, false));
}

}  // namespace
}  // namespace telvo
