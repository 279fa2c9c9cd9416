#include "NameField.h"

#include <gtest/gtest.h>

namespace nodesim {
namespace {

std::string Field(std::string_view name) {
    return FieldToString(MakeNameField(name));
}

TEST(NameField, BuildsTheNodeNameField) {
    EXPECT_EQ(Field("abc.dst"), "ABC     DST ");
    EXPECT_EQ(Field("/some/dir/Design01.Dsb"), "DESIGN01DSB ");
    EXPECT_EQ(Field("averylongname.upt"), "AVERYLONUPT "); // base cut to 8
    EXPECT_EQ(Field("a.b.extension"), "A.B     EXTE");     // last dot; extension cut to 4
    EXPECT_EQ(Field("readme"), "README      ");
    EXPECT_EQ(Field("twelvecharsxx"), "TWELVECHARSX"); // no dot: copied whole, cut at 12
    EXPECT_EQ(Field(".profile"), ".PROFILE    ");
}

TEST(NameField, TrailingZerosAndBlanksCompareAlike) {
    const NameField stored = MakeNameField("abc.dst");
    EXPECT_TRUE(SameName(stored, FieldFromString(std::string("ABC     DST\0", 12))));
    EXPECT_TRUE(SameName(stored, FieldFromString("ABC     DST")));
    EXPECT_FALSE(SameName(stored, FieldFromString("ABC     DSTX")));
    EXPECT_FALSE(SameName(stored, FieldFromString("ABC DST")));
    EXPECT_TRUE(SameName(FieldFromString(""), FieldFromString("            ")));
}

TEST(NameField, MirrorNamesAreSafeFileNames) {
    EXPECT_EQ(MirrorFileName(MakeNameField("abc.dst")), "ABC.DST");
    EXPECT_EQ(MirrorFileName(MakeNameField("readme")), "README");
    EXPECT_EQ(MirrorFileName(FieldFromString("A/B\x01    C  ")), "A_B_.C");
    EXPECT_EQ(MirrorFileName(FieldFromString("..")), "_..");
    EXPECT_EQ(MirrorFileName(FieldFromString("")), "_");
}

} // namespace
} // namespace nodesim
