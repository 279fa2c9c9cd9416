#include "platform/PrivateProfile.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>

namespace {

// A file whose time stamp is younger than this may change again without the stamp moving (coarse
// file-system clocks), so its cached copy is confirmed by content until it is older.
constexpr std::chrono::seconds kRacyWindow{2};
constexpr size_t kMaxCachedFiles = 256;

// Blanks and ASCII case by table: names are hashed and compared a character at a time, and a
// look-up costs no comparison per character (which the fuzz builds would trace, each one).
struct CharTables {
    bool blank[256];
    char lower[256];
};
constexpr CharTables kChars = [] {
    CharTables t{};
    for (int i = 0; i < 256; ++i) {
        t.blank[i] = i == ' ' || i == '\t';
        t.lower[i] = static_cast<char>(i >= 'A' && i <= 'Z' ? i - 'A' + 'a' : i);
    }
    return t;
}();

bool isBlank(char c) {
    return kChars.blank[static_cast<uint8_t>(c)];
}

std::string_view trimView(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// What the cache knows a file by: its identity, size and time stamp.
using FileSig = FileInfo;

bool isRacy(const FileSig& sig) {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return nowNs - sig.mtimeNs < std::chrono::nanoseconds(kRacyWindow).count();
}

} // namespace

namespace {

char lowerAscii(char c) {
    return kChars.lower[static_cast<uint8_t>(c)];
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true; // most lookups spell a name as the file does
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

// FNV-1a of the name in lower case.
uint32_t nameHash(std::string_view name, uint32_t seed = 2166136261u) {
    uint32_t h = seed;
    for (char c : name)
        h = (h ^ static_cast<uint8_t>(lowerAscii(c))) * 16777619u;
    return h;
}

uint32_t keyHash(uint32_t section, std::string_view key) {
    return nameHash(key, 2166136261u ^ (section * 0x9E3779B1u));
}

// Room for `entries` at most half full, a power of two.
size_t slotsFor(size_t entries) {
    size_t n = 16;
    while (n < 2 * entries)
        n *= 2;
    return n;
}

} // namespace

ProfileText::ProfileText() {
    assign({});
}

void ProfileText::assign(std::string_view data) {
    bom_ = data.size() >= 3 && data.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom_)
        data.remove_prefix(3);
    // Offsets are 32 bits; the file layer caps files far below this.
    if (data.size() > UINT32_MAX / 2)
        data = data.substr(0, UINT32_MAX / 2);
    readOnly = false;
    store_.assign(data);
    lines_.clear();
    sections_.clear();
    sections_.emplace_back();
    const std::string_view all = store_;
    size_t pos = 0;
    while (pos < all.size()) {
        const size_t nl = all.find('\n', pos);
        const size_t end = nl == std::string_view::npos ? all.size() : nl;
        std::string_view line = all.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const Line l{static_cast<uint32_t>(pos), static_cast<uint32_t>(line.size()), kNone};
        pos = nl == std::string_view::npos ? all.size() : nl + 1;

        const std::string_view t = trimView(line);
        if (!t.empty() && t.front() == '[') {
            std::string_view name = t.substr(1);
            const size_t close = name.find(']');
            if (close != std::string_view::npos)
                name = name.substr(0, close);
            name = trimView(name);
            Section s;
            s.header = l;
            s.nameOff = static_cast<uint32_t>(name.data() - store_.data());
            s.nameLen = static_cast<uint32_t>(name.size());
            s.first = static_cast<uint32_t>(lines_.size());
            sections_.push_back(s);
            continue;
        }
        Line keyed = l;
        if (!t.empty() && t.front() != ';') {
            const size_t eq = line.find('=');
            const std::string_view key =
                eq == std::string_view::npos ? std::string_view() : trimView(line.substr(0, eq));
            if (!key.empty()) {
                keyed.eq = static_cast<uint32_t>(eq);
                keyed.keyAt = static_cast<uint32_t>(key.data() - line.data());
                keyed.keyLen = static_cast<uint32_t>(key.size());
            }
        }
        lines_.push_back(keyed);
        ++sections_.back().count;
    }
    reindex();
}

bool ProfileText::Storable(std::string_view section, std::string_view key) {
    const std::string_view s = trimView(section), k = trimView(key);
    return !s.empty() &&
           s.find_first_of(std::string_view("]\r\n\0", 4)) == std::string_view::npos &&
           !k.empty() && k.front() != '[' && k.front() != ';' &&
           k.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

std::string_view ProfileText::keyOf(const Line& l) const {
    return {store_.data() + l.off + l.keyAt, l.keyLen};
}

// The table of first occurrences is rebuilt after every change that moves or removes lines, and
// added to when a section or key is appended.
void ProfileText::reindex() {
    sectionSlots_.assign(slotsFor(sections_.size()), 0);
    sectionsIndexed_ = 0;
    for (uint32_t i = 1; i < sections_.size(); ++i)
        indexSection(i);
    // Sized by the key lines, not all lines: set() walks the whole table when a key is added
    // between others, and a text of mostly comments or garbage would make that walk long.
    size_t keyed = 0;
    for (const Line& l : lines_)
        keyed += l.eq != kNone;
    keySlots_.assign(slotsFor(keyed), 0);
    keysIndexed_ = 0;
    // The lines before the first header are never found: they belong to no section.
    for (uint32_t s = 1; s < sections_.size(); ++s)
        for (uint32_t i = sections_[s].first; i < sections_[s].first + sections_[s].count; ++i)
            if (lines_[i].eq != kNone)
                indexKey(s, i);
}

// Both add to tables that have room: reindex() makes it, at most half full. They probe as
// findSection() and findKey() do, and take the empty slot that ends the search.
void ProfileText::indexSection(uint32_t section) {
    const std::string_view name = nameOf(sections_[section]);
    const size_t mask = sectionSlots_.size() - 1;
    size_t at = nameHash(name) & mask;
    for (; sectionSlots_[at] != 0; at = (at + 1) & mask)
        if (sameName(nameOf(sections_[sectionSlots_[at] - 1]), name))
            return; // a later occurrence: the first one wins
    sectionSlots_[at] = section + 1;
    ++sectionsIndexed_;
}

void ProfileText::indexKey(uint32_t section, uint32_t line) {
    const std::string_view key = keyOf(lines_[line]);
    const Section& s = sections_[section];
    const size_t mask = keySlots_.size() - 1;
    size_t at = keyHash(section, key) & mask;
    for (; keySlots_[at] != 0; at = (at + 1) & mask) {
        const uint32_t other = keySlots_[at] - 1;
        if (other >= s.first && other < s.first + s.count && sameName(keyOf(lines_[other]), key))
            return;
    }
    keySlots_[at] = line + 1;
    ++keysIndexed_;
}

uint32_t ProfileText::findSection(std::string_view name) const {
    const size_t mask = sectionSlots_.size() - 1;
    for (size_t at = nameHash(name) & mask; sectionSlots_[at] != 0; at = (at + 1) & mask)
        if (sameName(nameOf(sections_[sectionSlots_[at] - 1]), name))
            return sectionSlots_[at] - 1;
    return kNone;
}

uint32_t ProfileText::findKey(uint32_t section, std::string_view key) const {
    const Section& s = sections_[section];
    const size_t mask = keySlots_.size() - 1;
    for (size_t at = keyHash(section, key) & mask; keySlots_[at] != 0; at = (at + 1) & mask) {
        const uint32_t line = keySlots_[at] - 1;
        if (line >= s.first && line < s.first + s.count && sameName(keyOf(lines_[line]), key))
            return line;
    }
    return kNone;
}

std::optional<std::string_view> ProfileText::find(std::string_view section,
                                                  std::string_view key) const {
    const uint32_t s = findSection(trimView(section));
    const uint32_t line = s == kNone ? kNone : findKey(s, trimView(key));
    if (line == kNone)
        return std::nullopt;
    std::string_view v = textOf(lines_[line]).substr(lines_[line].eq + 1);
    // Values are C strings to the callers of the platform functions: cut at a NUL first, then
    // trim, so no blank before the NUL survives.
    const size_t nul = v.find('\0');
    if (nul != std::string_view::npos)
        v = v.substr(0, nul);
    return trimView(v);
}

std::string ProfileText::get(std::string_view section, std::string_view key,
                             const std::string& def) const {
    const std::optional<std::string_view> v = find(section, key);
    return v ? std::string(*v) : def;
}

bool ProfileText::hasSection(std::string_view section) const {
    return findSection(trimView(section)) != kNone;
}

bool ProfileText::hasKey(std::string_view section, std::string_view key) const {
    const uint32_t s = findSection(trimView(section));
    return s != kNone && findKey(s, trimView(key)) != kNone;
}

void ProfileText::sectionNames(std::vector<std::string_view>& out) const {
    out.clear();
    for (uint32_t i = 1; i < sections_.size(); ++i)
        if (findSection(nameOf(sections_[i])) == i)
            out.push_back(nameOf(sections_[i]));
}

void ProfileText::keys(std::string_view section,
                       std::vector<std::pair<std::string_view, std::string_view>>& out) const {
    out.clear();
    const uint32_t s = findSection(trimView(section));
    if (s == kNone)
        return;
    for (uint32_t i = sections_[s].first; i < sections_[s].first + sections_[s].count; ++i) {
        const Line& l = lines_[i];
        if (l.eq == kNone || findKey(s, keyOf(l)) != i)
            continue;
        std::string_view v = textOf(l).substr(l.eq + 1);
        v = trimView(v.substr(0, v.find('\0')));
        out.emplace_back(keyOf(l), v);
    }
}

// "key=value" at the end of the store, line breaks and NULs in the value stored as "?" so that a
// value can never add lines.
ProfileText::Line ProfileText::appendLine(std::string_view key, std::string_view value) {
    Line l;
    l.off = static_cast<uint32_t>(store_.size());
    l.eq = static_cast<uint32_t>(key.size());
    l.keyLen = static_cast<uint32_t>(key.size()); // set() passes it trimmed
    l.len = static_cast<uint32_t>(key.size() + 1 + value.size());
    store_.append(key);
    store_.push_back('=');
    const size_t at = store_.size();
    store_.append(value);
    for (size_t i = at; i < store_.size(); ++i)
        if (store_[i] == '\r' || store_[i] == '\n' || store_[i] == '\0')
            store_[i] = '?';
    return l;
}

bool ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
    if (!Storable(section, key))
        return false;
    section = trimView(section);
    key = trimView(key);
    // The store is made large enough first, so that no view into it (the key's spelling, or
    // arguments that are views of this text) moves while the line is appended. Arguments that
    // would move with it are copied.
    const size_t grow = section.size() + 2 + key.size() + 1 + value.size();
    std::string copy;
    const auto inside = [this](std::string_view v) {
        const std::less<const char*> before;
        return !before(v.data(), store_.data()) &&
               before(v.data(), store_.data() + store_.capacity());
    };
    if (store_.size() + grow > store_.capacity() &&
        (inside(section) || inside(key) || inside(value))) {
        copy.append(section).append(key).append(value);
        section = std::string_view(copy).substr(0, section.size());
        key = std::string_view(copy).substr(section.size(), key.size());
        value = std::string_view(copy).substr(section.size() + key.size());
    }
    store_.reserve(store_.size() + grow);
    uint32_t s = findSection(section);
    if (s == kNone) {
        Section ns;
        ns.header.off = static_cast<uint32_t>(store_.size());
        store_.push_back('[');
        store_.append(section);
        store_.push_back(']');
        ns.header.len = static_cast<uint32_t>(section.size() + 2);
        ns.nameOff = ns.header.off + 1;
        ns.nameLen = static_cast<uint32_t>(section.size());
        ns.first = static_cast<uint32_t>(lines_.size());
        sections_.push_back(ns);
        s = static_cast<uint32_t>(sections_.size() - 1);
        if (2 * (sectionsIndexed_ + 1) > sectionSlots_.size())
            reindex();
        else
            indexSection(s);
    }
    const uint32_t existing = findKey(s, key);
    if (existing != kNone) {
        // Keep the key as the file spells it; the line is found under the same name as before.
        lines_[existing] = appendLine(keyOf(lines_[existing]), value);
        return true;
    }
    // New keys go after the section's last non-blank line, so blank separators stay between
    // sections.
    Section& sec = sections_[s];
    uint32_t pos = sec.first + sec.count;
    while (pos > sec.first && trimView(textOf(lines_[pos - 1])).empty())
        --pos;
    const Line nl = appendLine(key, value);
    lines_.insert(lines_.begin() + pos, nl);
    ++sec.count;
    for (uint32_t i = s + 1; i < sections_.size(); ++i)
        ++sections_[i].first;
    if (2 * (keysIndexed_ + 1) > keySlots_.size()) {
        reindex();
        return true;
    }
    // The lines from pos on moved down by one and keep their slots (a key's slot depends on its
    // section and name, not its line); the new key, a first occurrence, takes one of its own.
    for (uint32_t& slot : keySlots_)
        if (slot > pos) // slot = line + 1
            ++slot;
    indexKey(s, pos);
    return true;
}

bool ProfileText::deleteKey(std::string_view section, std::string_view key) {
    const uint32_t s = findSection(trimView(section));
    if (s == kNone)
        return false;
    key = trimView(key);
    Section& sec = sections_[s];
    const auto begin = lines_.begin() + sec.first;
    const auto end = std::remove_if(begin, begin + sec.count, [&](const Line& l) {
        return l.eq != kNone && sameName(keyOf(l), key);
    });
    const uint32_t removed = static_cast<uint32_t>(begin + sec.count - end);
    if (removed == 0)
        return false;
    lines_.erase(end, begin + sec.count);
    sec.count -= removed;
    for (uint32_t i = s + 1; i < sections_.size(); ++i)
        sections_[i].first -= removed;
    reindex();
    return true;
}

bool ProfileText::deleteSection(std::string_view section) {
    section = trimView(section);
    if (findSection(section) == kNone)
        return false;
    // Every occurrence goes, with its lines.
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    size_t out = 1;
    kept.insert(kept.end(), lines_.begin(), lines_.begin() + sections_[0].count);
    for (size_t i = 1; i < sections_.size(); ++i) {
        Section sec = sections_[i];
        if (sameName(nameOf(sec), section))
            continue;
        const auto from = lines_.begin() + sec.first;
        sec.first = static_cast<uint32_t>(kept.size());
        kept.insert(kept.end(), from, from + sec.count);
        sections_[out++] = sec;
    }
    sections_.resize(out);
    lines_.swap(kept);
    reindex();
    return true;
}

void ProfileText::writeTo(std::string& out) const {
    size_t total = bom_ ? 3 : 0;
    for (size_t i = 1; i < sections_.size(); ++i)
        total += sections_[i].header.len + 2;
    for (const Line& l : lines_)
        total += l.len + 2;
    // Sized once and filled line by line: one copy per line, and no growth.
    out.resize(total);
    char* at = out.data();
    const auto put = [&](const Line& l) {
        std::memcpy(at, store_.data() + l.off, l.len);
        at[l.len] = '\r';
        at[l.len + 1] = '\n';
        at += l.len + 2;
    };
    if (bom_) {
        std::memcpy(at, "\xEF\xBB\xBF", 3);
        at += 3;
    }
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (i > 0)
            put(s.header);
        for (uint32_t j = s.first; j < s.first + s.count; ++j)
            put(lines_[j]);
    }
}

std::string ProfileText::text() const {
    std::string out;
    writeTo(out);
    return out;
}

namespace {

// Reads at most kMaxProfileFileBytes + 1 bytes; the signature is that of the bytes read.
enum class ReadResult { Ok, Missing, Unreadable };

ReadResult readFile(const std::string& path, std::string& data, FileSig& sig) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        FileSig before;
        const int e = ReadFileBytes(path, kMaxProfileFileBytes + 1, data, &before, &sig);
        if (e == ENOENT || e == ENOTDIR)
            return ReadResult::Missing;
        if (e != 0)
            return ReadResult::Unreadable;
        if (before == sig)
            return ReadResult::Ok;
        // Changed while we read it: read again for a consistent copy.
    }
    return ReadResult::Ok;
}

struct CacheEntry {
    std::shared_ptr<const ProfileText> doc;
    FileSig sig;
    bool racy = false;
    std::string raw; // kept while racy, to confirm the content
};

std::mutex gCacheMutex;
std::unordered_map<std::string, CacheEntry> gCache;

const std::shared_ptr<const ProfileText>& emptyDocument() {
    static const std::shared_ptr<const ProfileText> doc = std::make_shared<ProfileText>();
    return doc;
}

const std::shared_ptr<const ProfileText>& unwritableDocument() {
    static const std::shared_ptr<const ProfileText> doc = [] {
        auto d = std::make_shared<ProfileText>();
        d->readOnly = true;
        return d;
    }();
    return doc;
}

void remember(const std::string& path, std::shared_ptr<const ProfileText> doc, const FileSig& sig,
              std::string raw) {
    if (gCache.size() >= kMaxCachedFiles && !gCache.count(path))
        gCache.clear();
    CacheEntry& e = gCache[path];
    e.doc = std::move(doc);
    e.sig = sig;
    e.racy = isRacy(sig);
    e.raw = e.racy ? std::move(raw) : std::string();
}

std::shared_ptr<const ProfileText> loadDocument(const std::string& path) {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    FileSig st;
    if (const int e = StatPath(path, st); e != 0) {
        gCache.erase(path);
        return (e == ENOENT || e == ENOTDIR) ? emptyDocument() : unwritableDocument();
    }
    if (st.kind != FileKind::Regular) {
        gCache.erase(path);
        return unwritableDocument();
    }
    auto it = gCache.find(path);
    if (it != gCache.end() && it->second.sig == st && !it->second.racy)
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
    auto doc = std::make_shared<ProfileText>(data);
    doc->readOnly = oversize;
    remember(path, doc, sig, std::move(data));
    return doc;
}

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
    FileInfo st;
    if (StatPath(target, st) == 0 && st.kind != FileKind::Regular)
        return {};
    return target + ".lock";
}

// Writes content to a new file beside the target and renames it over the target.
bool atomicReplace(const std::string& path, const std::string& content, FileSig* sigOut) {
    const std::filesystem::path target = replaceTarget(path);
    // Every writer of the file holds its lock here, so a temporary file of it that exists now
    // was left by one that crashed.
    const std::string prefix = "." + target.filename().string() + ".tmp";
    RemoveStaleTemporaries(target.parent_path().string(), prefix);
    return ReplaceFileContent(target.string(), prefix, content.data(), content.size(), false,
                              sigOut);
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
    return ProfileReader(path).sectionNames();
}

std::vector<std::pair<std::string, std::string>> ProfileGetSection(const std::string& path,
                                                                   const std::string& section) {
    const auto doc = loadDocument(path);
    std::vector<std::pair<std::string_view, std::string_view>> keys;
    doc->keys(section, keys);
    return {keys.begin(), keys.end()};
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    // The writers' lock, as a profile write takes it: no two writers, and no temporary file of
    // another writer is taken for a stale one.
    const std::string lockPath = lockPathOf(path);
    if (lockPath.empty())
        return false;
    const FileLock writers(lockPath);
    if (!writers.held())
        return false;
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
    return doc_->hasSection(section);
}

namespace {

std::vector<std::string> sectionNamesOf(const ProfileText& doc) {
    std::vector<std::string_view> names;
    doc.sectionNames(names);
    return {names.begin(), names.end()};
}

std::vector<std::string> keyNamesOf(const ProfileText& doc, const std::string& section) {
    std::vector<std::pair<std::string_view, std::string_view>> keys;
    doc.keys(section, keys);
    std::vector<std::string> out;
    out.reserve(keys.size());
    for (const auto& k : keys)
        out.emplace_back(k.first);
    return out;
}

} // namespace

std::vector<std::string> ProfileReader::sectionNames() const {
    return sectionNamesOf(*doc_);
}
std::vector<std::string> ProfileReader::keyNames(const std::string& section) const {
    return keyNamesOf(*doc_, section);
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
    batch->base_ = std::make_shared<ProfileText>(text);
    return batch;
}

std::string ProfileBatch::text() const {
    return current().text();
}

ProfileText& ProfileBatch::writable() {
    if (!work_)
        work_ = std::make_unique<ProfileText>(*base_);
    dirty_ = true;
    return *work_;
}

std::string ProfileBatch::get(const std::string& section, const std::string& key,
                              const std::string& def) const {
    return current().get(section, key, def);
}
bool ProfileBatch::hasSection(const std::string& section) const {
    return current().hasSection(section);
}
std::vector<std::string> ProfileBatch::sectionNames() const {
    return sectionNamesOf(current());
}
std::vector<std::string> ProfileBatch::keyNames(const std::string& section) const {
    return keyNamesOf(current(), section);
}

// Each change is refused before the copy that writable() makes, so that a refused change leaves
// the batch clean.
bool ProfileBatch::set(const std::string& section, const std::string& key,
                       const std::string& value) {
    return ProfileText::Storable(section, key) && writable().set(section, key, value);
}

bool ProfileBatch::deleteKey(const std::string& section, const std::string& key) {
    return current().hasKey(section, key) && writable().deleteKey(section, key);
}

bool ProfileBatch::deleteSection(const std::string& section) {
    return current().hasSection(section) && writable().deleteSection(section);
}

void ProfileBatch::clear() {
    work_ = std::make_unique<ProfileText>();
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
    std::string content = work_->text();
    FileSig sig;
    if (!atomicReplace(path_, content, &sig))
        return false;
    std::shared_ptr<const ProfileText> committed(std::move(work_));
    {
        std::lock_guard<std::mutex> lock(gCacheMutex);
        remember(path_, committed, sig, std::move(content));
    }
    base_ = std::move(committed);
    dirty_ = false;
    return true;
}
