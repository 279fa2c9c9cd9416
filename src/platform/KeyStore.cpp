#include "platform/KeyStore.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

// File layout (all numbers little-endian):
//   header  "TVKEYS", version 1, one zero byte                      8 bytes
//   entry   name size u32, data size u32, name, data, CRC-32 u32     repeated
// The CRC covers the entry from its name size to its last data byte, so a damaged entry is
// dropped on its own; a size that runs past the end of the file ends the reading.

namespace {

constexpr char kMagic[6] = {'T', 'V', 'K', 'E', 'Y', 'S'};
constexpr uint8_t kVersion = 1;
constexpr size_t kHeaderSize = 8;
constexpr size_t kEntryOverhead = 12;
constexpr size_t kMaxFileSize = 64 << 20;

struct Entry {
    std::string name;
    std::vector<uint8_t> data;
};

enum class FileState { kMissing, kUnreadable, kOk };

struct Table {
    FileState state = FileState::kMissing;
    bool damaged = false; // kOk, but some entries or trailing bytes were dropped
    std::vector<Entry> entries;
};

uint32_t crc32(const uint8_t* data, size_t size) {
    static const auto table = [] {
        struct T {
            uint32_t v[256];
        } t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t.v[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table.v[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool safeByte(char c, bool first) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || (c == '.' && !first);
}

std::string folderOf(const std::string& file) {
    return file.substr(0, file.rfind('/'));
}

Table parse(const std::vector<uint8_t>& bytes) {
    Table t;
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        bytes[6] != kVersion) {
        t.state = FileState::kUnreadable;
        return t;
    }
    t.state = FileState::kOk;
    size_t pos = kHeaderSize;
    while (pos < bytes.size()) {
        size_t left = bytes.size() - pos;
        if (left < kEntryOverhead) {
            t.damaged = true;
            break;
        }
        const uint8_t* p = bytes.data() + pos;
        size_t nameSize = getU32(p);
        size_t dataSize = getU32(p + 4);
        if (nameSize > KeyStore::kMaxNameSize || dataSize > KeyStore::kMaxValueSize ||
            nameSize + dataSize > left - kEntryOverhead) {
            t.damaged = true;
            break;
        }
        size_t body = 8 + nameSize + dataSize;
        if (crc32(p, body) != getU32(p + body)) {
            t.damaged = true;
        } else {
            std::string name(reinterpret_cast<const char*>(p + 8), nameSize);
            bool duplicate = false;
            for (const Entry& e : t.entries)
                duplicate = duplicate || e.name == name;
            if (duplicate) {
                t.damaged = true; // never written by us; the first one stands
            } else {
                t.entries.push_back(
                    {std::move(name), std::vector<uint8_t>(p + 8 + nameSize, p + body)});
            }
        }
        pos += body + 4;
    }
    return t;
}

Table load(const std::string& path) {
    Table t;
    std::string bytes;
    // One byte past the cap tells a file that is too large from one that just fits.
    const int e = ReadFileBytes(path, kMaxFileSize + 1, bytes, nullptr, nullptr, true);
    if (e != 0 || bytes.size() > kMaxFileSize) {
        t.state = e == ENOENT ? FileState::kMissing : FileState::kUnreadable;
        return t;
    }
    return parse(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> serialize(const std::vector<Entry>& entries) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    out.push_back(kVersion);
    out.push_back(0);
    for (const Entry& e : entries) {
        size_t start = out.size();
        putU32(out, static_cast<uint32_t>(e.name.size()));
        putU32(out, static_cast<uint32_t>(e.data.size()));
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.insert(out.end(), e.data.begin(), e.data.end());
        putU32(out, crc32(out.data() + start, out.size() - start));
    }
    return out;
}

// Temporary file in the same folder, flushed, renamed over the target; owner-only. Called with
// the key's writer lock held: a temporary file of the key that exists now was left by a writer
// that crashed.
bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string folder = folderOf(path);
    const std::string prefix = path.substr(folder.size() + 1) + ".tmp.";
    RemoveStaleTemporaries(folder, prefix);
    return ReplaceFileContent(path, prefix, bytes.data(), bytes.size(), true);
}

// Keeps a damaged file for inspection before it is replaced.
void keepDamaged(const std::string& path) {
    KeepCopyOf(path, path + ".bad");
}

// Read, change, write back under the writer lock. `change` returns false to abandon the write.
template <typename Change> bool modify(std::string_view key, Change change) {
    std::string path = KeyStore::keyFile(key);
    if (path.empty() || !MakeFolders(folderOf(path), true))
        return false;
    KeyStoreLock lock(key);
    if (!lock.held())
        return false;
    Table t = load(path);
    bool existed = t.state == FileState::kOk;
    if (!change(t.entries, existed))
        return false;
    if (t.state == FileState::kUnreadable || t.damaged)
        keepDamaged(path);
    return replaceFile(path, serialize(t.entries));
}

Entry* findEntry(std::vector<Entry>& entries, std::string_view name) {
    for (Entry& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

} // namespace

std::string KeyStore::rootFolder() {
    const std::string base = UserSettingsFolder();
    return base.empty() ? base : base + "/talvorn";
}

std::string KeyStore::keyFile(std::string_view key) {
    while (!key.empty() && key.front() == '\\')
        key.remove_prefix(1);
    while (!key.empty() && key.back() == '\\')
        key.remove_suffix(1);
    std::string root = rootFolder();
    if (key.empty() || root.empty())
        return {};
    static const char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (size_t i = 0; i < key.size(); ++i) {
        char c = key[i];
        if (safeByte(c, i == 0)) {
            name += c;
        } else {
            auto b = static_cast<uint8_t>(c);
            name += '%';
            name += kHex[b >> 4];
            name += kHex[b & 15];
        }
    }
    return root + "/" + name + ".key";
}

bool KeyStore::exists(std::string_view key) {
    std::string path = keyFile(key);
    return !path.empty() && load(path).state == FileState::kOk;
}

KeyState KeyStore::state(std::string_view key) {
    std::string path = keyFile(key);
    if (path.empty())
        return KeyState::kMissing;
    switch (load(path).state) {
    case FileState::kMissing:
        return KeyState::kMissing;
    case FileState::kUnreadable:
        return KeyState::kUnreadable;
    case FileState::kOk:
        break;
    }
    return KeyState::kOk;
}

bool KeyStore::create(std::string_view key) {
    if (exists(key))
        return true;
    return modify(key, [](std::vector<Entry>&, bool existed) { return !existed; }) || exists(key);
}

bool KeyStore::setValue(std::string_view key, std::string_view name, const void* data,
                        size_t size) {
    if (size > kMaxValueSize || name.size() > kMaxNameSize || (data == nullptr && size != 0))
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> bytes(p, p + size);
    return update(key, {{std::string(name), std::move(bytes)}});
}

KeyRead KeyStore::getValue(std::string_view key, std::string_view name, std::vector<uint8_t>& out) {
    out.clear();
    std::string path = keyFile(key);
    if (path.empty())
        return KeyRead::kNoKey;
    Table t = load(path);
    if (t.state != FileState::kOk)
        return KeyRead::kNoKey;
    Entry* e = findEntry(t.entries, name);
    if (e == nullptr)
        return KeyRead::kNoValue;
    out = std::move(e->data);
    return KeyRead::kOk;
}

KeyRead KeyStore::getValue(std::string_view key, std::string_view name, void* buffer,
                           size_t capacity, size_t* size) {
    std::vector<uint8_t> value;
    KeyRead r = getValue(key, name, value);
    if (size != nullptr)
        *size = value.size();
    if (r == KeyRead::kOk && buffer != nullptr && !value.empty())
        std::memcpy(buffer, value.data(), std::min(capacity, value.size()));
    return r;
}

bool KeyStore::deleteValue(std::string_view key, std::string_view name) {
    return modify(key, [name](std::vector<Entry>& entries, bool) {
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->name == name) {
                entries.erase(it);
                return true;
            }
        }
        return false; // no key or no such value: nothing to write
    });
}

std::vector<std::string> KeyStore::listValues(std::string_view key) {
    std::vector<std::string> names;
    std::string path = keyFile(key);
    if (path.empty())
        return names;
    Table t = load(path);
    for (const Entry& e : t.entries)
        names.push_back(e.name);
    return names;
}

bool KeyStore::update(std::string_view key, const std::vector<KeyValueChange>& changes) {
    for (const KeyValueChange& c : changes) {
        if (c.name.size() > kMaxNameSize || (c.data && c.data->size() > kMaxValueSize))
            return false;
    }
    return modify(key, [&changes](std::vector<Entry>& entries, bool) {
        for (const KeyValueChange& c : changes) {
            Entry* e = findEntry(entries, c.name);
            if (c.data) {
                if (e != nullptr)
                    e->data = *c.data;
                else
                    entries.push_back({c.name, *c.data});
            } else if (e != nullptr) {
                entries.erase(entries.begin() + (e - entries.data()));
            }
        }
        return true;
    });
}

KeyStoreLock::KeyStoreLock(std::string_view key) {
    std::string path = KeyStore::keyFile(key);
    if (!path.empty() && MakeFolders(folderOf(path), true))
        lock_ = std::make_unique<FileLock>(path + ".lock", 0600);
}

KeyStoreLock::~KeyStoreLock() = default;
