#include "gui/app/TransferApp.h"

#include "gui/app/EditionLanguage.h"
#include "gui/app/LoadingWindow.h"
#include "gui/app/TransferDlg.h"
#include "gui/dialogs/LogOnDialog.h"
#include "gui/kit/ListAccessibility.h"
#include "gui/kit/LockWaitNotice.h"
#include "gui/kit/Prompter.h"
#include "gui/kit/StationIcons.h"
#include "link/CommCenter.h"
#include "store/MachineTable.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>

#include <filesystem>
#include <system_error>

CTransferApp::CTransferApp(const Edition& edition) : edition_(edition) {}

CTransferApp::~CTransferApp() {
    mainWindow_.reset();
}

bool CTransferApp::StartUp() {
    std::error_code ec;
    Params().workDir = std::filesystem::current_path(ec).string();
    if (!LoadParameters()) {
        loadFailed_ = true;
        prompter().message(
            nullptr, QString(),
            QCoreApplication::translate("CTransferApp", "Loading Data Base Failed!"));
        return false;
    }
    caption_ = QCoreApplication::translate("CTransferApp", "Quorvelle Network Transfer System");
    (void)LoadMachineTable(); // without it the machines are unnamed; nothing to report
    if (!LogOnLoop())
        return false;

    auto loading = std::make_unique<LoadingWindow>();
    loading->setWindowTitle(caption_);
    loading->showNow();
    mainWindow_ = std::make_unique<CTransferDlg>(edition_);
    mainWindow_->setWindowTitle(caption_);
    mainWindow_->Initialise(std::move(loading));
    return true;
}

bool CTransferApp::LogOnLoop() {
    QString typedName;
    for (;;) {
        LogOnDialog dialog;
        if (!typedName.isEmpty())
            dialog.keepUserName(typedName);
        if (prompter().exec(dialog) != QDialog::Accepted)
            return false; // CANCEL or the window closed: the program ends quietly
        if (dialog.accepted()) {
            logOn(dialog.result().userName, dialog.result().isAdmin);
            return true;
        }
        // Refused: the operator types the password again, not the name too.
        typedName = dialog.nameEdit()->text();
    }
}

int RunStation(int argc, char** argv, const Edition& edition,
               const std::function<void(CTransferApp&)>& driver) {
    QApplication app(argc, argv);
    InstallListAccessibility(); // before the first window: screen readers read every list safely
    QApplication::setWindowIcon(StationIcon());
    const EditionLanguage language(edition); // before the first window
    // A data file's lock kept by another program: the window shows that it waits.
    LockWaitNotice::Install();
    int status = 0;
    {
        CTransferApp station(edition);
        if (driver)
            driver(station);
        if (station.StartUp()) {
            QObject::connect(station.mainWindow(), &CTransferDlg::closed, &app,
                             &QCoreApplication::quit, Qt::QueuedConnection);
            status = QApplication::exec();
        } else if (station.loadFailed()) {
            status = 1;
        }
    }
    // However the loop ended, the channels' threads stop and the ports close.
    CCommCenter::Destroy();
    LockWaitNotice::Uninstall();
    return status;
}
