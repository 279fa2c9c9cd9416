#include "gui/app/StationTray.h"

#include "gui/app/CommandIds.h"
#include "gui/app/TransferDlg.h"
#include "gui/kit/StationIcons.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

// The tray's texts are the main window's (CTransferDlg::tr): one context in the catalogues.

StationTray::StationTray(QWidget* window) : QObject(window) {
    menu_ = new QMenu(CTransferDlg::tr("Task Bar"), window);
    menu_->setObjectName("trayMenu");
    auto* exit = new QAction(CTransferDlg::tr("Exit System"), menu_);
    exit->setObjectName(commandName(kTrayExitSystem));
    connect(exit, &QAction::triggered, this, &StationTray::exitRequested);
    menu_->addAction(exit);

    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    icon_ = new QSystemTrayIcon(StationIcon(), this);
    icon_->setToolTip(CTransferDlg::tr("Quorvelle Network Transfer System"));
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit restoreRequested();
            });
    icon_->show();
}

StationTray::~StationTray() {
    remove();
}

void StationTray::remove() {
    if (icon_ == nullptr)
        return;
    icon_->hide();
    delete icon_;
    icon_ = nullptr;
}
