// The station's side of a wait for a data file's lock (FileLockWaitHook, platform/FileIo.h): a
// station and talvorn-cli on one working folder take turns with each file, and when another
// program keeps one for long, the window thread waits. After a moment it shows that it waits,
// for which file, with a Cancel button; Cancel gives the wait up, and the command that waited is
// refused as one whose file cannot be written. Waits on other threads are left to go on.
#pragma once

#include <QDialog>

#include <chrono>

class QLabel;
class QPushButton;

class LockWaitNotice : public QDialog {
    Q_OBJECT
public:
    // How long a wait goes unshown: most waits for another program's write are over by then.
    static constexpr std::chrono::milliseconds kShowAfter{300};

    // Installs the process's lock wait hook that shows the notice; Uninstall takes it away.
    static void Install();
    static void Uninstall();
    // The notice shown now, or null.
    static LockWaitNotice* Shown();

    QLabel* label() const { return label_; }
    QPushButton* cancelButton() const { return cancel_; }
    bool cancelled() const { return cancelled_; }

    // Made by the installed hook; public only for that.
    LockWaitNotice(const QString& lockPath, QWidget* parent);

private:
    QLabel* label_;
    QPushButton* cancel_;
    bool cancelled_ = false;
};
