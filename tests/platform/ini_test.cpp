#include "IniTestFiles.h"

namespace {

using namespace initest;

TEST_F(Ini, SectionAndKeyNamesIgnoreCaseAndFirstOccurrenceWins) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "[Sys_Para]\r\nChannel1ComID=first\r\nCHANNEL1COMID=second\r\n"
                "[SYS_PARA]\r\nchannel1comid=third\r\nOther=x\r\n");
    EXPECT_EQ(ProfileGetString(f, "sys_para", "channel1comid", "d"), "first");
    // A key only in the duplicate section is not seen: the first section wins as a whole.
    EXPECT_EQ(ProfileGetString(f, "SYS_PARA", "Other", "d"), "d");

    ASSERT_TRUE(ProfileSetString(f, "SYS_para", "Channel1ComId", "new"));
    EXPECT_EQ(ProfileGetString(f, "Sys_Para", "CHANNEL1COMID", ""), "new");
    // Only the first occurrence changed, spelled as the file spells it.
    EXPECT_EQ(readAll(f), "[Sys_Para]\r\nChannel1ComID=new\r\nCHANNEL1COMID=second\r\n"
                          "[SYS_PARA]\r\nchannel1comid=third\r\nOther=x\r\n");

    // Every letter folds, the first and the last of the alphabet included.
    const std::string g = dir.file("az.ini");
    writeRaw(g, "[ABCDEFGHIJKLMNOPQRSTUVWXYZ]\nabcdefghijklmnopqrstuvwxyz=lower\n");
    EXPECT_EQ(ProfileGetString(g, "abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", ""),
              "lower");
    ASSERT_TRUE(
        ProfileSetString(g, "abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "z"));
    EXPECT_EQ(readAll(g), "[ABCDEFGHIJKLMNOPQRSTUVWXYZ]\r\nabcdefghijklmnopqrstuvwxyz=z\r\n");
}

TEST_F(Ini, MissingFileSectionOrKeyReadsAsDefault) {
    const std::string f = dir.file("none.ini");
    EXPECT_EQ(ProfileGetString(f, "S", "k", "dflt"), "dflt");
    EXPECT_EQ(ProfileGetString(dir.file("no/such/folder.ini"), "S", "k", "0"), "0");
    EXPECT_TRUE(ProfileGetSectionNames(f).empty());
    writeRaw(f, "[S]\nk=v\n");
    EXPECT_EQ(ProfileGetString(f, "S", "other", "d"), "d");
    EXPECT_EQ(ProfileGetString(f, "T", "k", "d"), "d");
    // A present but empty value is not the default.
    writeRaw(f, "[S]\nk=\n");
    EXPECT_EQ(ProfileGetString(f, "S", "k", "d"), "");
}

TEST_F(Ini, ValuesAndNamesAreTrimmedOfBlanks) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "  [ Sec ]  \n\t key one \t=  two  words \t\n");
    EXPECT_EQ(ProfileGetString(f, "Sec", "key one", ""), "two  words");
}

TEST_F(Ini, WritesKeepOtherLinesAndPlaceNewKeysAndSections) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "; header comment\n"
                "[A]\n"
                "x=1\n"
                "; inside A\n"
                "unknown line without equals\n"
                "\n"
                "[B]\n"
                "y=2\n");
    ASSERT_TRUE(ProfileSetString(f, "A", "new", "n"));
    ASSERT_TRUE(ProfileSetString(f, "B", "y", "3"));
    ASSERT_TRUE(ProfileSetString(f, "C", "z", "4"));
    EXPECT_EQ(readAll(f), "; header comment\r\n"
                          "[A]\r\n"
                          "x=1\r\n"
                          "; inside A\r\n"
                          "unknown line without equals\r\n"
                          "new=n\r\n"
                          "\r\n"
                          "[B]\r\n"
                          "y=3\r\n"
                          "[C]\r\n"
                          "z=4\r\n");
}

// Keys added in the middle of a text move the lines below them; one text changed many times in
// memory must still find every key, first occurrences first, as a fresh reading of it does.
TEST(ProfileTextChanges, KeysAddedBetweenOthersAreFoundAsAFreshReadingFindsThem) {
    ProfileText doc("[A]\nk0=a\n[B]\nk0=b\nK0=dup\n\n[a]\nk0=second A\n[C]\nc=1\n");
    for (int i = 1; i <= 40; ++i) {
        const std::string key = "k" + std::to_string(i);
        ASSERT_TRUE(doc.set("A", key, "a" + std::to_string(i)));
        ASSERT_TRUE(doc.set(" b ", key, "b" + std::to_string(i)));
        if (i % 7 == 0) {
            ASSERT_TRUE(doc.set("A", "k" + std::to_string(i / 7), "again"));
        }
    }
    const ProfileText fresh(doc.text());
    for (const ProfileText* d : {static_cast<const ProfileText*>(&doc), &fresh}) {
        EXPECT_EQ(d->find("a", "K0"), "a");
        EXPECT_EQ(d->find("B", "k0"), "b");
        for (int i = 1; i <= 40; ++i) {
            const std::string key = "K" + std::to_string(i);
            EXPECT_EQ(d->find("A", key), i <= 5 ? "again" : "a" + std::to_string(i)) << key;
            EXPECT_EQ(d->find("b", key), "b" + std::to_string(i)) << key;
        }
        EXPECT_FALSE(d->find("A", "k41").has_value());
        EXPECT_EQ(d->find("c", "C"), "1");
    }
    EXPECT_EQ(fresh.text(), doc.text());
}

TEST_F(Ini, ReadsLfAndCrlfWritesCrlfAndCreatesTheFileOnFirstWrite) {
    const std::string f = dir.file("new.ini");
    ASSERT_FALSE(fs::exists(f));
    ASSERT_TRUE(ProfileSetString(f, "S", "a", "1"));
    ASSERT_TRUE(ProfileSetString(f, "S", "b", "2"));
    EXPECT_EQ(readAll(f), "[S]\r\na=1\r\nb=2\r\n");

    const std::string g = dir.file("lf.ini");
    writeRaw(g, "[S]\nlf=1\n[T]\r\ncrlf=2\r\nlast=3");
    EXPECT_EQ(ProfileGetString(g, "S", "lf", ""), "1");
    EXPECT_EQ(ProfileGetString(g, "T", "crlf", ""), "2");
    EXPECT_EQ(ProfileGetString(g, "T", "last", ""), "3");
    ASSERT_TRUE(ProfileSetString(g, "T", "crlf", "x"));
    const std::string text = readAll(g);
    EXPECT_EQ(text, "[S]\r\nlf=1\r\n[T]\r\ncrlf=x\r\nlast=3\r\n");

    // A folder that does not exist is not created.
    EXPECT_FALSE(ProfileSetString(dir.file("missing/x.ini"), "S", "k", "v"));
}

TEST_F(Ini, DeletesAndListsSections) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "[A]\nk1=1\nK2 = 2\nk1=dup\n[B]\nb=1\n[a]\nk3=3\n");
    auto keys = ProfileGetSection(f, "a");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], (std::pair<std::string, std::string>{"k1", "1"}));
    EXPECT_EQ(keys[1], (std::pair<std::string, std::string>{"K2", "2"}));
    EXPECT_EQ(ProfileGetSectionNames(f), (std::vector<std::string>{"A", "B"}));

    ASSERT_TRUE(ProfileDeleteKey(f, "A", "K1"));
    EXPECT_EQ(ProfileGetString(f, "A", "k1", "gone"), "gone");
    ASSERT_TRUE(ProfileDeleteSection(f, "A"));
    EXPECT_EQ(readAll(f), "[B]\r\nb=1\r\n");
}

TEST_F(Ini, RefusesNamesAndValuesThatWouldAddLines) {
    const std::string f = dir.file("a.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "a\r\n[EVIL]\nx=1\0y"s));
    EXPECT_FALSE(ProfileSetString(f, "S]\n[T", "k", "v"));
    EXPECT_FALSE(ProfileSetString(f, "S", "k=1", "v"));
    EXPECT_FALSE(ProfileSetString(f, "S", "", "v"));
    EXPECT_FALSE(ProfileSetString(f, "", "k", "v"));
    EXPECT_EQ(ProfileGetSectionNames(f), (std::vector<std::string>{"S"}));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "a??[EVIL]?x=1?y");
}

TEST_F(Ini, BatchWritesOnceAndShowsItsPendingChanges) {
    const std::string f = dir.file("a.ini");
    writeRaw(f, "[S]\nold=1\n");
    const std::string before = readAll(f);
    ProfileBatch b(f);
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(b.set("S" + std::to_string(i % 5), "k" + std::to_string(i), std::to_string(i)));
    EXPECT_EQ(b.get("S3", "K8", ""), "8");
    EXPECT_EQ(readAll(f), before); // nothing reaches the file before commit
    EXPECT_EQ(ProfileGetString(f, "S3", "k8", "none"), "none");
    ASSERT_TRUE(b.commit());
    EXPECT_FALSE(b.dirty());
    EXPECT_EQ(ProfileGetString(f, "S3", "k8", ""), "8");
    EXPECT_EQ(ProfileGetString(f, "S4", "k499", ""), "499");
    EXPECT_EQ(ProfileGetString(f, "S", "old", ""), "1");

    ProfileBatch c(f);
    c.clear();
    ASSERT_TRUE(c.set("N", "k", "v"));
    ASSERT_TRUE(c.commit());
    EXPECT_EQ(readAll(f), "[N]\r\nk=v\r\n");
}

TEST_F(Ini, CacheNoticesChangesMadeUnderneath) {
    const std::string f = dir.file("a.ini");
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "aaaa"));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "aaaa");

    // Same size, same inode, written in place within one tick of a coarse file-system clock
    // (the time stamp is put back): only the content tells.
    const auto written = fs::last_write_time(f);
    {
        std::fstream io(f, std::ios::in | std::ios::out | std::ios::binary);
        io.seekp(static_cast<std::streamoff>(readAll(f).find("aaaa")));
        io << "bbbb";
    }
    fs::last_write_time(f, written);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "bbbb");

    // Replaced by another program.
    writeRaw(f + ".other", "[S]\r\nk=other value\r\n");
    fs::rename(f + ".other", f);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "other value");

    // Removed.
    fs::remove(f);
    EXPECT_EQ(ProfileGetString(f, "S", "k", "gone"), "gone");

    // An old file is trusted by its time stamp; a same-size change with a new stamp is seen.
    writeRaw(f, "[S]\nk=1\n");
    const auto stamp = fs::last_write_time(f);
    fs::last_write_time(f, stamp - std::chrono::hours(2));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "1");
    writeRaw(f, "[S]\nk=2\n");
    fs::last_write_time(f, stamp - std::chrono::hours(1));
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "2");
}

TEST_F(Ini, GarbageBinaryAndHugeFilesAreReadSafely) {
    const std::string bin = dir.file("bin.ini");
    std::mt19937 rng(7);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng());
    writeRaw(bin, junk);
    EXPECT_EQ(ProfileGetString(bin, "SYS_PARA", "Channel1ComSum", "0"), "0");
    ProfileGetSectionNames(bin);

    // NUL bytes: a value ends at its first NUL, a key with one matches nothing.
    const std::string nul = dir.file("zero.ini");
    writeRaw(nul, "[S]\nk=ab\0cd\nz\0z=1\n[T]\nk=2\n"s);
    EXPECT_EQ(ProfileGetString(nul, "S", "k", ""), "ab");
    writeRaw(dir.file("zero2.ini"), "[S]\nk=/work \0 \n"s);
    EXPECT_EQ(ProfileGetString(dir.file("zero2.ini"), "S", "k", ""), "/work"); // trimmed after
    EXPECT_EQ(ProfileGetString(nul, "S", "z", "d"), "d");
    EXPECT_EQ(ProfileGetString(nul, "T", "k", ""), "2");
    // Writing keeps the other lines byte for byte.
    ASSERT_TRUE(ProfileSetString(nul, "T", "k", "3"));
    EXPECT_EQ(readAll(nul), "[S]\r\nk=ab\0cd\r\nz\0z=1\r\n[T]\r\nk=3\r\n"s);

    // One 4 MB line without a line end.
    const std::string longLine = dir.file("long.ini");
    writeRaw(longLine, "[S]\nk=" + std::string(4 << 20, 'v'));
    EXPECT_EQ(ProfileGetString(longLine, "S", "k", "").size(), size_t(4 << 20));

    // Bigger than the cap (sparse, so it costs no disk): read up to the cap, never rewritten.
    const std::string huge = dir.file("huge.ini");
    writeRaw(huge, "[S]\nk=v\n");
    fs::resize_file(huge, kMaxProfileFileBytes + 4096);
    EXPECT_EQ(ProfileGetString(huge, "S", "k", ""), "v");
    EXPECT_FALSE(ProfileSetString(huge, "S", "k", "w"));
    EXPECT_EQ(fs::file_size(huge), kMaxProfileFileBytes + 4096);

    // Not a file at all.
    EXPECT_EQ(ProfileGetString(dir.path(), "S", "k", "d"), "d");
    EXPECT_FALSE(ProfileSetString(dir.path(), "S", "k", "v"));
}

} // namespace
