// Fuzzes the private-profile files: arbitrary file content, read with the names it holds and with
// arbitrary names, then one key written (or deleted) and everything read back. All in memory,
// through the ProfileText that every file read and write uses (parsed, changed, written out and
// parsed again): the file layer around it (atomic replace, the cache, the batch's lock) is the
// unit tests' part, and a file written per input would cost the fuzzer its speed. The texts, the
// snapshot and every buffer are kept from input to input, so that an input allocates nothing
// once the buffers have grown.
//
// Input: flags byte (bit 0: delete instead of write; bit 1: write through a batch with a second
// key), then section, key and value as a length byte (mod 64) and bytes each, then a second key
// the same way; the rest is the file's content.
//
// Invariants: a name or value read never spans lines and is trimmed; a listed key reads back as
// listed, by any spelling that differs in case or surrounding blanks; a write of plain names
// succeeds and changes one line (or adds a key line, or a section and its key line); the written
// value reads back as written (trimmed, line breaks and NULs as '?'), before and after the text is
// parsed again; every other key keeps its value, in both; a deleted key reads as the default; the
// text written out reads back to the same text.
#include "FuzzSupport.h"

#include "platform/PrivateProfile.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr size_t kMaxSections = 64;
constexpr size_t kMaxKeys = 256;

using View = std::string_view;
using Found = std::optional<View>;

// A field of up to 63 bytes, into a buffer that keeps its room.
void Field(FuzzInput& in, std::string& out) {
    out.resize(in.u8() % 64);
    in.take(reinterpret_cast<uint8_t*>(out.data()), out.size());
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

View Trim(View s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void AppendLower(std::string& out, View s) {
    for (char c : s)
        out.push_back(Lower(c));
}

// Names as the files compare them: without regard to ASCII case.
bool SameName(View a, View b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool Plain(View name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

// How a value must read back after it was written.
void Stored(View v, std::string& out) {
    out.assign(v);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0')
            c = '?';
    const View t = Trim(out);
    out.assign(t.data(), t.size());
}

// The file's lines as the reader sees them: BOM dropped, one CR before each LF dropped, and a final
// line end taken as a terminator.
void Lines(View t, std::vector<View>& out) {
    out.clear();
    if (t.substr(0, 3) == "\xEF\xBB\xBF")
        t.remove_prefix(3);
    size_t pos = 0;
    while (pos < t.size()) {
        size_t nl = t.find('\n', pos);
        size_t end = nl == View::npos ? t.size() : nl;
        View line = t.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.push_back(line);
        pos = nl == View::npos ? t.size() : nl + 1;
    }
}

// One write changes one line, adds a key line, or appends a section header and its key line;
// every other line stays as it was, comments and unknown keys included.
void CheckOneLineChanged(View before, View after) {
    static std::vector<View> a, b;
    Lines(before, a);
    Lines(after, b);
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const size_t removed = a.size() - head - tail, added = b.size() - head - tail;
    FUZZ_CHECK(removed <= 1 && added <= 2 && added >= removed,
               "a write replaced %zu lines with %zu (file of %zu lines)", removed, added, a.size());
    for (View line : b)
        FUZZ_CHECK(line.find('\n') == View::npos, "line break inside a line");
}

// Every section and key a text holds, kept in one buffer: the text's own views move when it
// changes.
struct Snapshot {
    struct Entry {
        uint32_t at, sectionSize, keySize, valueSize;
    };
    std::string bytes;
    std::vector<Entry> entries;

    View section(const Entry& e) const { return View(bytes).substr(e.at, e.sectionSize); }
    View key(const Entry& e) const { return View(bytes).substr(e.at + e.sectionSize, e.keySize); }
    View value(const Entry& e) const {
        return View(bytes).substr(e.at + e.sectionSize + e.keySize, e.valueSize);
    }
};

// Lists every section and key the text holds into `snap`, with the shape checks, and looks each
// one up.
void ReadAll(const ProfileText& doc, Snapshot& snap) {
    static std::vector<View> sections;
    static std::vector<std::pair<View, View>> keys;
    static std::string otherSection, otherKey;
    snap.bytes.clear();
    snap.entries.clear();
    doc.sectionNames(sections);
    for (size_t i = 0; i < sections.size() && i < kMaxSections; ++i) {
        const View s = sections[i];
        FUZZ_CHECK(s.find('\n') == View::npos && Trim(s) == s,
                   "section name \"%.*s\" spans lines or is untrimmed", int(s.size()), s.data());
        FUZZ_CHECK(doc.hasSection(s), "listed section \"%.*s\" not found", int(s.size()), s.data());
        // Every key below is read back through the section by a spelling that differs in case
        // and blanks: names compare without regard to either. One spelling serves the section.
        otherSection.assign(" ");
        AppendLower(otherSection, s);
        otherSection.push_back('\t');
        doc.keys(s, keys);
        for (size_t j = 0; j < keys.size() && j < kMaxKeys; ++j) {
            const auto [k, v] = keys[j];
            FUZZ_CHECK(!k.empty() && k.find('\n') == View::npos && Trim(k) == k,
                       "key name \"%.*s\" empty, spans lines or is untrimmed", int(k.size()),
                       k.data());
            FUZZ_CHECK(v.find('\n') == View::npos && Trim(v) == v && v.find('\0') == View::npos,
                       "value of %.*s spans lines, is untrimmed or holds a NUL", int(k.size()),
                       k.data());
            // Read back as listed, by such a spelling of the key too.
            otherKey.clear();
            AppendLower(otherKey, k);
            otherKey.push_back(' ');
            FUZZ_CHECK(doc.find(otherSection, otherKey) == Found(v),
                       "[%.*s] %.*s reads otherwise than listed", int(s.size()), s.data(),
                       int(k.size()), k.data());
            Snapshot::Entry e{static_cast<uint32_t>(snap.bytes.size()),
                              static_cast<uint32_t>(s.size()), static_cast<uint32_t>(k.size()),
                              static_cast<uint32_t>(v.size())};
            snap.bytes.append(s).append(k).append(v);
            snap.entries.push_back(e);
        }
    }
}

// Keys other than the written ones keep their values, looked up in the changed text. Only names
// that a first-occurrence lookup reaches are compared (ReadAll lists only those).
void CheckKept(const Snapshot& before, const ProfileText& doc, const View* changed, size_t count) {
    for (const Snapshot::Entry& e : before.entries) {
        const View s = before.section(e), k = before.key(e), v = before.value(e);
        bool touched = false;
        for (size_t c = 0; c < count; ++c)
            touched = touched ||
                      (SameName(Trim(changed[2 * c]), s) && SameName(Trim(changed[2 * c + 1]), k));
        if (touched)
            continue;
        const Found now = doc.find(s, k);
        FUZZ_CHECK(now == Found(v),
                   "[%.*s] %.*s was \"%.*s\", is \"%.*s\" after an unrelated write", int(s.size()),
                   s.data(), int(k.size()), k.data(), int(v.size()), v.data(),
                   now ? int(now->size()) : 9, now ? now->data() : "<missing>");
    }
}

// What must read back once the changes are made; a missing value for a deleted key.
struct Expect {
    View section, key;
    Found value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ProfileText doc, reread;
    static Snapshot before;
    static std::string section, key, value, key2, value2, stored, stored2, written, rewritten;
    FuzzInput in(data, size);
    const uint8_t flags = in.u8();
    Field(in, section);
    Field(in, key);
    Field(in, value);
    Field(in, key2);
    size_t contentSize = 0;
    const uint8_t* content = in.rest(&contentSize);
    const View text(reinterpret_cast<const char*>(content), contentSize);

    doc.assign(text);
    ReadAll(doc, before);
    const Found old = doc.find(section, key);
    if (old)
        FUZZ_CHECK(old->find('\n') == View::npos, "value read spans lines");
    const bool hadOld = old.has_value();

    View changed[4];
    size_t changes = 0;
    const bool plain = Plain(Trim(section)) && Plain(Trim(key));
    Expect expect[2];
    size_t expects = 0;
    bool oneLine = false; // a single set: the written text differs from the input in one line
    if (flags & 1) {
        const bool ok = doc.deleteKey(section, key);
        FUZZ_CHECK(ok || !plain || !hadOld, "deleting [%s] %s failed", section.c_str(),
                   key.c_str());
        if (ok) {
            changed[2 * changes] = section;
            changed[2 * changes++ + 1] = key;
            expect[expects++] = {section, key, std::nullopt};
        }
    } else if (flags & 2) {
        Stored(value, stored);
        value2.assign(value).push_back('2');
        Stored(value2, stored2);
        const bool ok1 = doc.set(section, key, value);
        FUZZ_CHECK(ok1 || !plain, "batch refused [%s] %s", section.c_str(), key.c_str());
        if (ok1)
            FUZZ_CHECK(doc.find(section, key) == Found(stored), "batch reads back otherwise");
        const bool ok2 = doc.set(section, key2, value2);
        if (ok1) {
            changed[2 * changes] = section;
            changed[2 * changes++ + 1] = key;
        }
        if (ok2) {
            changed[2 * changes] = section;
            changed[2 * changes++ + 1] = key2;
        }
        // The later set wins when both keys are one.
        const bool sameKey = SameName(Trim(key), Trim(key2));
        if (ok2)
            expect[expects++] = {section, key2, View(stored2)};
        if (ok1 && !(ok2 && sameKey))
            expect[expects++] = {section, key, View(stored)};
    } else {
        Stored(value, stored);
        const bool ok = doc.set(section, key, value);
        FUZZ_CHECK(ok || !plain, "writing [%s] %s failed", section.c_str(), key.c_str());
        oneLine = ok;
        if (ok) {
            changed[2 * changes] = section;
            changed[2 * changes++ + 1] = key;
            expect[expects++] = {section, key, View(stored)};
        }
    }

    // As changed, and once more as written out and read in again.
    doc.writeTo(written);
    if (oneLine)
        CheckOneLineChanged(text, written);
    reread.assign(written);
    for (const ProfileText* d : {&doc, &reread}) {
        for (size_t i = 0; i < expects; ++i) {
            const Found got = d->find(expect[i].section, expect[i].key);
            FUZZ_CHECK(got == expect[i].value, "[%.*s] %.*s reads \"%.*s\", wanted \"%.*s\"",
                       int(expect[i].section.size()), expect[i].section.data(),
                       int(expect[i].key.size()), expect[i].key.data(), got ? int(got->size()) : 9,
                       got ? got->data() : "<missing>",
                       expect[i].value ? int(expect[i].value->size()) : 9,
                       expect[i].value ? expect[i].value->data() : "<missing>");
        }
        CheckKept(before, *d, changed, changes);
    }
    reread.writeTo(rewritten);
    FUZZ_CHECK(rewritten == written, "written text does not survive a second reading");
    return 0;
}
