// Private-profile (INI) files with the semantics the station's data files were written for:
// section and key names compare without regard to ASCII case, the first occurrence of a section or
// key wins, a missing file or key reads as the default, values are trimmed of surrounding blanks,
// lines end in CRLF when written and in CRLF or LF when read, and every line a write does not
// touch (comments, unknown keys, duplicates) is kept as it stands.
//
// Writes replace the whole file atomically (temporary file in the same folder, fsync, rename), so
// a crash leaves the old file or the new one. Temporary files have names that nothing left
// behind can take (".<file>.tmp" and six random characters), and those that a crashed writer
// left are removed by the next write. A write that fails returns false and leaves the old
// file as it was. Parsed files are cached per path; the cache notices our own writes and any change
// of the file's inode, size or modification time, and re-checks the content of a file that changed
// too recently for its time stamp to be trusted.
//
// Every change is a read-modify-write under the advisory lock of "<file>.lock" beside the file
// (see FileLock), taken before the file is read and kept until it is rewritten, so writers in
// several processes (the station and talvorn-cli on one working folder) never lose one another's
// changes. Readers take no lock: the atomic rename gives them the old file or the new one.
//
// Thread-safe: the cache has its own lock.
#pragma once

#include "platform/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Files larger than this are read only up to this size and are never rewritten (a write to them
// fails), so that a runaway or foreign file can neither exhaust memory nor be truncated by us.
constexpr size_t kMaxProfileFileBytes = 32u * 1024u * 1024u;

// One private-profile text in memory, parsed into lines that point into a single copy of the
// text: no allocation per line or per name, and a new text parsed into an old object reuses what
// it allocated. The files' reads and writes below go through it; it works on any text as well.
// Names are looked up through open-addressing tables of first occurrences. Views it returns stay
// valid until the object changes. Not thread-safe; the file layer shares only unchanging copies.
class ProfileText {
public:
    ProfileText();
    explicit ProfileText(std::string_view text) { assign(text); }
    // Parses `text` anew (a leading UTF-8 byte-order mark is kept aside and written back).
    void assign(std::string_view text);
    // Whether a section and key can be stored: not empty, not spanning lines, no "]" in a
    // section, no "=" in a key, and a key that would not read back as a header or a comment.
    static bool Storable(std::string_view section, std::string_view key);

    // The value as read (cut at a NUL, trimmed), or nothing for a missing section or key.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;
    std::string get(std::string_view section, std::string_view key, const std::string& def) const;
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    // First occurrences in file order, appended to `out` after clearing it.
    void sectionNames(std::vector<std::string_view>& out) const;
    void keys(std::string_view section,
              std::vector<std::pair<std::string_view, std::string_view>>& out) const;

    // As ProfileBatch's (false and no change for a name that cannot be stored).
    bool set(std::string_view section, std::string_view key, std::string_view value);
    bool deleteKey(std::string_view section, std::string_view key);
    bool deleteSection(std::string_view section);
    // The text as written: CRLF line ends, the byte-order mark if the text had one.
    void writeTo(std::string& out) const;
    std::string text() const;

    // Not to be written back: cut at the size cap, unreadable, or not a regular file.
    bool readOnly = false;

private:
    struct Line {
        uint32_t off = 0;    // in store_
        uint32_t len = 0;    // without its line end
        uint32_t eq = kNone; // the first "=" of a key line
        // A key line's key, trimmed: from keyAt bytes into the line, keyLen bytes (found once, when
        // the line is read or made, rather than at every look-up).
        uint32_t keyAt = 0, keyLen = 0;
    };
    struct Section {
        Line header; // empty for the lines before the first header
        uint32_t nameOff = 0, nameLen = 0;
        uint32_t first = 0, count = 0; // its lines in lines_
    };
    static constexpr uint32_t kNone = UINT32_MAX;

    std::string_view textOf(const Line& l) const { return {store_.data() + l.off, l.len}; }
    std::string_view nameOf(const Section& s) const {
        return {store_.data() + s.nameOff, s.nameLen};
    }
    std::string_view keyOf(const Line& l) const;
    uint32_t findSection(std::string_view trimmedName) const;
    uint32_t findKey(uint32_t section, std::string_view trimmedKey) const;
    Line appendLine(std::string_view key, std::string_view value);
    void indexSection(uint32_t section);
    void indexKey(uint32_t section, uint32_t line);
    void reindex();

    bool bom_ = false;
    std::string store_; // the text, then the lines that changes added
    std::vector<Line> lines_;
    std::vector<Section> sections_;      // [0]: the lines before the first header
    std::vector<uint32_t> sectionSlots_; // section + 1, 0 empty
    std::vector<uint32_t> keySlots_;     // line + 1, 0 empty
    uint32_t sectionsIndexed_ = 0, keysIndexed_ = 0;
};

// Single reads and writes.
std::string ProfileGetString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& def);
bool ProfileSetString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value);
bool ProfileDeleteKey(const std::string& path, const std::string& section, const std::string& key);
bool ProfileDeleteSection(const std::string& path, const std::string& section);
// Names of all sections (first occurrences, in file order); keys and values of one section
// (first occurrences, in file order). Empty when the file or section is missing.
std::vector<std::string> ProfileGetSectionNames(const std::string& path);
std::vector<std::pair<std::string, std::string>> ProfileGetSection(const std::string& path,
                                                                   const std::string& section);

// What a value reads back as once stored: line breaks and NUL bytes become "?" and surrounding
// blanks are gone. Callers that compare a value with what the file holds compare this.
std::string ProfileStoredValue(const std::string& value);

// The lock file that writers of a data file take ("<file>.lock" beside the file that writes
// replace); empty for a path that names something other than a file.
std::string ProfileLockPath(const std::string& path);

// Replaces a file's whole content atomically, under its writers' lock (same guarantees as the
// profile writes). For data files that are not profiles, such as copies kept for the record.
bool WriteFileAtomically(const std::string& path, const std::string& content);

// Drops cached copies (all of them, or one path). Only tests and tools need this: the cache
// notices changes by itself.
void ProfileClearCache();

// A consistent snapshot of one file for many reads (one check of the file, then memory only).
class ProfileReader {
public:
    explicit ProfileReader(const std::string& path);
    ~ProfileReader();
    ProfileReader(const ProfileReader&) = delete;
    ProfileReader& operator=(const ProfileReader&) = delete;

    std::string get(const std::string& section, const std::string& key,
                    const std::string& def) const;
    bool hasSection(const std::string& section) const;
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(const std::string& section) const;
    // The snapshot itself, for reads without a copy of each name and value.
    const ProfileText& text() const { return *doc_; }

private:
    std::shared_ptr<const ProfileText> doc_;
};

// Collects many changes to one file and writes them with one atomic replace. Reads through the
// batch see its pending changes. Nothing reaches the file before commit().
//
// The batch holds the file's lock from its construction (before it reads the file) to its
// destruction, so what it read is still what the file holds when it commits: keep batches short.
// Batches of several files are taken in one fixed order by every caller. A batch whose lock could
// not be taken reads as usual but never writes (commit() fails).
class ProfileBatch {
public:
    explicit ProfileBatch(std::string path);
    ~ProfileBatch();
    // A batch over text in memory instead of a file, for tests and fuzzers: reads and changes
    // work as on a file's batch, text() shows the result, and commit() always fails.
    static std::unique_ptr<ProfileBatch> FromText(std::string_view text);
    // The content that commit() writes.
    std::string text() const;
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    const std::string& path() const { return path_; }

    std::string get(const std::string& section, const std::string& key,
                    const std::string& def) const;
    bool hasSection(const std::string& section) const;
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(const std::string& section) const;

    // False (and nothing changes) for a name that cannot be stored: an empty or multi-line
    // section or key, a section with "]" or a key with "=" in it. Line breaks and NUL bytes in a
    // value are stored as "?" so that a value can never add lines to the file.
    bool set(const std::string& section, const std::string& key, const std::string& value);
    bool deleteKey(const std::string& section, const std::string& key);
    bool deleteSection(const std::string& section);
    // Starts from an empty file: commit() then writes only what was set after this call.
    void clear();

    bool dirty() const { return dirty_; }
    // Writes the pending changes; true when there were none. After a failure the file on disk is
    // unchanged and the batch keeps its changes, so commit() may be retried.
    bool commit();

private:
    ProfileText& writable();
    const ProfileText& current() const { return work_ ? *work_ : *base_; }

    std::string path_;
    std::unique_ptr<FileLock> lock_; // taken before base_ is read
    std::shared_ptr<const ProfileText> base_;
    std::unique_ptr<ProfileText> work_;
    bool dirty_ = false;
};
