// Node numbers and node file names as the operator sees them, in the windows and in talvorn-cli.
// The numbers themselves are the store's (the machine table shows them too).
#pragma once

#include "link/CommCenter.h"
#include "store/NodeNumbers.h"

#include <cstdint>
#include <string>
#include <vector>

// The name the node-file list shows for a file-table entry's 12-byte name field: the base name
// (bytes 0-7) and the extension (bytes 8-11), each without trailing blanks or zero bytes, joined
// by "." when the extension is not empty. All four extension bytes count: a name sent with a
// four-letter extension shows whole, so two such files never look alike. Bytes that are not plain
// printable characters come from a node and are shown escaped ("\x07").
std::string ShownNodeFileName(const uint8_t name[12]);

// Two 12-byte name fields that a node keeps as one name: padding blanks and zero bytes alike.
bool SameNodeName(const uint8_t* a, const uint8_t* b);

// One row of the selected node's file list.
struct NodeFileRow {
    std::string noText;   // "No.": "%2d" of the entry's index
    std::string name;     // "FileName": ShownNodeFileName
    std::string sizeText; // "Size": the entry's length
    std::string field;    // the entry's 12 stored bytes: what Delete File sends for the row
    uint32_t length = 0;
};

// The rows of a node's file list: its first fileCount entries, read consistently, up to the first
// entry whose base name is empty. Delete File takes the names from these rows (their `field`),
// never from the node's table again: a query may have changed the table since the list was shown.
std::vector<NodeFileRow> NodeFileRows(const NodeRecord& node);
