// What the main window's four lists share: their columns, their colours and their context
// menus. The panels that own the lists build them with these.
#pragma once

#include "gui/kit/CheckListModel.h"

#include <QString>
#include <QVector>

#include <initializer_list>

class CheckListView;
class QAction;
class QMenu;
class QPoint;
class QWidget;

// A list of columns titled by `titles` (texts of the main window, translated here), as wide as
// `widths`, centred but for column `leftAligned` (-1: none).
QVector<CheckListModel::Column> MainListColumns(std::initializer_list<const char*> titles,
                                                const int* widths, int leftAligned);
// Puts `model` under `view` with the parameter file's list colours.
void SetUpMainList(CheckListView* view, CheckListModel* model);

// The context menu of a list: its four selection entries (Select All, Select Part, Select Other,
// Cancel All) acting on that list, a separator, then the list's own commands.
// `checkIds` are the command ids of the four selection entries. The entries do nothing while the
// list has no rows.
QMenu* NewListMenu(CheckListView* list, const QString& title, const QString& objectName,
                   const int checkIds[4], QWidget* parent);
// Adds a command entry with the command id `id`; connect its triggered signal.
QAction* AddListMenuEntry(QMenu* menu, int id, const QString& text);
// Opens `menu` for `list` at `pos` (in the list's viewport) and waits until it closes; the tray's
// Exit System waits meanwhile.
void ExecListMenu(QMenu* menu, CheckListView* list, const QPoint& pos);
