// Key-store cases that need POSIX: file modes, the umask, inodes, a reader keeping a replaced
// file open.
#include "KeyStoreFixture.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace keystoretest;

TEST_F(KeyStoreTest, FileNameAndPermissions) {
    mode_t old = ::umask(0); // our modes must not depend on the caller's umask
    uint8_t b = 1;
    bool stored = KeyStore::setValue(kKey, "x", &b, 1);
    ::umask(old);
    ASSERT_TRUE(stored);

    std::string file = KeyStore::keyFile(kKey);
    EXPECT_EQ(file, base_ + "/config/talvorn/Ornisys.key");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((base_ + "/config/talvorn").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((base_ + "/config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Nothing in a key path can lead out of the store's folder.
    EXPECT_EQ(KeyStore::keyFile("..\\..\\etc/passwd"),
              base_ + "/config/talvorn/%2E.%5C..%5Cetc%2Fpasswd.key");
    EXPECT_EQ(KeyStore::keyFile("\\"), "");
    testsupport::SetEnv("XDG_CONFIG_HOME", "relative/dir"); // not absolute: ignored
    testsupport::SetEnv("HOME", base_);
    EXPECT_EQ(KeyStore::rootFolder(), base_ + "/.config/talvorn");
}

TEST_F(KeyStoreTest, ReplaceMakesANewFileAndOldReadersKeepTheOldTable) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "item01", kRecord.data(), kRecord.size()));
    const std::string file = KeyStore::keyFile(kKey);
    const Bytes before = fileBytes(file);
    std::ifstream oldView(file, std::ios::binary); // a reader that opened the old table
    struct stat st1 {
    }, st2{};
    ASSERT_EQ(::stat(file.c_str(), &st1), 0);

    uint8_t one = 1;
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &one, 1));
    ASSERT_EQ(::stat(file.c_str(), &st2), 0);
    EXPECT_NE(st1.st_ino, st2.st_ino) << "the file must be replaced, not rewritten in place";
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(oldView), {}), before);
}

} // namespace
