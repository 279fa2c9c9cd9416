// Base of the main window's tests: a working folder with a Para.ini written by the test, the
// station started through its own start-up (log-on dialog answered by the scripted Prompter), and
// simulated lines on pseudo-terminals for the channels.
#pragma once

#include "GuiFixture.h"
#include "GuiWait.h"
#include "SimLines.h"

#include "gui/app/TransferApp.h"
#include "gui/app/TransferDlg.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"
#include "link/CommCenter.h"
#include "users/CurrentUser.h"
#include "users/UserStore.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "gui/dialogs/LogOnDialog.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

class StationTest : public GuiFixture {
protected:
    struct Channel {
        Channel(std::string port = {}, int count = 0, int first = 0, std::string device = {})
            : port(std::move(port)), count(count), first(first), device(std::move(device)) {}
        std::string port; // empty: not used
        int count;
        int first;
        std::string device; // when set, section "PORTS" maps `port` ("COM1") to it
    };

    void TearDown() override {
        app.reset();
        lines[0].reset();
        lines[1].reset();
        GuiFixture::TearDown();
    }

    // A simulated line of `nodes` nodes for channel c (0 or 1).
    testsupport::SimLine& startLine(int c, int nodes, nodesim::Config config = {}) {
        config.nodeCount = nodes;
        lines[c] = std::make_unique<testsupport::SimLine>(std::move(config));
        std::string error;
        EXPECT_TRUE(lines[c]->Start(&error)) << error;
        return *lines[c];
    }

    // Para.ini with both channels at 115200 bps and the default colours.
    void writeParameters(const Channel& one, const Channel& two) {
        std::ofstream out(file("Para.ini"), std::ios::trunc);
        const Channel* ch[2] = {&one, &two};
        out << "[SYS_PARA]\r\n";
        for (int c = 0; c < 2; ++c) {
            const std::string k = "Channel" + std::to_string(c + 1);
            out << k << "ComID=" << ch[c]->port << "\r\n"
                << k << "ComSum=" << ch[c]->count << "\r\n"
                << k << "ComOne=" << ch[c]->first << "\r\n"
                << k << "ComSpeed=3\r\n";
        }
        out << "ListColor=16759482\r\nFontBKColor=16759482\r\nFontColor=2631720\r\n"
            << "FilePath=" << workDir << "\r\n";
        out << "[PORTS]\r\n";
        for (const Channel* c : ch)
            if (!c->device.empty())
                out << c->port << "=" << c->device << "\r\n";
    }

    // An operator with the given rights (the table is created first when missing).
    static void addOperator(const std::string& name, const std::string& password, uint16_t rights) {
        (void)FindUser("");
        ASSERT_EQ(addUser(makeUserRecord(name, password, 0, rights)), UserChange::kOk);
    }

    // Scripts the next Log On dialog: types the name and password and presses OK.
    void scriptLogOn(const QString& name, const QString& password) {
        prompts.onDialog([name, password](QDialog& d) {
            auto* dlg = qobject_cast<LogOnDialog*>(&d);
            EXPECT_NE(dlg, nullptr);
            if (dlg == nullptr)
                return int(QDialog::Rejected);
            dlg->nameEdit()->selectAll(); // a name kept from a refused try is typed over
            QTest::keyClicks(dlg->nameEdit(), name);
            QTest::keyClicks(dlg->passwordEdit(), password);
            QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
            return -1;
        });
    }
    void scriptLogOnCancel() {
        prompts.onDialog([](QDialog& d) {
            auto* dlg = qobject_cast<LogOnDialog*>(&d);
            EXPECT_NE(dlg, nullptr);
            if (dlg != nullptr)
                QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
            return -1;
        });
    }

    // Starts the station as the default administrator (or as `name`); true when the main window
    // runs.
    bool start(const QString& name = kDefaultAdminName,
               const QString& password = kDefaultAdminPassword) {
        scriptLogOn(name, password);
        app = std::make_unique<CTransferApp>(edition);
        return app->StartUp();
    }

    // Ends the running station as a test may (no close request) and starts it again.
    bool restart(const QString& name = kDefaultAdminName,
                 const QString& password = kDefaultAdminPassword) {
        app.reset();
        CCommCenter::Destroy();
        CurrentUser = LogOnState{};
        return start(name, password);
    }

    // A row of the node list as its cells read.
    QStringList nodeRow(int row) {
        QStringList out;
        for (int c = 0; c < nodes().columnCount(); ++c)
            out << nodes().cell(row, c);
        return out;
    }
    QStringList nodeLabels() {
        QStringList out;
        for (int r = 0; r < nodes().rowCount(); ++r)
            out << nodes().cell(r, 0);
        return out;
    }
    // Clicks a row of a list, as the operator does.
    static void clickRow(CheckListView* list, int row, int column = 1) {
        const QRect cell = list->visualRect(list->model()->index(row, column));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    CTransferDlg& win() { return *app->mainWindow(); }
    CheckListModel& nodes() { return *win().nodeList()->checkModel(); }
    CheckListModel& nodeFiles() { return *win().nodeFileList()->checkModel(); }
    CheckListModel& groupFiles() { return *win().groupFileList()->checkModel(); }
    CheckListModel& fileGroups() { return *win().fileGroupList()->checkModel(); }

    // The texts of one column of a list, top to bottom.
    static QStringList column(const CheckListModel& list, int c) {
        QStringList out;
        for (int r = 0; r < list.rowCount(); ++r)
            out << list.cell(r, c);
        return out;
    }
    // Ticks exactly the given rows of a list.
    static void tick(CheckListModel& list, std::initializer_list<int> rows) {
        for (int r = 0; r < list.rowCount(); ++r)
            list.setChecked(r, std::find(rows.begin(), rows.end(), r) != rows.end());
    }
    // Gives a list the input focus, as a click or Tab does: it becomes the active list.
    void focusList(CheckListView* list) {
        QApplication::setActiveWindow(&win());
        list->setFocus(Qt::MouseFocusReason);
        WAIT_EQ(win().activeList(), list, 30000);
    }
    // Runs a command as its menu entry, toolbar button or context menu entry does.
    void run(int id) {
        QAction* a = win().command(id);
        ASSERT_NE(a, nullptr) << id;
        a->trigger();
    }
    // A file of `size` synthetic bytes in the working folder (folders made as needed).
    std::string makeFile(const std::string& name, size_t size, uint32_t seed = 1) {
        const std::string path = file(name);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        EXPECT_TRUE(testsupport::WriteFile(path, testsupport::DesignBytes(size, seed)));
        return path;
    }

    QString pane(int i) { return win().statusPane(i)->text(); }

    std::unique_ptr<testsupport::SimLine> lines[2];
    std::unique_ptr<CTransferApp> app;
    Edition edition = kEnglishEdition; // the edition start() runs
};
