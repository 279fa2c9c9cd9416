#include "platform/PrivateProfile.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kNotKey = UINT32_MAX;
// A file whose time stamp is younger than this may change again without the stamp moving (coarse
// file-system clocks), so its cached copy is confirmed by content until it is older.
constexpr std::chrono::seconds kRacyWindow{2};
constexpr size_t kMaxCachedFiles = 256;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimView(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A caller's section or key name in the form used as a map key.
std::string nameKey(const std::string& name) {
    return lowerAscii(trimView(name));
}

struct FileSig {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    int64_t mtimeNs = 0;
    bool operator==(const FileSig&) const = default;
};

FileSig sigOf(const struct stat& st) {
    FileSig s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

bool isRacy(const FileSig& sig) {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return nowNs - sig.mtimeNs < std::chrono::nanoseconds(kRacyWindow).count();
}

} // namespace

struct ProfileLine {
    std::string text; // as stored, without its line end
    uint32_t eq = kNotKey;
};

struct ProfileSection {
    std::string header; // the header line as stored; empty for the lines before the first header
    std::vector<ProfileLine> lines;
    std::unordered_map<std::string, size_t> keys; // lower-case key -> first line with it
    std::string name;

    void indexKeys() {
        keys.clear();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].eq != kNotKey)
                keys.emplace(
                    lowerAscii(trimView(std::string_view(lines[i].text).substr(0, lines[i].eq))),
                    i);
    }
};

struct ProfileDocument {
    bool bom = false;
    // Not to be written back: cut at the size cap, unreadable, or not a regular file.
    bool readOnly = false;
    std::vector<ProfileSection> sections;          // [0]: lines before the first header
    std::unordered_map<std::string, size_t> index; // lower-case name -> first section

    ProfileDocument() { sections.emplace_back(); }

    void reindex() {
        index.clear();
        for (size_t i = 1; i < sections.size(); ++i)
            index.emplace(lowerAscii(sections[i].name), i);
    }

    const ProfileSection* find(const std::string& section) const {
        auto it = index.find(nameKey(section));
        return it == index.end() ? nullptr : &sections[it->second];
    }

    const ProfileLine* findKey(const std::string& section, const std::string& key) const {
        const ProfileSection* s = find(section);
        if (!s)
            return nullptr;
        auto it = s->keys.find(nameKey(key));
        return it == s->keys.end() ? nullptr : &s->lines[it->second];
    }

    std::string get(const std::string& section, const std::string& key,
                    const std::string& def) const {
        const ProfileLine* line = findKey(section, key);
        if (!line)
            return def;
        std::string_view v = std::string_view(line->text).substr(line->eq + 1);
        // Values are C strings to the callers of the platform functions: cut at a NUL first,
        // then trim, so no blank before the NUL survives.
        size_t nul = v.find('\0');
        if (nul != std::string_view::npos)
            v = v.substr(0, nul);
        return std::string(trimView(v));
    }

    std::vector<std::string> sectionNames() const {
        std::vector<std::string> out;
        for (size_t i = 1; i < sections.size(); ++i) {
            auto it = index.find(lowerAscii(sections[i].name));
            if (it != index.end() && it->second == i)
                out.push_back(sections[i].name);
        }
        return out;
    }

    std::vector<std::string> keyNames(const std::string& section) const {
        std::vector<std::string> out;
        const ProfileSection* s = find(section);
        if (!s)
            return out;
        for (size_t i = 0; i < s->lines.size(); ++i) {
            const ProfileLine& l = s->lines[i];
            if (l.eq == kNotKey)
                continue;
            std::string_view k = trimView(std::string_view(l.text).substr(0, l.eq));
            auto it = s->keys.find(lowerAscii(k));
            if (it != s->keys.end() && it->second == i)
                out.emplace_back(k);
        }
        return out;
    }

    void set(const std::string& section, const std::string& key, const std::string& value) {
        std::string sk = nameKey(section);
        auto it = index.find(sk);
        size_t si;
        if (it == index.end()) {
            ProfileSection ns;
            ns.name = std::string(trimView(section));
            ns.header = "[" + ns.name + "]";
            sections.push_back(std::move(ns));
            si = sections.size() - 1;
            index.emplace(std::move(sk), si);
        } else {
            si = it->second;
        }
        ProfileSection& s = sections[si];
        std::string kk = nameKey(key);
        auto kit = s.keys.find(kk);
        if (kit != s.keys.end()) {
            ProfileLine& l = s.lines[kit->second];
            // Keep the key as the file spells it.
            std::string k(trimView(std::string_view(l.text).substr(0, l.eq)));
            l.text = k + "=" + value;
            l.eq = static_cast<uint32_t>(k.size());
            return;
        }
        // New keys go after the section's last non-blank line, so blank separators stay between
        // sections.
        size_t pos = s.lines.size();
        while (pos > 0 && trimView(s.lines[pos - 1].text).empty())
            --pos;
        std::string k(trimView(key));
        ProfileLine nl{k + "=" + value, static_cast<uint32_t>(k.size())};
        // Only blank lines follow pos, so no indexed key moves.
        s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(pos), std::move(nl));
        s.keys.emplace(std::move(kk), pos);
    }

    bool deleteKey(const std::string& section, const std::string& key) {
        auto it = index.find(nameKey(section));
        if (it == index.end())
            return false;
        ProfileSection& s = sections[it->second];
        std::string kk = nameKey(key);
        size_t before = s.lines.size();
        std::erase_if(s.lines, [&](const ProfileLine& l) {
            return l.eq != kNotKey &&
                   lowerAscii(trimView(std::string_view(l.text).substr(0, l.eq))) == kk;
        });
        s.indexKeys();
        return s.lines.size() != before;
    }

    bool deleteSection(const std::string& section) {
        std::string sk = nameKey(section);
        size_t before = sections.size();
        for (size_t i = sections.size(); i-- > 1;)
            if (lowerAscii(sections[i].name) == sk)
                sections.erase(sections.begin() + static_cast<std::ptrdiff_t>(i));
        reindex();
        return sections.size() != before;
    }

    std::string serialize() const {
        size_t total = bom ? 3 : 0;
        for (const auto& s : sections) {
            total += s.header.size() + 2;
            for (const auto& l : s.lines)
                total += l.text.size() + 2;
        }
        std::string out;
        out.reserve(total);
        if (bom)
            out += "\xEF\xBB\xBF";
        for (size_t i = 0; i < sections.size(); ++i) {
            const ProfileSection& s = sections[i];
            if (i > 0) {
                out += s.header;
                out += "\r\n";
            }
            for (const auto& l : s.lines) {
                out += l.text;
                out += "\r\n";
            }
        }
        return out;
    }
};

namespace {

std::shared_ptr<ProfileDocument> parse(std::string_view data) {
    auto doc = std::make_shared<ProfileDocument>();
    if (data.size() >= 3 && data.substr(0, 3) == "\xEF\xBB\xBF") {
        doc->bom = true;
        data.remove_prefix(3);
    }
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        size_t end = nl == std::string_view::npos ? data.size() : nl;
        std::string_view line = data.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = nl == std::string_view::npos ? data.size() : nl + 1;

        std::string_view t = trimView(line);
        if (!t.empty() && t.front() == '[') {
            ProfileSection s;
            std::string_view name = t.substr(1);
            size_t close = name.find(']');
            if (close != std::string_view::npos)
                name = name.substr(0, close);
            s.name = std::string(trimView(name));
            s.header = std::string(line);
            doc->sections.push_back(std::move(s));
            continue;
        }
        ProfileLine l{std::string(line), kNotKey};
        if (!t.empty() && t.front() != ';') {
            size_t eq = line.find('=');
            if (eq != std::string_view::npos && !trimView(line.substr(0, eq)).empty())
                l.eq = static_cast<uint32_t>(eq);
        }
        doc->sections.back().lines.push_back(std::move(l));
    }
    for (auto& s : doc->sections)
        s.indexKeys();
    doc->reindex();
    return doc;
}

// Reads at most kMaxProfileFileBytes + 1 bytes; the signature is that of the bytes read.
enum class ReadResult { Ok, Missing, Unreadable };

ReadResult readFile(const std::string& path, std::string& data, FileSig& sig) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing
                                                         : ReadResult::Unreadable;
        struct stat st1 {};
        if (::fstat(fd, &st1) != 0 || !S_ISREG(st1.st_mode)) {
            ::close(fd);
            return ReadResult::Unreadable;
        }
        size_t want = std::min<size_t>(static_cast<size_t>(st1.st_size), kMaxProfileFileBytes) + 1;
        data.assign(want, '\0');
        size_t got = 0;
        bool failed = false;
        while (got < want) {
            ssize_t n = ::read(fd, data.data() + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        struct stat st2 {};
        bool statOk = ::fstat(fd, &st2) == 0;
        ::close(fd);
        if (failed || !statOk)
            return ReadResult::Unreadable;
        data.resize(got);
        sig = sigOf(st2);
        if (sigOf(st1) == sig)
            return ReadResult::Ok;
        // Changed while we read it: read again for a consistent copy.
    }
    return ReadResult::Ok;
}

struct CacheEntry {
    std::shared_ptr<const ProfileDocument> doc;
    FileSig sig;
    bool racy = false;
    std::string raw; // kept while racy, to confirm the content
};

std::mutex gCacheMutex;
std::unordered_map<std::string, CacheEntry> gCache;

const std::shared_ptr<const ProfileDocument>& emptyDocument() {
    static const std::shared_ptr<const ProfileDocument> doc = std::make_shared<ProfileDocument>();
    return doc;
}

const std::shared_ptr<const ProfileDocument>& unwritableDocument() {
    static const std::shared_ptr<const ProfileDocument> doc = [] {
        auto d = std::make_shared<ProfileDocument>();
        d->readOnly = true;
        return d;
    }();
    return doc;
}

void remember(const std::string& path, std::shared_ptr<const ProfileDocument> doc,
              const FileSig& sig, std::string raw) {
    if (gCache.size() >= kMaxCachedFiles && !gCache.count(path))
        gCache.clear();
    CacheEntry& e = gCache[path];
    e.doc = std::move(doc);
    e.sig = sig;
    e.racy = isRacy(sig);
    e.raw = e.racy ? std::move(raw) : std::string();
}

std::shared_ptr<const ProfileDocument> loadDocument(const std::string& path) {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        gCache.erase(path);
        return (errno == ENOENT || errno == ENOTDIR) ? emptyDocument() : unwritableDocument();
    }
    if (!S_ISREG(st.st_mode)) {
        gCache.erase(path);
        return unwritableDocument();
    }
    auto it = gCache.find(path);
    if (it != gCache.end() && it->second.sig == sigOf(st) && !it->second.racy)
        return it->second.doc;

    std::string data;
    FileSig sig;
    ReadResult r = readFile(path, data, sig);
    if (r != ReadResult::Ok) {
        gCache.erase(path);
        return r == ReadResult::Missing ? emptyDocument() : unwritableDocument();
    }
    if (it != gCache.end() && it->second.sig == sig && it->second.raw == data) {
        // Same content as cached: trust it from now on once its time stamp is old enough.
        if (!isRacy(sig)) {
            it->second.racy = false;
            it->second.raw.clear();
        }
        return it->second.doc;
    }
    bool oversize = data.size() > kMaxProfileFileBytes;
    if (oversize)
        data.resize(kMaxProfileFileBytes);
    std::shared_ptr<ProfileDocument> doc = parse(data);
    doc->readOnly = oversize;
    remember(path, doc, sig, std::move(data));
    return doc;
}

std::atomic<unsigned> gTempCounter{0};

// The file a write replaces: the file a symbolic link points at, not the link.
std::filesystem::path replaceTarget(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    return target;
}

// The lock file of a data file, beside the file that writes replace; empty when the path names
// something other than a file (such a path is never written, and no lock file is left beside it).
std::string lockPathOf(const std::string& path) {
    const std::string target = replaceTarget(path).string();
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return {};
    return target + ".lock";
}

// Writes content to a new file beside the target and renames it over the target.
bool atomicReplace(const std::string& path, const std::string& content, FileSig* sigOut) {
    namespace fs = std::filesystem;
    const fs::path target = replaceTarget(path);
    fs::path dir = target.parent_path();
    std::string tmp = (dir.empty() ? fs::path(".") : dir) /
                      ("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) +
                       "-" + std::to_string(gTempCounter.fetch_add(1)));

    struct stat old {};
    bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode))
        return false;

    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    if (hadOld)
        (void)::fchmod(fd, old.st_mode & 07777);
    struct stat st {};
    bool ok = WriteAllToFd(fd, content.data(), content.size()) && ::fsync(fd) == 0 &&
              ::fstat(fd, &st) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    SyncFolder(dir.string());
    if (sigOut)
        *sigOut = sigOf(st);
    return true;
}

bool validSection(const std::string& s) {
    std::string_view t = trimView(s);
    return !t.empty() && t.find_first_of(std::string_view("]\r\n\0", 4)) == std::string_view::npos;
}

bool validKey(const std::string& k) {
    std::string_view t = trimView(k);
    return !t.empty() && t.front() != '[' && t.front() != ';' &&
           t.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

std::string safeValue(const std::string& v) {
    std::string out = v;
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0')
            c = '?';
    return out;
}

} // namespace

std::string ProfileLockPath(const std::string& path) {
    return lockPathOf(path);
}

std::string ProfileStoredValue(const std::string& value) {
    return std::string(trimView(safeValue(value)));
}

std::string ProfileGetString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& def) {
    return loadDocument(path)->get(section, key, def);
}

bool ProfileSetString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) {
    ProfileBatch b(path);
    return b.set(section, key, value) && b.commit();
}

bool ProfileDeleteKey(const std::string& path, const std::string& section, const std::string& key) {
    ProfileBatch b(path);
    b.deleteKey(section, key);
    return b.commit();
}

bool ProfileDeleteSection(const std::string& path, const std::string& section) {
    ProfileBatch b(path);
    b.deleteSection(section);
    return b.commit();
}

std::vector<std::string> ProfileGetSectionNames(const std::string& path) {
    return loadDocument(path)->sectionNames();
}

std::vector<std::pair<std::string, std::string>> ProfileGetSection(const std::string& path,
                                                                   const std::string& section) {
    auto doc = loadDocument(path);
    std::vector<std::pair<std::string, std::string>> out;
    for (auto& k : doc->keyNames(section)) {
        std::string v = doc->get(section, k, "");
        out.emplace_back(std::move(k), std::move(v));
    }
    return out;
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    FileSig sig;
    bool ok = atomicReplace(path, content, &sig);
    std::lock_guard<std::mutex> lock(gCacheMutex);
    gCache.erase(path);
    return ok;
}

void ProfileClearCache() {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    gCache.clear();
}

ProfileReader::ProfileReader(const std::string& path) : doc_(loadDocument(path)) {}
ProfileReader::~ProfileReader() = default;

std::string ProfileReader::get(const std::string& section, const std::string& key,
                               const std::string& def) const {
    return doc_->get(section, key, def);
}
bool ProfileReader::hasSection(const std::string& section) const {
    return doc_->find(section) != nullptr;
}
std::vector<std::string> ProfileReader::sectionNames() const {
    return doc_->sectionNames();
}
std::vector<std::string> ProfileReader::keyNames(const std::string& section) const {
    return doc_->keyNames(section);
}

ProfileBatch::ProfileBatch(std::string path) : path_(std::move(path)) {
    // A batch over text (FromText) has no file, and so no lock file beside one.
    const std::string lockPath = path_.empty() ? std::string() : lockPathOf(path_);
    if (!lockPath.empty())
        lock_ = std::make_unique<FileLock>(lockPath);
    base_ = loadDocument(path_);
}
ProfileBatch::~ProfileBatch() = default;

std::unique_ptr<ProfileBatch> ProfileBatch::FromText(std::string_view text) {
    auto batch = std::make_unique<ProfileBatch>(std::string());
    batch->base_ = parse(text);
    return batch;
}

std::string ProfileBatch::text() const {
    return (work_ ? *work_ : *base_).serialize();
}

ProfileDocument& ProfileBatch::writable() {
    if (!work_)
        work_ = std::make_unique<ProfileDocument>(*base_);
    dirty_ = true;
    return *work_;
}

std::string ProfileBatch::get(const std::string& section, const std::string& key,
                              const std::string& def) const {
    return (work_ ? *work_ : *base_).get(section, key, def);
}
bool ProfileBatch::hasSection(const std::string& section) const {
    return (work_ ? *work_ : *base_).find(section) != nullptr;
}
std::vector<std::string> ProfileBatch::sectionNames() const {
    return (work_ ? *work_ : *base_).sectionNames();
}
std::vector<std::string> ProfileBatch::keyNames(const std::string& section) const {
    return (work_ ? *work_ : *base_).keyNames(section);
}

bool ProfileBatch::set(const std::string& section, const std::string& key,
                       const std::string& value) {
    if (!validSection(section) || !validKey(key))
        return false;
    writable().set(section, key, safeValue(value));
    return true;
}

bool ProfileBatch::deleteKey(const std::string& section, const std::string& key) {
    if ((work_ ? *work_ : *base_).findKey(section, key) == nullptr)
        return false;
    return writable().deleteKey(section, key);
}

bool ProfileBatch::deleteSection(const std::string& section) {
    if ((work_ ? *work_ : *base_).find(section) == nullptr)
        return false;
    return writable().deleteSection(section);
}

void ProfileBatch::clear() {
    work_ = std::make_unique<ProfileDocument>();
    dirty_ = true;
}

bool ProfileBatch::commit() {
    if (!dirty_)
        return true;
    if (path_.empty())
        return false; // a batch over text has no file to write
    // Without the lock another process may be rewriting the file from what it read: writing now
    // could undo its change or lose ours.
    if (!lock_ || !lock_->held())
        return false;
    // An unreadable or oversized file may hold more than we could see: never replace it, unless
    // the caller asked for an empty start.
    if (work_->readOnly)
        return false;
    std::string content = work_->serialize();
    FileSig sig;
    if (!atomicReplace(path_, content, &sig))
        return false;
    std::shared_ptr<const ProfileDocument> committed(std::move(work_));
    {
        std::lock_guard<std::mutex> lock(gCacheMutex);
        remember(path_, committed, sig, std::move(content));
    }
    base_ = std::move(committed);
    dirty_ = false;
    return true;
}
