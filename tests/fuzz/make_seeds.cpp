// Writes the seed corpora of the fuzz targets: small valid conversations built with the frame
// builders, plus the edge cases the parsers must survive. Run once; the output is committed.
// Usage: fuzz_make_seeds CORPUS_DIR   (writes CORPUS_DIR/<target>/<name>)
#include "link/Frame.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

std::string g_root;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
    // The request parser's inputs are the node engine's too.
    if (target == "fuzz_request_parser")
        Save("fuzz_node_engine", name, bytes);
    const fs::path dir = fs::path(g_root) / target;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void Le16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Le32(Bytes& b, uint32_t v) {
    Le16(b, v);
    Le16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

Bytes ReplyFrame(const Bytes& body) {
    Bytes f(body.size() + 16);
    f.resize(BuildReplyFrame(f.data(), body.data(), body.size()));
    return f;
}

Bytes StorageReply(uint16_t fileCount, uint16_t maxFiles) {
    StorageInfo info;
    info.totalBytes = 1457664;
    info.clusterBytes = 512;
    info.maxFiles = maxFiles;
    info.fileCount = fileCount;
    info.freeUnits = 2000;
    Bytes body(kStorageBodySize);
    body.resize(BuildStorageBody(body.data(), info));
    return ReplyFrame(body);
}

Bytes ListReply(uint8_t block, int entries) {
    Bytes body{block, static_cast<uint8_t>(entries)};
    for (int j = 0; j < entries; ++j) {
        char name[13];
        std::snprintf(name, sizeof name, "F%03d    DST", j);
        body.insert(body.end(), name, name + 12);
        Le32(body, 1000u + j);
    }
    return ReplyFrame(body);
}

Bytes CheckReply(uint8_t status, bool bitmap) {
    uint8_t map[kBitmapSize] = {};
    map[0] = 0x06; // packages 1 and 2
    map[5] = 0x80; // package 47
    map[359] = 0xFF;
    Bytes body(1 + kBitmapSize);
    body.resize(BuildCheckBody(body.data(), status, bitmap ? map : nullptr));
    return ReplyFrame(body);
}

// The reply decoder's preamble: see fuzz_reply_parser.cpp. Bodies carry their check byte.
Bytes Ask(uint8_t flags, int32_t block, int32_t fileCount, int32_t listed, int16_t packageCount) {
    Bytes b{flags};
    Le32(b, static_cast<uint32_t>(block));
    Le32(b, static_cast<uint32_t>(fileCount));
    Le32(b, static_cast<uint32_t>(listed));
    Le16(b, static_cast<uint16_t>(packageCount));
    return b;
}

Bytes BodyOf(const Bytes& frame) {
    return Bytes(frame.begin() + 9, frame.end()); // after sync, length and length check
}

void ReplySeeds() {
    const std::string t = "fuzz_reply_parser";
    auto seed = [&](const std::string& name, Bytes ask, const Bytes& frame) {
        Append(ask, BodyOf(frame));
        Save(t, name, ask);
    };
    seed("storage", Ask(0, 0, 0, 7, 0), StorageReply(40, 224));
    seed("storage-empty", Ask(0, 0, 5, 0, 0), StorageReply(0, 224));
    seed("storage-clipped", Ask(0, 0, 0, 0, 0), StorageReply(300, 224));
    seed("list-block-1", Ask(0, 1, 3, 0, 0), ListReply(1, 3));
    seed("list-block-7-over", Ask(0, 7, 200, 192, 0), ListReply(7, 32));
    seed("list-near-table-end", Ask(0, 6, 224, 200, 0), ListReply(6, 32));
    seed("list-past-table-end", Ask(0, 7, 230, 220, 0), ListReply(7, 32));
    seed("list-listed-near-int-max", Ask(0, 3, 5, 0x7FFFFFF0, 0), ListReply(3, 32));
    seed("list-listed-negative", Ask(0, 1, 2, -9, 0), ListReply(1, 2));
    seed("list-wrong-block", Ask(0, 2, 40, 32, 0), ListReply(1, 8));
    seed("check-need-packages", Ask(1, 0, 0, 0, 60), CheckReply(0x10, true));
    seed("check-done", Ask(1, 0, 0, 0, 10), CheckReply(0x00, false));
    seed("check-bits-30", Ask(1 | 2, 0, 0, 0, 10), CheckReply(0x30, false));
    seed("check-low-bits", Ask(1, 0, 0, 0, 10), CheckReply(0x01, false));
    seed("check-all-packages", Ask(1, 0, 0, 0, 2880), CheckReply(0x10, true));
    seed("storage-during-check", Ask(1, 0, 0, 0, 10), StorageReply(2, 224));
    seed("check-during-query", Ask(0, 0, 0, 0, 0), CheckReply(0x00, false));
    Bytes bad = StorageReply(2, 224);
    bad.back() ^= 0x01;
    seed("bad-body-check", Ask(0, 0, 0, 0, 0), bad);
}

// The request parser's preamble and recipes: see fuzz_request_parser.cpp.
Bytes SimConfig(uint8_t nodesMinusOne, uint8_t maxFiles) {
    Bytes b{nodesMinusOne, maxFiles};
    Le16(b, 512);
    b.insert(b.end(), {0, 0, 0, 0});
    return b;
}

void RequestSeeds() {
    const std::string t = "fuzz_request_parser";
    const uint8_t tag[4] = {0x11, 0x22, 0x33, 0x44};
    auto head = [&](Bytes& b, uint8_t node, uint8_t nameSel, uint32_t length) {
        b.insert(b.end(), {3, node, nameSel});
        Le32(b, length);
        b.insert(b.end(), tag, tag + 4);
        b.push_back(0);
    };
    auto package = [&](Bytes& b, uint8_t node, uint16_t number) {
        b.insert(b.end(), {4, node});
        Le16(b, number);
        b.push_back(static_cast<uint8_t>(0x40 + number));
        b.push_back(0);
    };
    auto check = [&](Bytes& b, uint8_t node, uint8_t chunk) {
        b.insert(b.end(), {2, node});
        b.insert(b.end(), tag, tag + 4);
        b.push_back(chunk);
    };
    auto query = [&](Bytes& b, uint8_t node, uint8_t block, uint8_t chunk) {
        b.insert(b.end(), {1, node, block, chunk});
    };

    {
        // A whole send: head, three packages, check, then the node's list.
        Bytes b = SimConfig(7, 224);
        head(b, 2, 0, 1200);
        for (uint16_t i = 1; i <= 3; ++i)
            package(b, 2, i);
        check(b, 2, 5);
        query(b, 2, 0, 0);
        query(b, 2, 1, 3);
        Save(t, "send-file", b);
    }
    {
        // Two files on one node (names A and B), then its storage and its list.
        Bytes b = SimConfig(3, 224);
        head(b, 1, 0, 600);
        package(b, 1, 1);
        package(b, 1, 2);
        check(b, 1, 0);
        head(b, 1, 2, 100);
        package(b, 1, 1);
        check(b, 1, 0);
        query(b, 1, 0, 0);
        query(b, 1, 1, 0);
        Save(t, "two-files-then-list", b);
    }
    {
        // A send with a package missing: the check asks for it.
        Bytes b = SimConfig(3, 224);
        head(b, 1, 2, 1200);
        package(b, 1, 1);
        package(b, 1, 3);
        check(b, 1, 1);
        Save(t, "send-missing", b);
    }
    {
        // Broadcast head to a multi-node mask, then delete and clear.
        Bytes b = SimConfig(31, 10);
        b.insert(b.end(), {3, 0x80, 0x0F, 0, 0, 0, 0});
        Le32(b, 700);
        b.insert(b.end(), tag, tag + 4);
        b.push_back(0);
        b.insert(b.end(), {4, 0x80, 0x0F, 0, 0, 0});
        Le16(b, 1);
        b.insert(b.end(), {0x55, 0});
        check(b, 3, 0);
        b.insert(b.end(), {5, 3, 1, 0, 2, 0}); // delete two names from node 3
        b.insert(b.end(), {6, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 7});
        query(b, 0, 0, 0);
        Save(t, "broadcast-delete-clear", b);
    }
    {
        // Garbage with sync bytes, a spoiled frame, a query for a node past the count.
        Bytes b = SimConfig(1, 224);
        b.insert(b.end(), {0, 9, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0x11, 2});
        b.insert(b.end(), {7, 0, 5, 20, 0, 0x01, 0}); // query with a byte flipped
        query(b, 5, 0, 0);
        query(b, 0, 8, 0);  // block out of range
        query(b, 40, 0, 1); // a bit of the mask bytes that are always 0
        Save(t, "garbage-and-bad-frames", b);
    }
    {
        // A node with no room: tiny capacity.
        Bytes b{0, 224, 0, 2, 0x00, 0x04, 0x00, 0};
        head(b, 0, 4, 4096);
        check(b, 0, 0);
        Save(t, "no-room", b);
    }
}

void IniSeeds() {
    const std::string t = "fuzz_ini";
    auto seed = [&](const std::string& name, uint8_t flags, const std::string& section,
                    const std::string& key, const std::string& value, const std::string& content) {
        Bytes b{flags};
        for (const std::string* f : {&section, &key, &value}) {
            b.push_back(static_cast<uint8_t>(f->size()));
            b.insert(b.end(), f->begin(), f->end());
        }
        const std::string key2 = key + "2";
        b.push_back(static_cast<uint8_t>(key2.size()));
        b.insert(b.end(), key2.begin(), key2.end());
        b.insert(b.end(), content.begin(), content.end());
        Save(t, name, b);
    };
    const std::string para = "[SYS_PARA]\r\nChannel1ComID=Com1\r\nChannel1ComSum=32\r\n"
                             "Channel1ComOne=0\r\nChannel1ComSpeed=3\r\nChannel2ComID=Com2\r\n"
                             "ListColor=16759482\r\nFilePath=/work\r\n";
    seed("para", 0, "SYS_PARA", "Channel1ComMode", "2", para);
    seed("para-overwrite", 0, "sys_para", "CHANNEL1COMSUM", "  16  ", para);
    seed("para-delete", 1, "SYS_PARA", "ListColor", "", para);
    seed("batch", 2, "RTU_PARA1", "RTU_Name0", "Line A-01", para);
    seed("empty-file", 0, "S", "k", "v", "");
    seed("lf-comments-dups", 0, "b", "x", "line\nbreak",
         "; comment\n[a]\nx = 1 \n[B]\n  x=2\nx=3\n\n[a]\nx=4\n");
    seed("bom-no-final-newline", 0, "a", "new", "v", "\xEF\xBB\xBF[a]\r\nk=v");
    seed("odd-lines", 0, "[x", "k", "v", "[unclosed\r\n=novalue\r\nnokey\r\n[]\r\nk=\r\n");
    seed("bad-names", 0, "a]b", "k=1", "v", "[a]\r\nk=1\r\n");
}

void ApiSeeds() {
    const std::string t = "fuzz_api_request";
    // Method (0 GET, 1 POST, 5 PATCH), header (bit 0: a header, bit 1: the administrator's, bits
    // 2-4: the reader that also takes the body), path, body.
    auto seed = [&](const std::string& name, uint8_t method, uint8_t header,
                    const std::string& path, const std::string& body) {
        Bytes b{method, header, static_cast<uint8_t>(path.size())};
        b.insert(b.end(), path.begin(), path.end());
        b.insert(b.end(), body.begin(), body.end());
        Save(t, name, b);
    };
    const uint8_t admin = 3;
    seed("channels", 0, admin, "/api/v1/channels", "");
    seed("nodes", 0, admin, "/api/v1/channels/1/nodes", "");
    seed("files", 0, admin, "/api/v1/channels/2/nodes/032/files", "");
    seed("metrics", 0, 0, "/metrics", "");
    seed("events", 0, admin, "/api/v1/events", "");
    seed("query", 1, admin, "/api/v1/channels/1/query", R"({"nodes":["000","001"]})");
    seed("send", 1, admin | 1 << 2, "/api/v1/channels/1/send",
         R"({"nodes":["000"],"files":["/data/A.DST","/data/long-name.dsb"]})");
    seed("delete", 1, admin | 2 << 2, "/api/v1/channels/1/delete",
         R"({"node":"002","names":["A.DST"]})");
    seed("cancel", 1, admin | 3 << 2, "/api/v1/channels/2/cancel",
         R"({"nodes":["33"],"tasks":[4,5]})");
    seed("clear-bad-json", 1, admin, "/api/v1/channels/1/clear", R"({"nodes":[0,"1",null],)");
    seed("base64", 0, 1 | 4 << 2, "/api/v1/channels", "YWRtaW46cHc=");
    seed("basic-header", 0, 1 | 5 << 2, "/api/v1/channels", "Basic YWRtaW46cHc=");
    seed("day", 5, 6 << 2, "/api/v1/channels/1/send", "2026-06-04");
    seed("listen", 0, 7 << 2, "/nowhere", "[::1]:8470");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    ReplySeeds();
    RequestSeeds();
    IniSeeds();
    ApiSeeds();
    return 0;
}
