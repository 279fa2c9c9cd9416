#include "gui/kit/LockWaitNotice.h"

#include "platform/FileIo.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace {

QPointer<LockWaitNotice> gShown;

// Only the window thread shows anything; its wait goes on while the notice's events run, so the
// notice paints and its Cancel button answers. The notice is application modal: nothing else of
// the station takes input meanwhile.
bool onWait(const FileLockWait& wait) {
    if (QApplication::instance() == nullptr ||
        QThread::currentThread() != QApplication::instance()->thread())
        return true;
    if (wait.over) {
        delete gShown.data();
        return true;
    }
    if (wait.waited < LockWaitNotice::kShowAfter)
        return true;
    if (gShown.isNull()) {
        gShown =
            new LockWaitNotice(QString::fromStdString(wait.lockPath), QApplication::activeWindow());
        gShown->show();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return gShown.isNull() || !gShown->cancelled();
}

} // namespace

LockWaitNotice::LockWaitNotice(const QString& lockPath, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Waiting"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The data file the lock belongs to: "Para.ini" for "Para.ini.lock".
    QString file = QFileInfo(lockPath).fileName();
    if (file.endsWith(QLatin1String(".lock")))
        file.chop(5);
    label_ = new QLabel(
        tr("Waiting for another program to finish with %1 (a station or talvorn-cli working in "
           "the same folder).")
            .arg(QFileInfo(lockPath).absolutePath() + '/' + file),
        this);
    label_->setWordWrap(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setAccessibleName(tr("Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    // Closing the notice gives the wait up as Cancel does.
    connect(this, &QDialog::rejected, this, [this] { cancelled_ = true; });
}

void LockWaitNotice::Install() {
    SetFileLockWaitHook(onWait);
}

void LockWaitNotice::Uninstall() {
    SetFileLockWaitHook(nullptr);
    delete gShown.data();
}

LockWaitNotice* LockWaitNotice::Shown() {
    return gShown.data();
}
