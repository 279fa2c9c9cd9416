#include "gui/app/StationTray.h"

#include "gui/app/CommandIds.h"
#include "gui/app/TransferDlg.h"
#include "gui/kit/StationIcons.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
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
#ifdef Q_OS_MACOS
    icon_->setContextMenu(menu_); // the menu bar's icons open their menus themselves
#endif
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit restoreRequested();
                else if (reason == QSystemTrayIcon::Context && icon_->contextMenu() == nullptr)
                    openMenu();
            });
    icon_->show();
}

QPoint StationTray::menuPosition(const QRect& desktop, const QSize& menu) {
    const QPoint end = desktop.topLeft() + QPoint(desktop.width() - 20, desktop.height() - 20);
    return end - QPoint(menu.width(), menu.height());
}

void StationTray::openMenu() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        menu_->popup(QCursor::pos());
        return;
    }
    menu_->popup(menuPosition(screen->geometry(), menu_->sizeHint()));
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
