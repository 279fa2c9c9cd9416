// Decoding a reply as a pure function over bytes: what was asked and the body that came back go
// in, the outcome for the asked node comes out as a value. No ring, no sleeps, no shared state;
// the parser thread reads the bytes and applies the outcome to the node record in one place.
#pragma once

#include "link/Frame.h"

#include <cstddef>
#include <cstdint>

// The node's status stays as it is (a check reply with only bits 0..3 set, or a bad check body).
constexpr int32_t kKeepStatus = -1;

// What the outstanding request asked, and what the node record held when the reply came.
struct ReplyAsk {
    int32_t command = 0;      // CMD_QUERY_NODE or CMD_CHECK_FILE
    int32_t block = 0;        // query: the block index asked (0 storage, 1..7 list)
    int32_t fileCount = 0;    // query: the node's fileCount
    int32_t listedCount = 0;  // query: entries received so far
    int32_t packageCount = 0; // check: data packages of the file in transfer
};

struct ReplyOutcome {
    enum Kind : uint8_t {
        Failed,  // no usable reply: only `status` (and nothing else) applies
        Storage, // storage figures
        List,    // file-list entries
        Check,   // receive state of a file
    };
    Kind kind = Failed;
    int32_t status = kKeepStatus;
    bool replied = false;      // a body with a good check byte that fits the request
    bool clearPending = false; // check: the node has answered for good

    // Storage.
    uint32_t totalBytes = 0;
    int32_t clusterBytes = 0;
    int32_t maxFiles = 0;
    int32_t freeBytes = 0;
    // Storage and list: the new counts.
    int32_t fileCount = 0;
    int32_t listedCount = 0;

    // List: `entryCount` entries go to entries[firstEntry ..]; entry j is 12 name bytes at
    // entryBytes + 16 j followed by its 4 length bytes. Never reaches past the 224 places.
    int32_t firstEntry = 0;
    int32_t entryCount = 0;
    const uint8_t* entryBytes = nullptr; // points into the body

    // Check: the need bitmap (360 bytes, points into the body) when the node sent one.
    const uint8_t* bitmap = nullptr;
    int32_t missingCount = 0;
};

// Failure of the framing itself (header missing, header check wrong, body incomplete).
ReplyOutcome NoReplyOutcome();

// Whether a body of m bytes (check byte included) can answer the request at all: a storage block
// is 14 bytes; a list block 3 + 16 e with e <= 32 and the block number asked; a check reply is
// 2 bytes, or 362 with the need bitmap when status bit 4 is set.
bool ReplyFitsRequest(const ReplyAsk& ask, const uint8_t* body, size_t m);

// Decodes a whole body (m bytes, check byte included). A body whose check fails or whose length
// does not fit the request is bad: a query reply then ends with NS_BAD_REPLY, a check reply keeps
// the status (the request stays unanswered).
ReplyOutcome DecodeReply(const ReplyAsk& ask, const uint8_t* body, size_t m);

// Statuses an outcome may carry, for the fuzzers and the tests.
bool ParserMaySet(int32_t command, int32_t status);
