#include "platform/FileIo.h"
#include "platform/FileLockWaiting.h"
#include "platform/Win32Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <thread>
#include <utility>

#include <windows.h>

namespace {

// A replace or a lock meets a file that another program holds open for a moment (a virus scanner,
// an indexer, a reader that did not allow deletion): such refusals pass, so they are retried for a
// while before the operation gives up.
constexpr int kBusyRetries = 50;
constexpr DWORD kBusyPauseMs = 20;

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool isBusy(DWORD e) {
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || e == ERROR_ACCESS_DENIED;
}

int64_t unixNs(const FILETIME& t) {
    // FILETIME counts 100 ns steps from 1601; the Unix epoch is 11644473600 s later.
    const uint64_t ticks = (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return (static_cast<int64_t>(ticks) - 116444736000000000LL) * 100;
}

FileInfo infoOf(const BY_HANDLE_FILE_INFORMATION& h) {
    FileInfo i;
    if (h.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        i.kind = FileKind::Folder;
    else if (h.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
        i.kind = FileKind::Other;
    else
        i.kind = FileKind::Regular;
    i.volume = h.dwVolumeSerialNumber;
    i.id = (uint64_t(h.nFileIndexHigh) << 32) | h.nFileIndexLow;
    i.size = (uint64_t(h.nFileSizeHigh) << 32) | h.nFileSizeLow;
    i.mtimeNs = unixNs(h.ftLastWriteTime);
    return i;
}

// A handle that closes itself.
struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    Handle() = default;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (ok())
            ::CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

HANDLE openExisting(const std::wstring& path, DWORD access, DWORD flags = 0) {
    // FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened too, so that it can be described.
    return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

bool describe(HANDLE h, FileInfo& out) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return false;
    out = infoOf(info);
    if (out.kind == FileKind::Regular && ::GetFileType(h) != FILE_TYPE_DISK)
        out.kind = FileKind::Other;
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six characters that make a temporary file's name its own, as mkstemp picks them.
std::string randomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine([] {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        std::seed_seq seed{static_cast<uint64_t>(std::random_device{}()),
                           static_cast<uint64_t>(now.QuadPart),
                           static_cast<uint64_t>(::GetCurrentProcessId()),
                           static_cast<uint64_t>(::GetCurrentThreadId())};
        return std::mt19937_64(seed);
    }());
    std::string out(6, ' ');
    for (char& c : out)
        c = kChars[engine() % (sizeof kChars - 1)];
    return out;
}

// A new file in `folder` named `prefix` and six random characters, made with CREATE_NEW so that
// it is never one that exists already. INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE createTemporary(const std::string& folder, const std::string& prefix, std::wstring& temp) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = Utf16(dir + "/" + prefix + randomSuffix());
        HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE h, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!::WriteFile(h, p, chunk, &done, nullptr) || done == 0)
            return false;
        p += done;
        size -= done;
    }
    return true;
}

// Renames `from` over `to`, written through to the disk before it returns.
bool renameOver(const std::wstring& from, const std::wstring& to) {
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (!isBusy(::GetLastError()) || attempt >= kBusyRetries)
            return false;
        ::Sleep(kBusyPauseMs);
    }
}

} // namespace

int ErrnoOfWin32(unsigned long error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_DIRECTORY:
        return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

int StatPath(const std::string& path, FileInfo& out) {
    out = FileInfo{};
    Handle h(openExisting(Utf16(path), FILE_READ_ATTRIBUTES));
    if (!h.ok())
        return ErrnoOfWin32(::GetLastError());
    return describe(h.h, out) ? 0 : ErrnoOfWin32(::GetLastError());
}

int CheckReadable(const std::string& path) {
    Handle h(openExisting(Utf16(path), GENERIC_READ));
    return h.ok() ? 0 : ErrnoOfWin32(::GetLastError());
}

int ReadFileBytes(const std::string& path, size_t limit, std::string& data, FileInfo* before,
                  FileInfo* after, bool noFollow) {
    data.clear();
    const std::wstring wide = Utf16(path);
    if (noFollow) {
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return ELOOP;
    }
    // Shared for deletion too, so that a writer's rename over the file is never refused because
    // we are reading it.
    Handle h(openExisting(wide, GENERIC_READ));
    if (!h.ok())
        return ErrnoOfWin32(::GetLastError());
    FileInfo first;
    if (!describe(h.h, first))
        return ErrnoOfWin32(::GetLastError());
    if (first.kind != FileKind::Regular)
        return EINVAL;
    data.assign(static_cast<size_t>(std::min<uint64_t>(first.size, limit)), '\0');
    size_t got = 0;
    while (got < data.size()) {
        const size_t want = data.size() - got;
        DWORD n = 0;
        if (!::ReadFile(h.h, data.data() + got, want > (1u << 30) ? (1u << 30) : DWORD(want), &n,
                        nullptr)) {
            const int e = ErrnoOfWin32(::GetLastError());
            data.clear();
            return e;
        }
        if (n == 0)
            break;
        got += n;
    }
    FileInfo last;
    if (!describe(h.h, last)) {
        data.clear();
        return ErrnoOfWin32(::GetLastError());
    }
    data.resize(got);
    if (before)
        *before = first;
    if (after)
        *after = last;
    return 0;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    const std::wstring widePrefix = Utf16(prefix);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(Utf16(dir + "/" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // The pattern also matches a short (8.3) name: the long name is the one that counts.
        const std::wstring name = found.cFileName;
        if (name.size() <= widePrefix.size() || name.compare(0, widePrefix.size(), widePrefix) != 0)
            continue;
        // Files only: a folder or a link of that name was not made by a writer.
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        ::DeleteFileW(Utf16(dir + "/" + Utf8(name)).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

bool ReplaceFileContent(const std::string& path, const std::string& tempPrefix, const void* data,
                        size_t size, bool ownerOnly, FileInfo* written) {
    (void)ownerOnly; // the user's profile folders are the user's alone already
    FileInfo old;
    if (StatPath(path, old) == 0 && old.kind != FileKind::Regular)
        return false;
    std::wstring temp;
    HANDLE h = createTemporary(folderOf(path), tempPrefix, temp);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FileInfo info;
    bool ok = writeAll(h, data, size) && ::FlushFileBuffers(h) && describe(h, info);
    ok = ::CloseHandle(h) && ok;
    if (!ok || !renameOver(temp, Utf16(path))) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    if (written)
        *written = info;
    return true;
}

bool CopyFileDurably(const std::string& from, const std::string& to) {
    Handle in(openExisting(Utf16(from), GENERIC_READ));
    if (!in.ok())
        return false;
    std::wstring temp;
    HANDLE out = createTemporary(folderOf(to), nameOf(to) + ".tmp", temp);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    std::string buffer(64 * 1024, '\0');
    bool ok = true;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(in.h, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out, buffer.data(), n)) {
            ok = false;
            break;
        }
    }
    ok = ok && ::FlushFileBuffers(out);
    ok = ::CloseHandle(out) && ok;
    if (!ok || !renameOver(temp, Utf16(to))) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

void KeepCopyOf(const std::string& path, const std::string& keep) {
    // A copy rather than a hard link, which not every Windows volume has.
    ::CopyFileW(Utf16(path).c_str(), Utf16(keep).c_str(), FALSE);
}

bool MakeFolders(const std::string& path, bool ownerOnly) {
    (void)ownerOnly;
    const std::wstring wide = Utf16(path);
    // Each step up to the last separator, then the folder itself; a drive ("C:") or a share
    // exists already and fails harmlessly.
    for (size_t pos = 1; pos <= wide.size(); ++pos) {
        if (pos != wide.size() && wide[pos] != L'/' && wide[pos] != L'\\')
            continue;
        const std::wstring part = wide.substr(0, pos);
        const DWORD a = ::GetFileAttributesW(part.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        ::CreateDirectoryW(part.c_str(), nullptr);
    }
    const DWORD a = ::GetFileAttributesW(wide.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int CheckRoomFor(const std::string& folder, const std::string& probePrefix, uint64_t bytes) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    std::wstring probe;
    HANDLE h = createTemporary(dir, probePrefix, probe);
    if (h == INVALID_HANDLE_VALUE)
        return ErrnoOfWin32(::GetLastError());
    ::CloseHandle(h);
    ::DeleteFileW(probe.c_str());
    // The free room the volume reports to this account (quotas included) stands for a
    // reservation, which Windows makes only by extending a file.
    ULARGE_INTEGER freeToCaller{};
    if (!::GetDiskFreeSpaceExW(Utf16(dir).c_str(), &freeToCaller, nullptr, nullptr))
        return 0; // no figure: taken at its word that it has room
    return freeToCaller.QuadPart < bytes ? ENOSPC : 0;
}

std::string UserSettingsFolder() {
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    if (appData == nullptr || *appData == 0)
        return {};
    std::string base = Utf8(appData);
    if (!IsAbsolutePath(base))
        return {};
    while (base.size() > 3 && (base.back() == '\\' || base.back() == '/'))
        base.pop_back();
    return base;
}

bool IsAbsolutePath(const std::string& path) {
    // "C:\..." or "C:/...", or a share or device name ("\\server\share", "\\.\COM1").
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/'))
        return true;
    return path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
           (path[1] == '\\' || path[1] == '/');
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

FileLock::FileLock(const std::string& lockPath, unsigned mode) {
    (void)mode;
    const std::wstring wide = Utf16(lockPath);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error_ = ELOOP; // as O_NOFOLLOW: a planted link is not followed
        return;
    }
    // Read access is enough to lock, so a lock file made by another account can still be used.
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; h == INVALID_HANDLE_VALUE; ++attempt) {
        h = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && (!isBusy(::GetLastError()) || attempt >= kBusyRetries)) {
            error_ = ErrnoOfWin32(::GetLastError());
            return;
        }
        if (h == INVALID_HANDLE_VALUE)
            ::Sleep(kBusyPauseMs);
    }
    FileInfo info;
    if (!describe(h, info) || info.kind != FileKind::Regular) {
        error_ = EINVAL;
        ::CloseHandle(h);
        return;
    }
    dev_ = info.volume;
    ino_ = info.id;
    const HeldFileLocks::Key key{dev_, ino_};
    std::optional<FileLockWaiting> wait; // made when the lock turns out to be taken
    switch (HeldFileLocks::enter(key, reinterpret_cast<intptr_t>(h), lockPath, wait)) {
    case HeldFileLocks::Entry::HeldAlready:
        ::CloseHandle(h);
        held_ = true;
        return;
    case HeldFileLocks::Entry::GivenUp:
        error_ = EINTR;
        ::CloseHandle(h);
        return;
    case HeldFileLocks::Entry::Reserved:
        break;
    }

    // Another process may hold it: asked for in slices, so that the wait can be given up.
    for (;;) {
        OVERLAPPED at{};
        if (::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            break;
        const DWORD e = ::GetLastError();
        if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) {
            if (!wait)
                wait.emplace(lockPath);
            if (wait->goOn()) {
                ::Sleep(static_cast<DWORD>(kFileLockWaitSlice.count()));
                continue;
            }
        }
        error_ = e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING ? EINTR : ErrnoOfWin32(e);
        HeldFileLocks::abandon(key);
        ::CloseHandle(h);
        return;
    }
    held_ = true;
}

FileLock::~FileLock() {
    // The last level closes the file, which lets the system's lock go.
    if (held_)
        HeldFileLocks::leave({dev_, ino_},
                             [](intptr_t h) { ::CloseHandle(reinterpret_cast<HANDLE>(h)); });
}
