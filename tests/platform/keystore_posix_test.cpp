#include "platform/KeyStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr const char* kKey = "Ornisys\\";

// Points XDG_CONFIG_HOME at a fresh folder that does not exist yet. The cases here need POSIX:
// file modes, the umask, inodes, a reader keeping a replaced file open.
class KeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = testsupport::MakeTempFolder("talvorn-keystore");
        if (const char* home = std::getenv("HOME"))
            home_ = home;
        testsupport::SetUserSettingsFolder(base_ + "/config");
    }
    void TearDown() override {
        testsupport::SetEnv("HOME", home_);
        fs::remove_all(base_);
    }

    static Bytes fileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void writeFile(const std::string& path, const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static Bytes get(const char* name) {
        Bytes v;
        KeyStore::getValue(kKey, name, v);
        return v;
    }
    std::string base_;
    std::string home_;
};

const Bytes kRecord = {'b', 'o', 'b', 0, 0xFF, 0x00, 0x7F, 0x80, 1};

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
