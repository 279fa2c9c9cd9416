// Which list colours are readable: the contrast of the parameter file's colours.
#include "store/ListColors.h"
#include "store/SystemParameters.h"

#include <gtest/gtest.h>

namespace {

TEST(ListColors, ContrastDecidesBetweenTheFileAndTheStyle) {
    constexpr int32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
    EXPECT_DOUBLE_EQ(ColorContrast(kBlack, kWhite), 21.0);
    EXPECT_DOUBLE_EQ(ColorContrast(kWhite, kBlack), 21.0);
    EXPECT_DOUBLE_EQ(ColorContrast(0x123456, 0x123456), 1.0);
    // The channels weigh as the eye sees them: green counts most, blue least.
    EXPECT_GT(ColorContrast(kBlack, 0x00FF00), ColorContrast(kBlack, 0x0000FF));
    EXPECT_GT(ColorContrast(kBlack, 0x0000FF), ColorContrast(kBlack, 0xFF0000));

    // The file's defaults are readable; a file without the colour keys (all 0) is not.
    EXPECT_TRUE(ListColorsReadable(kDefaultListColor, kDefaultFontBkColor, kDefaultFontColor));
    EXPECT_GT(ColorContrast(kDefaultFontColor, kDefaultFontBkColor), 7.0);
    EXPECT_FALSE(ListColorsReadable(0, 0, 0));
    // Only the text colour missing: black texts on the default blue are readable.
    EXPECT_TRUE(ListColorsReadable(kDefaultListColor, kDefaultFontBkColor, 0));
    // Only the backgrounds missing: dark grey on black is not.
    EXPECT_FALSE(ListColorsReadable(0, 0, kDefaultFontColor));
    // Texts that stand out from the cells but not from the list's own background.
    EXPECT_FALSE(ListColorsReadable(0x202020, kWhite, 0x282828));
    // A pair close to the line: mid grey on white is just below it, a darker grey just above.
    EXPECT_FALSE(ListColorsReadable(kWhite, kWhite, 0x808080)); // about 3.9
    EXPECT_TRUE(ListColorsReadable(kWhite, kWhite, 0x707070));  // about 4.95
}

} // namespace
