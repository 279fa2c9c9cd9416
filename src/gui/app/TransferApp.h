// The application object: takes the station from process start to the running main window. It
// reads the working folder, loads Para.ini ("Loading Data Base Failed!" when it cannot) and
// RTU.ini, runs the Log On dialog until a user is accepted or the operator cancels, shows the
// loading window and builds the main window, which opens the channels.
#pragma once

#include "gui/app/Edition.h"

#include <QString>

#include <functional>
#include <memory>

class CTransferDlg;

class CTransferApp {
public:
    explicit CTransferApp(const Edition& edition);
    ~CTransferApp();
    CTransferApp(const CTransferApp&) = delete;
    CTransferApp& operator=(const CTransferApp&) = delete;

    // True when the main window runs; false when the program ends here (parameter file not
    // loaded, or log-on cancelled).
    bool StartUp();

    // The main window, once StartUp has built it.
    CTransferDlg* mainWindow() const { return mainWindow_.get(); }
    const Edition& edition() const { return edition_; }
    // True when StartUp ended because the parameter file could not be loaded.
    bool loadFailed() const { return loadFailed_; }

private:
    // Shows the Log On dialog until it accepts a user (true) or is cancelled (false).
    bool LogOnLoop();

    const Edition edition_;
    QString caption_;
    bool loadFailed_ = false;
    std::unique_ptr<CTransferDlg> mainWindow_;
};

// The whole program of an edition: a QApplication, the edition's language, start-up, the event
// loop. Returns the exit status (0 after a normal close or a cancelled log-on, 1 when the
// parameter file failed). `driver`, when given, is called once the application and the language
// are in place and before start-up; only the demo program passes one (a scripted operator).
int RunStation(int argc, char** argv, const Edition& edition,
               const std::function<void(CTransferApp&)>& driver = {});
