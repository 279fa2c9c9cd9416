// Per-user key store: what stands in for the per-user registry. A key exists or not and holds
// named values of raw bytes. Each key is one file under the user's configuration folder,
//   $XDG_CONFIG_HOME/talvorn/<key>.key   (XDG_CONFIG_HOME defaults to $HOME/.config),
//   %APPDATA%\talvorn\<key>.key          on Windows (the roaming profile, as the registry's
//                                        per-user hive roams; a file, because a change to the
//                                        user table writes a record and the count in one step),
// where <key> is the key path without leading or trailing backslashes and with every byte other
// than letters, digits, '_', '-' and a non-leading '.' written as %XX ("Ornisys\" -> Ornisys.key).
//
// Files are mode 0600 and folders we create 0700 (on Windows, the profile's folder already keeps
// other accounts out). Every change rewrites the whole file atomically
// (temporary file in the same folder, fsync, rename), so a crash leaves the old table or the new
// one. A damaged file is read without ever reading past its data: a file without a valid header
// counts as a missing key, a damaged entry as a missing value. Before a write replaces a damaged
// file, the damaged original is kept beside it as "<key>.key.bad".
//
// The user-interface thread uses the store, and the HTTP API's threads read it (credentials).
// Reads take no lock: a file is replaced whole, never changed in place. Every change is a
// read-modify-write under the advisory lock of "<key>.key.lock" (see FileLock); a caller whose
// own reads decide a change (the next free record number, say) holds a KeyStoreLock across those
// reads and the change, so that writers in several processes never lose one another's changes.
#pragma once

#include "platform/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Outcome of reading one value.
enum class KeyRead {
    kOk,      // value found
    kNoKey,   // the key does not exist (or its file cannot be read)
    kNoValue, // the key exists, the value does not
};

// Whether a key's file is there to be read.
enum class KeyState {
    kMissing,    // no such key: its file does not exist
    kUnreadable, // the file exists but cannot be read: no valid header, no permission, I/O error,
                 // not a regular file
    kOk,
};

// One step of KeyStore::update: store `data` under `name`, or delete `name` when `data` is empty
// (std::nullopt; an empty vector stores a zero-length value).
struct KeyValueChange {
    std::string name;
    std::optional<std::vector<uint8_t>> data;
};

class KeyStore {
public:
    static constexpr size_t kMaxValueSize = 1 << 20; // larger values are refused
    static constexpr size_t kMaxNameSize = 16383;    // as the registry allows

    // Folder that holds the key files; empty when no per-user settings folder is known
    // (UserSettingsFolder).
    static std::string rootFolder();
    // File of a key; empty when the key path is empty or no root folder is known.
    static std::string keyFile(std::string_view key);

    static bool exists(std::string_view key);
    // Tells a key that does not exist from one whose file cannot be read, which exists() and the
    // reads take for missing. A caller that would create a key with defaults when it is missing
    // must not do so over an unreadable one.
    static KeyState state(std::string_view key);
    // Creates the key without values when it does not exist; true when it exists afterwards.
    static bool create(std::string_view key);

    // Store a value, creating the key when missing. False when nothing was stored.
    static bool setValue(std::string_view key, std::string_view name, const void* data,
                         size_t size);
    // Read a value: the whole value into `out` (cleared unless kOk).
    static KeyRead getValue(std::string_view key, std::string_view name, std::vector<uint8_t>& out);
    // Read a value into a buffer: copies at most `capacity` bytes and sets `*size` (when given) to
    // the value's full size, 0 unless kOk. The buffer beyond the copied bytes is left as it was.
    static KeyRead getValue(std::string_view key, std::string_view name, void* buffer,
                            size_t capacity, size_t* size);
    // Delete a value. False when the key does not exist, the value does not exist, or the file
    // could not be rewritten.
    static bool deleteValue(std::string_view key, std::string_view name);
    // Names of the values of a key, in stored order; empty when the key does not exist.
    static std::vector<std::string> listValues(std::string_view key);

    // Apply several changes in one atomic rewrite (creating the key when missing): all of them
    // take effect or none. Deleting a value that does not exist is no error here.
    static bool update(std::string_view key, const std::vector<KeyValueChange>& changes);
};

// Holds a key's writer lock (creating the store's folders when missing) for the object's life:
// reads and changes made by this thread meanwhile form one step that no writer in another process
// can interleave with. The store's own changes take the lock again, which is allowed. When the lock
// cannot be taken, held() is false and the caller must not write.
class KeyStoreLock {
public:
    explicit KeyStoreLock(std::string_view key);
    ~KeyStoreLock();
    KeyStoreLock(const KeyStoreLock&) = delete;
    KeyStoreLock& operator=(const KeyStoreLock&) = delete;
    bool held() const { return lock_ != nullptr && lock_->held(); }

private:
    std::unique_ptr<FileLock> lock_;
};
