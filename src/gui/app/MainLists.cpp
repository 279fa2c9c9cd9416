#include "gui/app/MainLists.h"

#include "gui/app/CommandIds.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"
#include "gui/kit/Prompter.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

QVector<CheckListModel::Column> MainListColumns(std::initializer_list<const char*> titles,
                                                const int* widths, int leftAligned) {
    QVector<CheckListModel::Column> out;
    int i = 0;
    for (const char* t : titles) {
        out.push_back(
            {QCoreApplication::translate("CTransferDlg", t), widths[i], i != leftAligned});
        ++i;
    }
    return out;
}

void SetUpMainList(CheckListView* view, CheckListModel* model) {
    view->setCheckModel(model);
    view->setListColors(ListColorsFromParameters());
}

QMenu* NewListMenu(CheckListView* list, const QString& title, const QString& objectName,
                   const int checkIds[4], QWidget* parent) {
    auto* menu = new QMenu(title, parent);
    menu->setObjectName(objectName);
    // The texts belong to the main window's context in the catalogues.
    const char* texts[4] = {QT_TRANSLATE_NOOP("CTransferDlg", "Select All"),
                            QT_TRANSLATE_NOOP("CTransferDlg", "Select Part"),
                            QT_TRANSLATE_NOOP("CTransferDlg", "Select Other"),
                            QT_TRANSLATE_NOOP("CTransferDlg", "Cancel All")};
    const CheckListView::CheckOp ops[4] = {
        CheckListView::CheckOp::All, CheckListView::CheckOp::Selected,
        CheckListView::CheckOp::Unselected, CheckListView::CheckOp::None};
    for (int i = 0; i < 4; ++i) {
        QAction* a = AddListMenuEntry(menu, checkIds[i],
                                      QCoreApplication::translate("CTransferDlg", texts[i]));
        QObject::connect(a, &QAction::triggered, list, [list, op = ops[i]] {
            if (list->checkModel()->rowCount() > 0)
                list->applyCheckOp(op);
        });
    }
    menu->addSeparator();
    return menu;
}

QAction* AddListMenuEntry(QMenu* menu, int id, const QString& text) {
    auto* a = new QAction(text, menu);
    a->setObjectName(commandName(id));
    menu->addAction(a);
    return a;
}

void ExecListMenu(QMenu* menu, CheckListView* list, const QPoint& pos) {
    PrompterBusyScope busy; // the tray's Exit System waits while a menu is open
    menu->exec(list->viewport()->mapToGlobal(pos));
}
