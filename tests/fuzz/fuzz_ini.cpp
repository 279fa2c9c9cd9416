// Fuzzes the private-profile files: arbitrary file content, read with the names it holds and with
// arbitrary names, then one key written (or deleted) and everything read back. All in memory (a
// batch over the text, rendered and parsed again): the file layer around it (atomic replace, the
// cache) is the unit tests' part, and a file written per input would cost the fuzzer its speed.
//
// Input: flags byte (bit 0: delete instead of write; bit 1: write through a batch with a second
// key), then section, key and value as a length byte (mod 64) and bytes each, then a second key
// the same way; the rest is the file's content.
//
// Invariants: a name or value read never spans lines and is trimmed; names compare without regard
// to case or blanks; a write of plain names succeeds and changes one line (or adds a key line, or
// a section and its key line); the written value reads back as written (trimmed, line breaks and
// NULs as '?'), before and after the text is parsed again; every other key keeps its value; a
// deleted key reads as the default.
#include "FuzzSupport.h"

#include "platform/PrivateProfile.h"

#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

const char* const kDefault = "\x01<default>";
constexpr size_t kMaxSections = 64;
constexpr size_t kMaxKeys = 256;

std::string Field(FuzzInput& in) {
    std::string s(in.u8() % 64, '\0');
    in.take(reinterpret_cast<uint8_t*>(s.data()), s.size());
    return s;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool Plain(const std::string& name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

// How a value must read back after it was written.
std::string Stored(const std::string& v) {
    std::string out = v;
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0')
            c = '?';
    return Trim(out);
}

// The file's lines as the reader sees them: BOM dropped, one CR before each LF dropped, and a final
// line end taken as a terminator.
std::vector<std::string> Lines(const std::string& text) {
    std::string_view t = text;
    if (t.substr(0, 3) == "\xEF\xBB\xBF")
        t.remove_prefix(3);
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < t.size()) {
        size_t nl = t.find('\n', pos);
        size_t end = nl == std::string_view::npos ? t.size() : nl;
        std::string_view line = t.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.emplace_back(line);
        pos = nl == std::string_view::npos ? t.size() : nl + 1;
    }
    return out;
}

// One write changes one line, adds a key line, or appends a section header and its key line;
// every other line stays as it was, comments and unknown keys included.
void CheckOneLineChanged(const std::string& before, const std::string& after) {
    const std::vector<std::string> a = Lines(before), b = Lines(after);
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
    for (const std::string& line : b)
        FUZZ_CHECK(line.find('\n') == std::string::npos, "line break inside a line");
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

// Every section and key the text holds, with the shape checks.
Snapshot ReadAll(const ProfileBatch& doc) {
    Snapshot all;
    const std::vector<std::string> sections = doc.sectionNames();
    for (size_t i = 0; i < sections.size() && i < kMaxSections; ++i) {
        const std::string& s = sections[i];
        FUZZ_CHECK(s.find('\n') == std::string::npos && Trim(s) == s,
                   "section name \"%s\" spans lines or is untrimmed", s.c_str());
        FUZZ_CHECK(doc.hasSection(s), "listed section \"%s\" not found", s.c_str());
        const auto keys = doc.keyNames(s);
        for (size_t j = 0; j < keys.size() && j < kMaxKeys; ++j) {
            const std::string& k = keys[j];
            const std::string v = doc.get(s, k, kDefault);
            FUZZ_CHECK(!k.empty() && k.find('\n') == std::string::npos && Trim(k) == k,
                       "key name \"%s\" empty, spans lines or is untrimmed", k.c_str());
            FUZZ_CHECK(v.find('\n') == std::string::npos && Trim(v) == v &&
                           v.find('\0') == std::string::npos,
                       "value of %s spans lines, is untrimmed or holds a NUL", k.c_str());
            // Names compare without regard to case or surrounding blanks.
            FUZZ_CHECK(doc.get(" " + Lower(s) + "\t", Lower(k) + " ", kDefault) == v,
                       "[%s] %s read by another spelling differs", s.c_str(), k.c_str());
            all.emplace(std::make_pair(Lower(s), Lower(k)), v);
        }
    }
    return all;
}

// Keys other than the written ones keep their values. Only names that a first-occurrence lookup
// reaches are compared (ReadAll lists only those).
void CheckKept(const Snapshot& before, const Snapshot& after,
               const std::vector<std::pair<std::string, std::string>>& changed) {
    for (const auto& [name, value] : before) {
        bool touched = false;
        for (const auto& c : changed)
            touched = touched ||
                      (name.first == Lower(Trim(c.first)) && name.second == Lower(Trim(c.second)));
        if (touched)
            continue;
        auto it = after.find(name);
        FUZZ_CHECK(it != after.end() && it->second == value,
                   "[%s] %s was \"%s\", is \"%s\" after an unrelated write", name.first.c_str(),
                   name.second.c_str(), value.c_str(),
                   it == after.end() ? "<missing>" : it->second.c_str());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t flags = in.u8();
    const std::string section = Field(in);
    const std::string key = Field(in);
    const std::string value = Field(in);
    const std::string key2 = Field(in);
    size_t contentSize = 0;
    const uint8_t* content = in.rest(&contentSize);
    const std::string_view text(reinterpret_cast<const char*>(content), contentSize);

    auto doc = ProfileBatch::FromText(text);
    const Snapshot before = ReadAll(*doc);
    const std::string old = doc->get(section, key, kDefault);
    if (old != kDefault)
        FUZZ_CHECK(old.find('\n') == std::string::npos, "value read spans lines");

    std::vector<std::pair<std::string, std::string>> changed;
    const bool plain = Plain(Trim(section)) && Plain(Trim(key));
    // What must read back, by (section, key), once the changes are made.
    std::vector<std::pair<std::pair<std::string, std::string>, std::string>> expect;
    if (flags & 1) {
        const bool ok = doc->deleteKey(section, key);
        FUZZ_CHECK(ok || !plain || old == kDefault, "deleting [%s] %s failed", section.c_str(),
                   key.c_str());
        if (ok) {
            changed.emplace_back(section, key);
            expect.push_back({{section, key}, kDefault});
        }
    } else if (flags & 2) {
        const bool ok1 = doc->set(section, key, value);
        FUZZ_CHECK(ok1 || !plain, "batch refused [%s] %s", section.c_str(), key.c_str());
        if (ok1)
            FUZZ_CHECK(doc->get(section, key, kDefault) == Stored(value), "batch reads back \"%s\"",
                       doc->get(section, key, kDefault).c_str());
        const bool ok2 = doc->set(section, key2, value + "2");
        if (ok1)
            changed.emplace_back(section, key);
        if (ok2)
            changed.emplace_back(section, key2);
        // The later set wins when both keys are one.
        const bool sameKey = Lower(Trim(key)) == Lower(Trim(key2));
        if (ok2)
            expect.push_back({{section, key2}, Stored(value + "2")});
        if (ok1 && !(ok2 && sameKey))
            expect.push_back({{section, key}, Stored(value)});
    } else {
        const bool ok = doc->set(section, key, value);
        FUZZ_CHECK(ok || !plain, "writing [%s] %s failed", section.c_str(), key.c_str());
        if (ok) {
            CheckOneLineChanged(std::string(text), doc->text());
            changed.emplace_back(section, key);
            expect.push_back({{section, key}, Stored(value)});
        }
    }

    // As changed, and once more as written out and read in again.
    const std::string written = doc->text();
    auto reread = ProfileBatch::FromText(written);
    for (const ProfileBatch* d : {doc.get(), reread.get()}) {
        for (const auto& [name, want] : expect) {
            const std::string got = d->get(name.first, name.second, kDefault);
            FUZZ_CHECK(got == want, "[%s] %s reads \"%s\", wanted \"%s\"", name.first.c_str(),
                       name.second.c_str(), got.c_str(), want.c_str());
        }
        CheckKept(before, ReadAll(*d), changed);
    }
    FUZZ_CHECK(reread->text() == written, "written text does not survive a second reading");
    return 0;
}
