// Texts the station shows, reachable by a stable identifier so that the windows can translate
// them: one table over the texts of every layer (node status texts, the channel results, task
// type names, the machine table's message, the user dialogs' texts and the station's own).
// English is the source language; a text with "%1", "%2" ... takes arguments (FormatText, or
// QString::arg on a translated text).
#pragma once

#include <functional>
#include <string>
#include <vector>

// The translated editions' catalogues hold these texts under this context, each told apart by its
// identifier (written out in decimal).
inline constexpr const char* kStationTextContext = "StationText";

// Blocks of identifiers over the texts of the other layers.
constexpr int kIdsStatusBase = 42100;        // + node status code 0..99 (link/NodeStatus.h)
constexpr int kIdsChannelResultBase = 42200; // + CCommCenter::Create's result 0..3
constexpr int kIdsTaskTypeBase = 42300;      // + task type 1, 2, 5, 6 (Cancel Task's "Style")
// The user dialogs' texts keep their own identifiers (users/UserTexts.h).

// Single identifiers.
enum StationTextId : int {
    kIdsReplaceQuestion = 42001, // follows the file name: same name in the group
    kIdsInvalidFile = 42002,     // follows the names of library files not found
    kIdsFileMissing = 42010,
    kIdsFileNotRegular = 42011,
    kIdsFileUnreadable = 42012,
    kIdsFileSizeRefused = 42013,
    kIdsFileSameNodeName = 42014,
    kIdsFileTooMany = 42015,
    kIdsMachineTextTooLong = 42400, // follows the offending machine text
    kIdsMachineTextCaption = 42401,
};

int StatusTextId(int status);        // 0 for a code outside 0..99
int ChannelResultTextId(int result); // of the result's two low bits
int TaskTypeTextId(int type);        // 0 for a type outside 0..9

// The English text of an identifier; empty for one without a text.
std::string EnglishText(int id);
// The text as shown: translated when the program installed a translator, else English.
std::string StationText(int id);

// Installed once by a translated edition before the windows open; gets the identifier and the
// English text and returns the translation (or the English text). It is the edition's one string
// table translator (platform/StringTable.h), so the user dialogs' texts follow it too.
using TextTranslator = std::function<std::string(int id, const std::string& english)>;
void SetTextTranslator(TextTranslator translator); // empty: English

// Every identifier that has a text, ascending: what a translation must cover.
std::vector<int> StationTextIds();

// `pattern` with "%1" ... "%9" replaced by the arguments; other text as it stands.
std::string FormatText(const std::string& pattern, const std::vector<std::string>& args);
