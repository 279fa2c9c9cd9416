// The station's icon in the desktop's notification area, with its menu (Exit System). The menu
// exists in any case, so the command is the same with or without a notification area; on a
// desktop without one the icon is left out, silently. A right click on the icon opens the menu
// near the desktop's bottom-right corner, wherever the icon sits; where the platform itself opens
// an icon's menu (macOS), at the platform's place.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

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
    // Opens the menu near the desktop's bottom-right corner (the icon's right click does this).
    void openMenu();
    // Where the menu opens on a desktop of `desktop`: it ends (bottom-right) 20 pixels left of and
    // 20 pixels above the desktop's bottom-right corner, as a menu tracked at that point ends up.
    static QPoint menuPosition(const QRect& desktop, const QSize& menu);
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
