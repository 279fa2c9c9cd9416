#include "DemoDriver.h"

#include "gui/app/TransferApp.h"
#include "gui/app/TransferDlg.h"
#include "gui/dialogs/LogOnDialog.h"
#include "gui/dialogs/SoftNoteDialog.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"
#include "gui/kit/DialogTable.h"
#include "link/NodeStatus.h"
#include "station/NodeRows.h"
#include "station/StationTexts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <iostream>

namespace {

// Command ids of the main window's menus and toolbar.
constexpr int kCmdQueryNode = 32820;
constexpr int kCmdSendFile = 32773;
constexpr int kCmdSelectFile = 32781;
constexpr int kCmdSelectAll = 32805;
constexpr int kCmdCancelAll = 32806;
constexpr int kCmdSoftNote = 32779;
constexpr int kCmdExitSystem = 57665;

constexpr int kDefaultTimeoutMs = 120000;

template <typename T> T* frontDialog() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

void say(const QString& text) {
    std::cout << text.toStdString() << std::endl;
}

// A node status text as the running edition shows it.
QString statusText(int status) {
    return QString::fromStdString(StationText(StatusTextId(status)));
}

} // namespace

DemoDriver::DemoDriver(CTransferApp& app, QString shots, QStringList files)
    : app_(app), shots_(std::move(shots)), files_(std::move(files)) {
    QDir().mkpath(shots_);
    buildSteps();
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &DemoDriver::tick);
    stepStarted_ = QDateTime::currentMSecsSinceEpoch();
    timer_.start();
}

CTransferDlg* DemoDriver::window() const {
    CTransferDlg* w = app_.mainWindow();
    return w != nullptr && w->isVisible() && w->timerRunning() ? w : nullptr;
}

void DemoDriver::shot(const QString& name, int settleMs) {
    // Let the windows paint what just changed before the picture is taken.
    // No step runs meanwhile.
    shooting_ = true;
    QEventLoop settle;
    QTimer::singleShot(settleMs, &settle, &QEventLoop::quit);
    settle.exec();
    shooting_ = false;
    QPixmap picture;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && screen != nullptr) {
        // The part of the display the station's windows cover (dialogs included).
        QRect area;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !w->isMinimized())
                area |= w->frameGeometry();
        area &= screen->geometry();
        picture = area.isEmpty()
                      ? screen->grabWindow(0)
                      : screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    } else if (QWidget* front = QApplication::activeModalWidget()) {
        picture = front->grab();
    } else if (app_.mainWindow() != nullptr) {
        picture = app_.mainWindow()->grab();
    }
    const QString path = QDir(shots_).filePath(
        QStringLiteral("%1-%2.png").arg(++shotCount_, 2, 10, QLatin1Char('0')).arg(name));
    if (!picture.isNull() && picture.save(path))
        say(QStringLiteral("    picture: %1").arg(path));
}

void DemoDriver::tick() {
    if (next_ >= steps_.size() || shooting_)
        return;
    Step& step = steps_[next_];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (step.ready()) {
        timer_.stop(); // an action may open a modal dialog; the next tick comes from inside it
        say(QStringLiteral("=== %1").arg(step.name));
        ++next_;
        stepStarted_ = now;
        timer_.start();
        step.act();
        if (next_ >= steps_.size()) {
            done_ = true;
            timer_.stop();
        }
        return;
    }
    if (now - stepStarted_ > step.timeoutMs)
        fail();
}

void DemoDriver::fail() {
    failedStep_ = steps_[next_].name;
    timer_.stop();
    say(QStringLiteral("demo: this step did not come about within %1 s: %2")
            .arg(steps_[next_].timeoutMs / 1000)
            .arg(failedStep_));
    shot(QStringLiteral("failed"));
    // End the way an operator would: close what is open, then the window.
    while (QWidget* front = QApplication::activeModalWidget()) {
        if (auto* d = qobject_cast<QDialog*>(front))
            d->reject();
        else
            front->close();
        QApplication::processEvents();
    }
    if (CTransferDlg* w = app_.mainWindow())
        w->close();
}

void DemoDriver::buildSteps() {
    const auto nodes = [this] { return window()->nodeList()->checkModel(); };
    const auto trigger = [this](int id) { window()->command(id)->trigger(); };
    // True when each of the first `count` node rows shows `text` (or a text beginning with it).
    const auto rowsShow = [this, nodes](int count, const QString& text) {
        if (window() == nullptr || nodes()->rowCount() < count)
            return false;
        for (int r = 0; r < count; ++r)
            if (!nodes()->cell(r, kColInfo).startsWith(text))
                return false;
        return true;
    };

    steps_.push_back({"Log on as the administrator", 30000,
                      [] { return frontDialog<LogOnDialog>() != nullptr; },
                      [this] {
                          LogOnDialog* d = frontDialog<LogOnDialog>();
                          d->nameEdit()->setText(QStringLiteral("kqzwvx"));
                          d->passwordEdit()->setText(QStringLiteral("kqzwvx"));
                          shot(QStringLiteral("log-on"));
                          d->okButton()->click();
                      }});
    steps_.push_back({"The main window on two simulated lines", 30000,
                      [this] { return window() != nullptr; },
                      [this] {
                          // Without a window manager nothing maximises the window: fill the
                          // screen as a maximised window would.
                          QScreen* s = window()->screen();
                          if (s != nullptr &&
                              window()->frameGeometry().size() != s->availableGeometry().size()) {
                              window()->showNormal();
                              window()->setGeometry(s->availableGeometry());
                          }
                          QApplication::processEvents();
                          shot(QStringLiteral("main-window"));
                      }});
    steps_.push_back({"Query Node on every machine of channel 1", kDefaultTimeoutMs,
                      [this] { return window() != nullptr; },
                      [this, trigger] {
                          window()->nodeList()->setFocus(); // the active list
                          trigger(kCmdSelectAll);
                          trigger(kCmdQueryNode);
                      }});
    steps_.push_back(
        {"Every machine answered: Query End", kDefaultTimeoutMs,
         [nodes, rowsShow] { return rowsShow(nodes()->rowCount(), statusText(NS_QUERY_END)); },
         [this, nodes] {
             // Click machine 002 to see what it holds.
             CheckListView* list = window()->nodeList();
             list->setCurrentIndex(nodes()->index(1, kColMachine));
             QApplication::processEvents();
             shot(QStringLiteral("query-end"));
         }});
    steps_.push_back({"Select File: a file group of the files to send", 30000,
                      [this] { return window() != nullptr; },
                      [trigger] { trigger(kCmdSelectFile); }});
    steps_.push_back(
        {"The file dialog", 30000, [] { return frontDialog<QFileDialog>() != nullptr; },
         [this] {
             QFileDialog* d = frontDialog<QFileDialog>();
             QStringList names;
             if (!files_.isEmpty())
                 d->setDirectory(QFileInfo(files_.first()).absolutePath());
             for (const QString& f : files_)
                 names << QLatin1Char('"') + QFileInfo(f).fileName() + QLatin1Char('"');
             if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                 edit->setText(names.join(QLatin1Char(' ')));
             QApplication::processEvents();
             shot(QStringLiteral("select-file"));
             static_cast<QDialog*>(d)->accept(); // its Open button
         }});
    steps_.push_back({"Send File to machines 001-004: tick them and the group", 30000,
                      [this] {
                          return window() != nullptr &&
                                 window()->fileGroupList()->checkModel()->rowCount() > 0;
                      },
                      [this, nodes, trigger] {
                          window()->nodeList()->setFocus();
                          trigger(kCmdCancelAll);
                          for (int r = 0; r < 4; ++r)
                              nodes()->setChecked(r, true);
                          window()->fileGroupList()->checkModel()->setChecked(0, true);
                          trigger(kCmdSendFile);
                      }});
    steps_.push_back({"The files on their way", kDefaultTimeoutMs,
                      [nodes, rowsShow] {
                          return rowsShow(4, statusText(NS_SENDING_PACKAGES)) &&
                                 nodes()->cell(0, kColRate).endsWith(QLatin1Char('%'));
                      },
                      // The window shows it already; a file's packages take only moments.
                      [this] { shot(QStringLiteral("sending"), 20); }});
    steps_.push_back({"Every machine has them: Send File End", kDefaultTimeoutMs,
                      [nodes, rowsShow] {
                          // Each file ends with that text; the send ends with the task.
                          if (!rowsShow(4, statusText(NS_FILE_DONE)))
                              return false;
                          for (int r = 0; r < 4; ++r)
                              if (nodes()->cell(r, kColTaskNum) != QLatin1String("0"))
                                  return false;
                          return true;
                      },
                      [this] {
                          // Machine 002 again: its files now include the new ones.
                          QApplication::processEvents();
                          shot(QStringLiteral("send-file-end"));
                      }});
    steps_.push_back({"Soft Note: the send in the event log", 30000,
                      [this] { return window() != nullptr; },
                      [trigger] { trigger(kCmdSoftNote); }});
    steps_.push_back({"The day's records", 30000,
                      [] { return frontDialog<SoftNoteDialog>() != nullptr; },
                      [this] {
                          // Every event of machine 001 (node 0) today, and the files of the
                          // first record.
                          SoftNoteDialog* d = frontDialog<SoftNoteDialog>();
                          d->eventBox()->setCurrentIndex(d->eventBox()->count() - 1);
                          d->nodeBox()->setCurrentIndex(0);
                          d->queryButton()->click();
                          QAbstractItemView* records = d->recordsList();
                          if (records->model()->rowCount() > 0)
                              records->setCurrentIndex(records->model()->index(0, 0));
                          QApplication::processEvents();
                          shot(QStringLiteral("soft-note"));
                          d->exitButton()->click();
                      }});
    steps_.push_back(
        {"Exit System", 30000,
         [this] { return window() != nullptr && QApplication::activeModalWidget() == nullptr; },
         [trigger] { trigger(kCmdExitSystem); }});
}
