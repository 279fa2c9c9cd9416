// The send-file task: preparing the files, cutting one into packages in the channel's store, and
// the completion rules of head, packages and file check.
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "platform/ShortName.h"
#include "tasks/TaskLayer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {

constexpr std::array<uint32_t, 256> MakeCrc32Table() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}
constexpr auto kCrc32Table = MakeCrc32Table();

uint32_t Crc32Update(uint32_t crc, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        crc = kCrc32Table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

// The tag: CRC-32 of the content followed by its 4-byte length. The same content gives the same
// tag in every command of the file and in every later send, so a node that already holds an
// identical file can answer "complete" at once; any change of content or length changes it.
void FinishTag(uint32_t crc, uint32_t length, uint8_t tag[4]) {
    uint8_t len[4];
    PutLe32(len, length);
    crc = Crc32Update(crc, len, 4) ^ 0xFFFFFFFFu;
    PutLe32(tag, crc);
}

int64_t RoundUp(int64_t bytes, int64_t unit) {
    if (unit <= 0)
        unit = 1;
    return (bytes + unit - 1) / unit * unit;
}

int32_t ClampFree(int64_t v) {
    if (v < 0)
        return 0;
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

// File size, or -1 when the path is not a readable regular file.
int64_t FileLength(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return -1;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return -1;
    std::ifstream probe(path, std::ios::binary);
    if (!probe)
        return -1;
    return static_cast<int64_t>(size);
}

} // namespace

bool ComputeFileTag(const std::string& path, uint32_t maxBytes, uint8_t tag[4], uint32_t* length) {
    const int64_t size = FileLength(path);
    if (size <= 0 || size > maxBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    uint32_t crc = 0xFFFFFFFFu;
    uint8_t buf[8192];
    int64_t total = 0;
    while (in) {
        in.read(reinterpret_cast<char*>(buf), sizeof buf);
        const std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        crc = Crc32Update(crc, buf, static_cast<size_t>(got));
        total += got;
        if (total > maxBytes)
            return false;
    }
    if (total != size)
        return false; // changed while being read
    FinishTag(crc, static_cast<uint32_t>(total), tag);
    if (length)
        *length = static_cast<uint32_t>(total);
    return true;
}

namespace {

bool IsLongName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.find_last_of('.');
    const size_t baseLength = (dot == std::string::npos || dot == 0) ? name.size() : dot;
    return baseLength >= 9;
}

void NameFieldOf(const std::string& path, int probe, uint8_t field[12]) {
    std::memset(field, ' ', kNameFieldSize);
    std::string name = std::filesystem::path(path).filename().string();
    std::string base, ext;
    auto split = [&](const std::string& n) {
        const size_t dot = n.find_last_of('.');
        if (dot == std::string::npos || dot == 0) {
            base = n;
            ext.clear();
        } else {
            base = n.substr(0, dot);
            ext = n.substr(dot + 1);
        }
    };
    split(name);
    if (base.size() >= 9)
        split(ShortFileName(path, probe));
    for (char& ch : base)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (char& ch : ext)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (ext.empty()) {
        // No extension: the name is copied whole from byte 0, as far as the field goes.
        std::memcpy(field, base.data(), std::min(base.size(), kNameFieldSize));
        return;
    }
    std::memcpy(field, base.data(), std::min<size_t>(base.size(), 8));
    std::memcpy(field + 8, ext.data(), std::min<size_t>(ext.size(), 4));
}

} // namespace

void NodeNameField(const std::string& path, uint8_t field[12]) {
    NameFieldOf(path, 0, field);
}

std::vector<AssignedName> AssignNodeNames(const std::vector<std::string>& paths) {
    std::vector<AssignedName> out(paths.size());
    std::vector<const uint8_t*> taken;
    auto isTaken = [&](const uint8_t* f) {
        for (const uint8_t* t : taken)
            if (std::memcmp(t, f, kNameFieldSize) == 0)
                return true;
        return false;
    };
    // Files with short names keep them: their names cannot move.
    for (size_t i = 0; i < paths.size(); ++i) {
        if (IsLongName(paths[i]))
            continue;
        NameFieldOf(paths[i], 0, out[i].field);
        out[i].duplicate = isTaken(out[i].field);
        if (!out[i].duplicate)
            taken.push_back(out[i].field);
    }
    // Long names: the same long name twice is a duplicate; a short form that another file of the
    // send already has moves on to the next probe.
    std::vector<std::string> longNames;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!IsLongName(paths[i]))
            continue;
        std::string upper = std::filesystem::path(paths[i]).filename().string();
        for (char& ch : upper)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        bool same = false;
        for (const std::string& n : longNames)
            same = same || n == upper;
        NameFieldOf(paths[i], 0, out[i].field);
        if (same) {
            out[i].duplicate = true;
            continue;
        }
        longNames.push_back(upper);
        for (int probe = 1; isTaken(out[i].field) && probe < 1000; ++probe)
            NameFieldOf(paths[i], probe, out[i].field);
        out[i].duplicate = isTaken(out[i].field);
        if (!out[i].duplicate)
            taken.push_back(out[i].field);
    }
    return out;
}

std::string DisplayNodeName(const uint8_t field[12]) {
    // Bytes come from a node: anything that is not a plain printable character (control bytes,
    // path separators) is shown escaped, never passed on to a terminal or a path as it is.
    auto put = [](std::string& out, uint8_t b) {
        if (b >= 0x21 && b <= 0x7E && b != '/' && b != '\\') {
            out.push_back(static_cast<char>(b));
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    };
    auto part = [&](size_t from, size_t to) {
        while (to > from && (field[to - 1] == ' ' || field[to - 1] == 0))
            --to;
        std::string s;
        for (size_t i = from; i < to; ++i)
            put(s, field[i]);
        return s;
    };
    const std::string base = part(0, 8);
    const std::string ext = part(8, kNameFieldSize);
    return ext.empty() ? base : base + "." + ext;
}

PreparedSet CCommCenter::ReadPreparedFiles(const std::vector<std::string>& files) {
    PreparedSet set;
    std::vector<PreparedFile> readable;
    for (const std::string& path : files) {
        PreparedFile file;
        file.path = path;
        if (!ComputeFileTag(path, kMaxPrepareBytes, file.fileTag)) {
            // Empty or too large: left out without a message. Gone or unreadable: left out too,
            // but the nodes must not end as if all had gone well.
            const int64_t length = FileLength(path);
            if (length < 0 || (length > 0 && length <= kMaxPrepareBytes))
                set.failure = set.failure ? set.failure : NS_FILE_UNREADABLE;
            continue;
        }
        readable.push_back(std::move(file));
    }
    std::vector<std::string> paths;
    for (const PreparedFile& f : readable)
        paths.push_back(f.path);
    const std::vector<AssignedName> names = AssignNodeNames(paths);
    for (size_t i = 0; i < readable.size(); ++i) {
        if (names[i].duplicate) {
            set.failure = set.failure ? set.failure : NS_DUPLICATE_NAME;
            continue;
        }
        std::memcpy(readable[i].nodeName, names[i].field, kNameFieldSize);
        set.files.push_back(std::move(readable[i]));
    }
    return set;
}

void CCommCenter::InstallPrepared(int c, PreparedSet set) {
    preparedFiles[c].Clear();
    for (PreparedFile& f : set.files)
        preparedFiles[c].Append(std::make_unique<PreparedFile>(std::move(f)));
    preparedFailure_[c] = set.failure;
}

void CCommCenter::PrepareFiles(int c, const std::vector<std::string>& files) {
    InstallPrepared(c, ReadPreparedFiles(files));
}

void CCommCenter::PreparedNodeName(int c, const std::string& path, uint8_t field[12]) {
    const size_t n = preparedFiles[c].Count();
    for (size_t i = 0; i < n; ++i) {
        bool found = false;
        preparedFiles[c].WithItem(i, [&](PreparedFile& f) {
            if (f.path == path) {
                std::memcpy(field, f.nodeName, kNameFieldSize);
                found = true;
            }
        });
        if (found)
            return;
    }
    NodeNameField(path, field);
}

bool CCommCenter::BuildPackages(int c, const std::string& path, const uint8_t fileTag[4]) {
    const int type = channels[c].cmdType.load();
    if (type == CMD_SEND_HEAD || type == CMD_SEND_PACKAGES || type == CMD_CHECK_FILE)
        return false;
    PackageStore& store = stores[c];
    uint8_t field[kNameFieldSize];
    PreparedNodeName(c, path, field);
    const int64_t length = FileLength(path);
    if (length <= 0 || length > kMaxSendBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // From here the store is being rewritten: it names no file until the build has succeeded.
    store.storeValid = 0;
    store.storedPath.clear();
    std::memset(channels[c].sentOnce, 0, sizeof channels[c].sentOnce);
    const int count = static_cast<int>((length + kPackageDataSize - 1) / kPackageDataSize);
    uint32_t crc = 0xFFFFFFFFu;
    int64_t total = 0;
    for (int i = 1; i <= count; ++i) {
        uint8_t* pkg = store.packages[i];
        PutLe16(pkg, static_cast<uint32_t>(i));
        in.read(reinterpret_cast<char*>(pkg + 2), kPackageDataSize);
        const std::streamsize got = in.gcount();
        if (got < static_cast<std::streamsize>(kPackageDataSize))
            std::memset(pkg + 2 + got, 0, kPackageDataSize - static_cast<size_t>(got));
        crc = Crc32Update(crc, pkg + 2, static_cast<size_t>(got));
        total += got;
        pkg[kPackageSize - 1] = Crc8(pkg, kPackageSize - 1);
    }
    if (total != length)
        return false; // shrank while being read
    // The content must still be the one prepared, or the nodes would store it under the tag of
    // another content.
    uint8_t tag[4];
    FinishTag(crc, static_cast<uint32_t>(total), tag);
    if (std::memcmp(tag, fileTag, 4) != 0)
        return false;
    store.packageCount.store(count);
    uint8_t* head = store.packages[0];
    head[0] = 0;
    head[1] = 0;
    std::memcpy(head + 2, field, kNameFieldSize);
    PutLe32(head + 14, static_cast<uint32_t>(length));
    std::memcpy(head + 18, fileTag, 4);
    head[22] = Crc8(head, 22);
    store.storedPath = path;
    store.storeValid = 1;
    return true;
}

void CCommCenter::MarkPackagesNeeded(int c) {
    const int count = channels[c].nodeCount.load();
    const int packages = stores[c].packageCount.load();
    for (int n = 0; n < count; ++n) {
        if (channels[c].nodePending[n].load() != 1)
            continue;
        NodeRecord& node = nodes[c][n];
        node.missingCount.store(packages);
        // The head and packages 1..packageCount: a reload of the store never leaves the last
        // package unmarked.
        for (int i = 0; i <= packages && i < kMaxPackages; ++i)
            node.needPackage[i].store(1, std::memory_order_relaxed);
    }
}

void CCommCenter::SetPackageTotal(int c, int total) {
    const int count = channels[c].nodeCount.load();
    for (int n = 0; n < count; ++n) {
        if (channels[c].nodePending[n].load() == 1)
            nodes[c][n].packageTotal.store(total);
    }
}

void CCommCenter::RecordSentFile(int c, int n, const CTransTask& cmd) {
    uint8_t field[kNameFieldSize];
    PreparedNodeName(c, cmd.fileName, field);
    int64_t length = FileLength(cmd.fileName);
    if (length < 0)
        length = 0;
    NodeRecord& node = nodes[c][n];
    const int64_t unit = node.clusterBytes.load();
    int64_t freeBytes = node.freeBytes.load();
    std::lock_guard lock(node.entriesLock);
    const int files = node.fileCount.load();
    // The node's query failed: its list and room are not known, and counting on from a guess
    // would show figures the node never had. The next query brings the real ones.
    if (files < 0 || freeBytes < 0)
        return;
    const int listed = files < kMaxEntries ? files : kMaxEntries;
    for (int k = 0; k < listed; ++k) {
        if (std::memcmp(node.entries[k], field, 11) == 0) {
            freeBytes += RoundUp(GetLe32(node.entries[k] + 13), unit);
            PutLe32(node.entries[k] + 13, static_cast<uint32_t>(length));
            freeBytes -= RoundUp(length, unit);
            node.freeBytes.store(ClampFree(freeBytes));
            node.listChanges.fetch_add(1);
            return;
        }
    }
    if (files >= kMaxEntries)
        return; // the list is full; nothing is added
    std::memcpy(node.entries[files], field, kNameFieldSize);
    node.entries[files][12] = 0;
    PutLe32(node.entries[files] + 13, static_cast<uint32_t>(length));
    // Counted and listed at once: the station's copy of the list stays whole.
    node.listedCount.store(files + 1);
    node.fileCount.store(files + 1);
    node.listChanges.fetch_add(1);
    freeBytes -= RoundUp(length, unit);
    node.freeBytes.store(ClampFree(freeBytes));
}

namespace {

// Whether a node's need flags name no data package of the file (1 .. packageTotal): what a packages
// command would send it. The head's flag and flags beyond the file are never sent.
bool NamesNoPackage(const NodeRecord& node) {
    const int total = std::min(node.packageTotal.load(), kMaxPackages - 1);
    for (int i = 1; i <= total; ++i) {
        if (node.needPackage[i].load(std::memory_order_relaxed) != 0)
            return false;
    }
    return true;
}

} // namespace

void CCommCenter::CompleteSendStep(int c, int n, int type) {
    NodeRecord& node = nodes[c][n];
    const int status = node.status.load();
    const CTransTask& cmd = runningCmd[c];
    if (type == CMD_SEND_HEAD || type == CMD_SEND_PACKAGES) {
        if (status == NS_CANCELLED) {
            FinishNode(c, n, nullptr, false);
            node.progress.store(0);
        } else if (status == NS_LINE_LOST) {
            // The file goes out again once the line is back; till then the node says why.
            if (DeferNode(c, n))
                node.status.store(DeferredStatus(c, NS_LINE_LOST));
        } else {
            node.status.store(NS_QUERYING);
            AdvanceCursor(c, n);
        }
        return;
    }
    if (status == NS_NEED_HEAD || status == NS_FILE_DONE || status == NS_MORE)
        node.lostChecks.store(0); // answered
    switch (status) {
    case NS_NEED_HEAD:
        node.uselessChecks.store(0);
        node.status.store(NS_SENDING_HEAD);
        SeekCursor(c, n, 2, cmd);
        ServeNext(c, nodeSlots[c][n].cmdCursor.load());
        break;
    case NS_FILE_DONE:
        channels[c].filesDelivered.fetch_add(1, std::memory_order_relaxed);
        node.uselessChecks.store(0);
        RecordSentFile(c, n, cmd);
        FinishNode(c, n, &cmd, false);
        node.progress.store(0);
        SeekCursor(c, n, 4, cmd);
        break;
    case NS_NO_ROOM:
    case NS_FILE_NUM_EXCEED:
    case NS_CANCELLED:
        FinishNode(c, n, nullptr, false);
        node.progress.store(0);
        break;
    case NS_MORE:
        // Packages missing, but none named that the packages command can send: the node would
        // be sent nothing and asked again for ever. After a few such rounds it leaves the send.
        if (NamesNoPackage(node)) {
            if (node.uselessChecks.fetch_add(1) + 1 >= kUselessCheckLimit) {
                node.status.store(NS_NO_PROGRESS);
                FinishNode(c, n, nullptr, false);
                node.progress.store(0);
                break;
            }
        } else {
            node.uselessChecks.store(0);
        }
        node.status.store(NS_SENDING_PACKAGES);
        SeekCursor(c, n, 3, cmd);
        ServeNext(c, nodeSlots[c][n].cmdCursor.load()); // after the packages: sent again first
        break;
    case NS_REQUEST_SENT: // no reply
    case NS_NO_REPLY:     // a reply that came broken
        // A lost frame is no reason to send the node its files again from the first: it is asked
        // again where that costs least, a few times, before it is deferred. At the check before
        // the packages it goes on with the others to the packages, whose needs it still has from
        // the head (all of them); at the check after them the check is asked again.
        if (node.lostChecks.load() < kLostCheckRetries && !LineLost(c) && TaskNoted(c, n)) {
            node.lostChecks.fetch_add(1);
            const int here = nodeSlots[c][n].cmdCursor.load();
            if (SeekCursor(c, n, 3, cmd) && nodeSlots[c][n].cmdCursor.load() > here) {
                node.status.store(NS_SENDING_PACKAGES);
            } else {
                nodeSlots[c][n].cmdCursor.store(here);
                node.status.store(NS_QUERYING);
                ServeNext(c, here);
            }
            break;
        }
        if (DeferNode(c, n))
            node.status.store(DeferredStatus(c, status));
        break;
    default:
        if (DeferNode(c, n))
            node.status.store(DeferredStatus(c, status));
        break;
    }
}
