// Command ids of the main window's menus, toolbar, context menus and tray. Every command is a
// QAction whose objectName is "cmd" followed by its id ("cmd32773" is Send File), which is how
// the tests and the demo find them.
#pragma once

#include <QString>

enum CommandId {
    kTransferParameter = 32785,
    kMachineInformation = 32784,
    kFilePath = 32833,
    kUserManagement = 32787,
    kModifyPassword = 32786,
    kLogOnOut = 32778,
    kSoftNote = 32779,
    kExitSystem = 57665,
    kSelectFile = 32781,
    kSwitchChannel = 32804,
    kSendFile = 32773,
    kDeleteFile = 32774,
    kClearFile = 32775,
    kQueryNode = 32820,
    kCancelTask = 32789,
    kSelectAll = 32805,
    kSelectPart = 32822,
    kSelectOther = 32827,
    kCancelAll = 32806,
    kAdd = 32807,
    kDelete = 32808,
    kViewFile = 32771,
    kEditionInformation = 57664,
    kHowToUse = 32788,
    kTrayExitSystem = 32803,
    // Context menus.
    kNodeListSendFile = 32809,
    kNodeListClearFile = 32811,
    kNodeListCancelTask = 32819,
    kNodeFileAddFile = 32834,
    kNodeFileDeleteFile = 32812,
    kGroupFileAdd = 32791,
    kGroupFileDelete = 32790,
    kFileGroupDelete = 32799,
};

// The four selection entries of each list's context menu: Select All, Select Part, Select Other,
// Cancel All.
constexpr int kNodeListChecks[4] = {32816, 32825, 32831, 32810};
constexpr int kNodeFileChecks[4] = {32817, 32826, 32832, 32818};
constexpr int kGroupFileChecks[4] = {32797, 32823, 32829, 32798};
constexpr int kFileGroupChecks[4] = {32814, 32824, 32830, 32815};

inline QString commandName(int id) {
    return QStringLiteral("cmd%1").arg(id);
}
