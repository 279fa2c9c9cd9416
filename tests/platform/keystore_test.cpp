#include "KeyStoreFixture.h"

namespace {

using namespace keystoretest;

TEST_F(KeyStoreTest, ValuesRoundTripAndOverwrite) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "item01", kRecord.data(), kRecord.size()));
    ASSERT_TRUE(KeyStore::setValue(kKey, "empty", nullptr, 0));
    uint8_t one = 1;
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &one, 1));

    Bytes v;
    EXPECT_EQ(KeyStore::getValue(kKey, "item01", v), KeyRead::kOk);
    EXPECT_EQ(v, kRecord);
    EXPECT_EQ(KeyStore::getValue(kKey, "empty", v), KeyRead::kOk);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(get("itemsum"), Bytes{1});

    uint8_t two = 2;
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &two, 1));
    EXPECT_EQ(get("itemsum"), Bytes{2});
    EXPECT_EQ(get("item01"), kRecord);
    EXPECT_EQ(KeyStore::listValues(kKey), (std::vector<std::string>{"item01", "empty", "itemsum"}));
}

TEST_F(KeyStoreTest, MissingKeyMissingValueAndDelete) {
    Bytes v{9};
    EXPECT_FALSE(KeyStore::exists(kKey));
    EXPECT_EQ(KeyStore::getValue(kKey, "itemsum", v), KeyRead::kNoKey);
    EXPECT_TRUE(v.empty());
    EXPECT_FALSE(KeyStore::deleteValue(kKey, "itemsum"));
    EXPECT_FALSE(KeyStore::exists(kKey)) << "a failed delete must not create the key";

    ASSERT_TRUE(KeyStore::create(kKey));
    EXPECT_TRUE(KeyStore::exists(kKey));
    EXPECT_EQ(KeyStore::getValue(kKey, "itemsum", v), KeyRead::kNoValue);
    EXPECT_FALSE(KeyStore::deleteValue(kKey, "itemsum"));

    uint8_t b = 5;
    ASSERT_TRUE(KeyStore::setValue(kKey, "a", &b, 1));
    ASSERT_TRUE(KeyStore::setValue(kKey, "b", &b, 1));
    EXPECT_TRUE(KeyStore::deleteValue(kKey, "a"));
    EXPECT_EQ(KeyStore::getValue(kKey, "a", v), KeyRead::kNoValue);
    EXPECT_EQ(get("b"), Bytes{5});
    EXPECT_TRUE(KeyStore::exists(kKey)) << "deleting the last-but-one value keeps the key";
}

TEST_F(KeyStoreTest, BufferReadCopiesNoMoreThanCapacityOrValue) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "v", kRecord.data(), kRecord.size()));
    uint8_t buf[16];
    std::fill(std::begin(buf), std::end(buf), 0xAA);
    size_t size = 0;
    EXPECT_EQ(KeyStore::getValue(kKey, "v", buf, 4, &size), KeyRead::kOk);
    EXPECT_EQ(size, kRecord.size());
    EXPECT_EQ(Bytes(buf, buf + 4), Bytes(kRecord.begin(), kRecord.begin() + 4));
    EXPECT_EQ(buf[4], 0xAA);

    EXPECT_EQ(KeyStore::getValue(kKey, "w", buf, sizeof buf, &size), KeyRead::kNoValue);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buf[4], 0xAA);
}

TEST_F(KeyStoreTest, FileNameStaysInTheStore) {
    uint8_t b = 1;
    ASSERT_TRUE(KeyStore::setValue(kKey, "x", &b, 1));
    std::string file = KeyStore::keyFile(kKey);
    EXPECT_EQ(fs::path(file), fs::path(base_ + "/config/talvorn/Ornisys.key"));
    EXPECT_TRUE(fs::is_regular_file(file));
    // Nothing in a key path can lead out of the store's folder.
    EXPECT_EQ(fs::path(KeyStore::keyFile("..\\..\\etc/passwd")),
              fs::path(base_ + "/config/talvorn/%2E.%5C..%5Cetc%2Fpasswd.key"));
    EXPECT_EQ(KeyStore::keyFile("\\"), "");
}

TEST_F(KeyStoreTest, TruncatedOrCorruptFileIsReadSafely) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "item01", kRecord.data(), kRecord.size()));
    uint8_t one = 1;
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &one, 1));
    const std::string file = KeyStore::keyFile(kKey);
    const Bytes good = fileBytes(file);

    // Every value read back from a damaged file is the stored one or missing, never garbage.
    auto checkSound = [&](const std::string& what) {
        Bytes v;
        KeyRead r = KeyStore::getValue(kKey, "item01", v);
        if (r == KeyRead::kOk) {
            EXPECT_EQ(v, kRecord) << what;
        }
        r = KeyStore::getValue(kKey, "itemsum", v);
        if (r == KeyRead::kOk) {
            EXPECT_EQ(v, Bytes{1}) << what;
        }
    };
    for (size_t len = 0; len < good.size(); ++len) {
        writeFile(file, Bytes(good.begin(), good.begin() + long(len)));
        checkSound("cut to " + std::to_string(len));
        EXPECT_NE(get("itemsum"), Bytes{1}) << "the last value cannot survive a cut";
    }
    for (size_t pos = 0; pos < good.size(); ++pos) {
        for (uint8_t flip : {0x01, 0x80, 0xFF}) {
            Bytes bad = good;
            bad[pos] ^= flip;
            writeFile(file, bad);
            checkSound("flip at " + std::to_string(pos));
        }
    }
    // Sizes far beyond the file.
    Bytes huge(good.begin(), good.begin() + 8);
    huge.insert(huge.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 'x', 'y', 'z', 0});
    writeFile(file, huge);
    EXPECT_TRUE(KeyStore::exists(kKey));
    EXPECT_TRUE(KeyStore::listValues(kKey).empty());

    // A file that is not ours counts as a missing key; a write keeps it aside and starts anew.
    writeFile(file, Bytes{'[', 'x', ']', '\n'});
    EXPECT_FALSE(KeyStore::exists(kKey));
    ASSERT_TRUE(KeyStore::create(kKey));
    EXPECT_TRUE(KeyStore::listValues(kKey).empty());
    EXPECT_EQ(fileBytes(file + ".bad"), (Bytes{'[', 'x', ']', '\n'}));
}

TEST_F(KeyStoreTest, WriteAfterDamageKeepsTheIntactValues) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "a", kRecord.data(), kRecord.size()));
    uint8_t b = 7;
    ASSERT_TRUE(KeyStore::setValue(kKey, "b", &b, 1));
    const std::string file = KeyStore::keyFile(kKey);
    Bytes bytes = fileBytes(file);
    bytes.back() ^= 0x55; // spoils the check of "b"
    writeFile(file, bytes);

    ASSERT_TRUE(KeyStore::setValue(kKey, "c", &b, 1));
    EXPECT_EQ(get("a"), kRecord);
    EXPECT_EQ(KeyStore::listValues(kKey), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(fileBytes(file + ".bad"), bytes);
}

TEST_F(KeyStoreTest, TemporaryFilesOfACrashedWriterAreRemoved) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "item01", kRecord.data(), kRecord.size()));
    const std::string file = KeyStore::keyFile(kKey);
    // What writers that crashed before their rename left beside the table.
    const std::vector<std::string> left = {file + ".tmp.AbC123", file + ".tmp.zz9Q0x"};
    for (const std::string& f : left)
        writeFile(f, kRecord);
    uint8_t one = 1;
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &one, 1));
    for (const std::string& f : left)
        EXPECT_FALSE(fs::exists(f)) << f;
    EXPECT_EQ(get("item01"), kRecord);
    // Files of other names stay.
    writeFile(file + ".bak", kRecord);
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &one, 1));
    EXPECT_TRUE(fs::exists(file + ".bak"));
}

TEST_F(KeyStoreTest, ReplaceIsAtomic) {
    ASSERT_TRUE(KeyStore::setValue(kKey, "item01", kRecord.data(), kRecord.size()));
    const std::string file = KeyStore::keyFile(kKey);
    uint8_t one = 1;
    ASSERT_TRUE(KeyStore::setValue(kKey, "itemsum", &one, 1));

    // A leftover temporary file of a crashed writer changes nothing.
    writeFile(file + ".tmp.AbC123", Bytes{1, 2, 3});
    EXPECT_EQ(get("item01"), kRecord);
    fs::remove(file + ".tmp.AbC123");

    // update: all changes or none.
    Bytes tooBig(KeyStore::kMaxValueSize + 1);
    EXPECT_FALSE(KeyStore::update(kKey, {{"itemsum", Bytes{2}}, {"big", tooBig}}));
    EXPECT_EQ(get("itemsum"), Bytes{1});
    EXPECT_TRUE(KeyStore::update(kKey, {{"itemsum", Bytes{2}}, {"item01", std::nullopt}}));
    EXPECT_EQ(KeyStore::listValues(kKey), std::vector<std::string>{"itemsum"});

    // A replace that cannot happen fails and leaves no temporary file behind.
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_FALSE(KeyStore::setValue(kKey, "itemsum", &one, 1));
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

} // namespace
