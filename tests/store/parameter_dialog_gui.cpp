// The Parameter Setting dialog through its command: nothing is written after a failed check or
// while work is pending, a device path survives OK, and OK with another port re-creates the centre
// on that port (a simulated line).
#include "DialogReview.h"
#include "GuiFixture.h"
#include "SimLines.h"

#include "gui/dialogs/ParameterDialog.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "station/Centre.h"
#include "store/IniFile.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"
#include "users/CurrentUser.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

namespace {

class ParameterSetting : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        Params().workDir = workDir;
        logOn("kqzwvx", 1);
    }
    std::string para() const { return file("Para.ini"); }
    std::string paraBytes() const {
        std::ifstream in(para(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // A Para.ini with the defaults, then these channel values.
    void configure(const std::string& port1, int sum1, const std::string& port2) {
        ProfileClearCache();
        ASSERT_TRUE(WriteDefaultParameters());
        ASSERT_TRUE(WriteIniString("SYS_PARA", "Channel1ComID", port1, para()));
        ASSERT_TRUE(WriteIniInt("SYS_PARA", "Channel1ComSum", sum1, para()));
        ASSERT_TRUE(WriteIniString("SYS_PARA", "Channel2ComID", port2, para()));
        ASSERT_TRUE(LoadParameters());
    }
    static ParameterDialog& as(QDialog& d) {
        auto* p = qobject_cast<ParameterDialog*>(&d);
        EXPECT_NE(p, nullptr);
        return *p;
    }
};

TEST_F(ParameterSetting, ABadValueOrPendingWorkWritesNothing) {
    configure("Com1", 32, "Com2");
    const std::string before = paraBytes();

    prompts.onDialog([&](QDialog& d) {
        ParameterDialog& p = as(d);
        EXPECT_EQ(p.windowTitle(), "Parameter Setting");
        EXPECT_EQ(p.portBox(0)->currentText(), "COM1"); // "Com1" selects "COM1"
        EXPECT_EQ(p.speedBox(1)->currentText(), "115200 bps");
        EXPECT_EQ(p.firstNumberEdit(1)->text(), "32");
        ExpectLabelledControls(p);
        SaveReviewShot(p, "parameter_setting");

        // Change a port first, so that a half-written file would show.
        p.portBox(0)->setCurrentIndex(4);
        p.nodeNumberEdit(1)->selectAll();
        QTest::keyClicks(p.nodeNumberEdit(1), "3x");
        QTest::keyClick(p.nodeNumberEdit(1), Qt::Key_Return);
        EXPECT_EQ(prompts.messages(), QStringList{"Please enter an integer."});
        EXPECT_EQ(prompts.shown().back().caption, "Prompting");
        EXPECT_TRUE(p.isVisible());
        EXPECT_EQ(QApplication::focusWidget(), p.nodeNumberEdit(1));
        EXPECT_EQ(p.nodeNumberEdit(1)->selectedText(), "3x");
        EXPECT_EQ(paraBytes(), before);
        EXPECT_EQ(Params().comId[0], "Com1");
        EXPECT_EQ(CCommCenter::Instance(), nullptr);
        QTest::keyClick(&p, Qt::Key_Escape); // CANCEL
        return -1;
    });
    int result = -7;
    EXPECT_FALSE(RunParameterSetting(nullptr, &result));
    EXPECT_EQ(result, -7);
    EXPECT_EQ(paraBytes(), before);

    // A node with a task note: the command refuses and opens nothing.
    int none[kChannels] = {0, 0};
    const std::string noPort[kChannels] = {"", ""};
    CCommCenter::Create(noPort, none, none, none);
    CCommCenter& old = *CCommCenter::Instance();
    old.nodes[1][3].pendingTaskCount.store(1);
    prompts.clear();
    EXPECT_FALSE(RunParameterSetting(nullptr, &result));
    EXPECT_EQ(prompts.messages(), QStringList{"Task is doing, please waiting!"});
    EXPECT_TRUE(prompts.shownOf("exec").empty());

    // Work that appears while the dialog is open: OK refuses too and re-creates nothing.
    old.nodes[1][3].pendingTaskCount.store(0);
    old.taskCounter[0].store(77); // marks the old centre
    prompts.clear();
    prompts.onDialog([&](QDialog& d) {
        ParameterDialog& p = as(d);
        p.nodeNumberEdit(0)->setText("8");
        old.nodes[0][0].pendingTaskCount.store(1);
        QTest::mouseClick(p.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages(), QStringList{"Task is doing, please waiting!"});
        EXPECT_TRUE(p.isVisible());
        EXPECT_EQ(paraBytes(), before);
        EXPECT_EQ(CCommCenter::Instance()->taskCounter[0].load(), 77);
        old.nodes[0][0].pendingTaskCount.store(0);
        QTest::mouseClick(p.okButton(), Qt::LeftButton);
        return -1;
    });
    EXPECT_TRUE(RunParameterSetting(nullptr, &result));
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel1ComSum", para()), 8);
    ASSERT_NE(CCommCenter::Instance(), nullptr);
    EXPECT_EQ(CCommCenter::Instance()->taskCounter[0].load(), 0); // a new centre

    // Without "Set System Parameter" nothing happens and nothing shows.
    logOff();
    logOn("amy", 0);
    CurrentUser.rightsLo = 0xEE;
    prompts.clear();
    EXPECT_FALSE(RunParameterSetting(nullptr, &result));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(ParameterSetting, ADevicePathSurvivesOkAndAnUnlistedNameIsDropped) {
    const std::string device = workDir + "/no-such-tty";
    configure(device, 4, "COM12");
    prompts.onDialog([&](QDialog& d) {
        ParameterDialog& p = as(d);
        EXPECT_EQ(p.portBox(0)->currentText(), QString::fromStdString(device));
        EXPECT_EQ(p.portBox(1)->currentIndex(), -1); // nothing begins with "COM12"
        QTest::mouseClick(p.okButton(), Qt::LeftButton);
        return -1;
    });
    int result = -1;
    EXPECT_TRUE(RunParameterSetting(nullptr, &result));
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(CCommCenter::ResultText(result), "Two Channels Error");
    EXPECT_EQ(ReadIniString("SYS_PARA", "Channel1ComID", para()), device);
    EXPECT_EQ(Params().comId[0], device);
    EXPECT_EQ(ReadIniString("SYS_PARA", "Channel2ComID", para()), "");
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(ParameterSetting, OkWithAnotherPortRecreatesTheCentreOnIt) {
    nodesim::Config config;
    config.nodeCount = 2;
    testsupport::SimLine line(config);
    ASSERT_TRUE(line.Start());
    configure("COM2", 2, "");
    ASSERT_TRUE(WriteIniString("PORTS", "COM2", workDir + "/no-such-tty", para()));
    ASSERT_TRUE(WriteIniString("PORTS", "COM3", line.link(), para()));
    ASSERT_EQ(StartCentreFromParameters(), 0);

    prompts.onDialog([&](QDialog& d) {
        ParameterDialog& p = as(d);
        EXPECT_EQ(QApplication::focusWidget(), p.portBox(0));
        EXPECT_EQ(p.portBox(0)->currentText(), "COM2");
        QTest::keyClick(p.portBox(0), Qt::Key_Down); // the keyboard picks the next port
        EXPECT_EQ(p.portBox(0)->currentText(), "COM3");
        QTest::keyClick(p.portBox(0), Qt::Key_Return);
        return -1;
    });
    int result = -1;
    ASSERT_TRUE(RunParameterSetting(nullptr, &result));
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(CCommCenter::ResultText(result), "Channel One Success, Channel Two Error");
    EXPECT_EQ(ReadIniString("SYS_PARA", "Channel1ComID", para()), "COM3");

    // The new centre serves the simulated line.
    CTransTask request;
    request.nodeMask[0] = request.nodeMask[1] = 1;
    ASSERT_EQ(CreateQueryTask(0, request), 1);
    CCommCenter& cc = *CCommCenter::Instance();
    EXPECT_TRUE(testsupport::WaitFor([&] {
        return cc.nodes[0][0].status.load() == NS_QUERY_END &&
               cc.nodes[0][1].status.load() == NS_QUERY_END;
    }));
    CCommCenter::Destroy(); // before the line goes
}

} // namespace
