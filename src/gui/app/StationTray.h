// The station's icon in the desktop's notification area, with its menu (Exit System). The menu
// exists in any case, so the command is the same with or without a notification area; on a
// desktop without one the icon is left out, silently.
#pragma once

#include <QObject>

class QMenu;
class QSystemTrayIcon;
class QWidget;

class StationTray : public QObject {
    Q_OBJECT
public:
    // `window` owns the menu (so the window's command look-up finds its entry).
    explicit StationTray(QWidget* window);
    ~StationTray() override;

    QMenu* menu() const { return menu_; }
    QSystemTrayIcon* icon() const { return icon_; }
    // Takes the icon out of the notification area for good.
    void remove();

signals:
    void exitRequested();
    // A click on the icon: the window comes back.
    void restoreRequested();

private:
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
};
