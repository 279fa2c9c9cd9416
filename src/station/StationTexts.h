// Texts the station shows, reachable by a stable identifier so that the windows can translate
// them: one table over the texts of every layer. English is the source language; a text with
// "%1", "%2" ... takes arguments (FormatText, or QString::arg on a translated text).
#pragma once

#include <string>
#include <vector>

// Our own identifiers; the user dialogs' texts keep theirs (users/UserTexts.h, 41700 to 41799).
enum StationTextId : int {
    kIdsReplaceQuestion = 42001, // follows the file name: same name in the group
    kIdsInvalidFile = 42002,     // follows the names of library files not found
    kIdsFileMissing = 42010,
    kIdsFileNotRegular = 42011,
    kIdsFileUnreadable = 42012,
    kIdsFileSizeRefused = 42013,
    kIdsFileSameNodeName = 42014,
    kIdsFileTooMany = 42015,
};

// The text of an identifier; empty for an unknown one.
std::string StationText(int id);

// `pattern` with "%1" ... "%9" replaced by the arguments; other text as it stands.
std::string FormatText(const std::string& pattern, const std::vector<std::string>& args);
