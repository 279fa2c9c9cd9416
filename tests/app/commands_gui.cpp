// The main window's commands around the transfers: rights, missing selections, questions, Switch
// Channel, Transfer Parameter, Log On/Out, File Path and the Help menu.
#include "StationFixture.h"

#include "gui/dialogs/ParameterDialog.h"
#include "platform/PrivateProfile.h"
#include "station/Centre.h"
#include "store/SystemParameters.h"
#include "users/UserRecord.h"

#include <QDialogButtonBox>
#include <QUrl>

namespace {

// Command ids.
constexpr int kTransferParameter = 32785, kMachineInformation = 32784, kFilePath = 32833,
              kUserManagement = 32787, kModifyPassword = 32786, kLogOnOut = 32778,
              kSoftNote = 32779, kSelectFile = 32781, kSwitchChannel = 32804, kSendFile = 32773,
              kDeleteFile = 32774, kClearFile = 32775, kQueryNode = 32820, kCancelTask = 32789,
              kDelete = 32808, kViewFile = 32771, kEditionInformation = 57664, kHowToUse = 32788,
              kGroupFileDelete = 32790, kFileGroupDelete = 32799;

const QString kChooseNode = "Please Choose The Node in List!";

} // namespace

TEST_F(StationTest, RefusedCommandsDoNothingAndShowNothing) {
    testsupport::SimLine& line = startLine(0, 2);
    writeParameters({line.link(), 2, 0}, {"", 0, 32});
    addOperator("Line Operator", "op", 0); // no right at all
    ASSERT_TRUE(start("Line Operator", "op"));

    // What a command would act on: both nodes, a group (a drop needs no right), a shown file.
    const std::string a = makeFile("A.DST", 300);
    win().groupFileList()->filesDropped({QString::fromStdString(a)});
    ASSERT_EQ(fileGroups().rowCount(), 1);
    tick(nodes(), {0, 1});
    tick(fileGroups(), {0});
    tick(groupFiles(), {0});
    prompts.clear();

    // One command of each right, and User Management (administrators only).
    for (int id :
         {kSelectFile, kViewFile, kSendFile, kDeleteFile, kClearFile, kQueryNode, kCancelTask,
          kSoftNote, kMachineInformation, kTransferParameter, kModifyPassword, kUserManagement})
        run(id);
    EXPECT_TRUE(prompts.shown().empty()) << prompts.shown().front().text.toStdString();
    EXPECT_FALSE(CentreBusy());
    EXPECT_TRUE(win().nodeViewShown());
    EXPECT_FALSE(std::filesystem::exists(file("item1.ini"))) << "nothing logged";
    EXPECT_EQ(fileGroups().rowCount(), 1);
    EXPECT_TRUE(win().timerRunning());
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
}

TEST_F(StationTest, MissingSelectionsAreReportedAndNoEndsACommand) {
    testsupport::SimLine& line = startLine(0, 2);
    writeParameters({line.link(), 2, 0}, {"", 0, 32});
    ASSERT_TRUE(start());
    prompts.clear();

    // No node checked.
    run(kQueryNode);
    run(kSendFile);
    prompts.answer(true);
    run(kClearFile);
    EXPECT_EQ(prompts.messages(), QStringList({kChooseNode, kChooseNode, kChooseNode}));
    for (const auto& shown : prompts.shown())
        EXPECT_EQ(shown.caption, "Prompting");

    // Delete File and Clear File answered No: nothing else, not even the selection check.
    prompts.clear();
    prompts.answer(false);
    run(kDeleteFile);
    prompts.answer(false);
    run(kClearFile);
    ASSERT_EQ(prompts.shown().size(), 2u);
    EXPECT_EQ(prompts.shown()[0].kind, "question");
    EXPECT_EQ(prompts.shown()[0].text, "Do  you delete the files in the node?");
    EXPECT_EQ(prompts.shown()[1].kind, "question");
    // Both destroy what the machines hold: No is their default button.
    for (const auto& shown : prompts.shown())
        EXPECT_EQ(shown.icon, Prompter::Icon::Danger);

    // Delete File answered Yes with no node's files shown.
    prompts.clear();
    prompts.answer(true);
    run(kDeleteFile);
    EXPECT_EQ(prompts.messages(), QStringList{kChooseNode});

    // A node checked but no group: "Please Select File Group First!"; Cancel Task with nothing
    // pending shows nothing.
    prompts.clear();
    tick(nodes(), {1});
    run(kSendFile);
    run(kCancelTask);
    EXPECT_EQ(prompts.messages(), QStringList{"Please Select File Group First!"});
    EXPECT_EQ(prompts.shown().size(), 1u);
    EXPECT_FALSE(CentreBusy());

    // A send that would leave files out says which and asks; No sends nothing.
    const std::string empty = makeFile("E.DST", 0);
    win().groupFileList()->filesDropped(
        {QString::fromStdString(makeFile("A.DST", 10)), QString::fromStdString(empty)});
    tick(fileGroups(), {0});
    prompts.clear();
    prompts.answer(false);
    run(kSendFile);
    ASSERT_EQ(prompts.shownOf("question").size(), 1u);
    EXPECT_TRUE(prompts.shownOf("question")[0].text.contains(QString::fromStdString(empty)));
    EXPECT_TRUE(prompts.shownOf("question")[0].text.contains("Send the other 1 file(s)?"));
    EXPECT_FALSE(CentreBusy());
    // More files than a machine holds: refused whole.
    std::vector<std::string> many;
    for (int i = 0; i <= kMaxEntries; ++i)
        many.push_back(makeFile("many/F" + std::to_string(i) + ".DST", 1));
    QStringList dropped;
    for (const std::string& p : many)
        dropped << QString::fromStdString(p);
    win().groupFileList()->filesDropped(dropped);
    tick(fileGroups(), {1});
    prompts.clear();
    run(kSendFile);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("225 files")) << prompts.messages()[0].toStdString();
    EXPECT_FALSE(CentreBusy());
    EXPECT_FALSE(std::filesystem::exists(file("item1.ini")));

    // The group lists: nothing ticked.
    tick(fileGroups(), {});
    tick(groupFiles(), {});
    prompts.clear();
    run(kGroupFileDelete);
    run(kFileGroupDelete);
    EXPECT_EQ(prompts.messages(), QStringList({kChooseNode, kChooseNode}));
    // Delete acts on the active list only: on the node list it does nothing.
    prompts.clear();
    focusList(win().nodeList());
    tick(groupFiles(), {0});
    run(kDelete);
    EXPECT_TRUE(prompts.shown().empty());
    // On the group files it asks; No keeps the file.
    focusList(win().groupFileList());
    prompts.answer(false);
    run(kDelete);
    EXPECT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].text, "Is the Selected File Delete?");
    EXPECT_EQ(groupFiles().rowCount(), kMaxEntries + 1);
}

TEST_F(StationTest, SwitchChannelKeepsEachChannelsCheckMarks) {
    testsupport::SimLine& one = startLine(0, 4);
    testsupport::SimLine& two = startLine(1, 3);
    writeParameters({one.link(), 4, 0}, {two.link(), 3, 32});
    ASSERT_TRUE(start());

    tick(nodes(), {1, 3});
    run(kViewFile); // the file library is shown: switching returns to the nodes
    ASSERT_FALSE(win().nodeViewShown());
    run(kSwitchChannel);
    EXPECT_TRUE(win().nodeViewShown());
    EXPECT_EQ(pane(3), "Channel2");
    EXPECT_EQ(nodeLabels(), QStringList({"032", "033", "034"}));
    EXPECT_TRUE(nodes().checkedRows().isEmpty());
    tick(nodes(), {0});
    run(kSwitchChannel);
    EXPECT_EQ(pane(3), "Channel1");
    EXPECT_EQ(nodes().checkedRows(), QVector<int>({1, 3}));
    run(kSwitchChannel);
    EXPECT_EQ(nodes().checkedRows(), QVector<int>{0});
    EXPECT_TRUE(prompts.messages().isEmpty());

    // With channel 2 closed, Switch Channel does nothing.
    writeParameters({one.link(), 4, 0}, {"", 3, 32});
    ASSERT_TRUE(restart());
    tick(nodes(), {2});
    run(kSwitchChannel);
    EXPECT_EQ(pane(3), "Channel1");
    EXPECT_EQ(win().currentChannel(), 0);
    EXPECT_EQ(nodes().checkedRows(), QVector<int>{2});
}

TEST_F(StationTest, TransferParameterWaitsForBothChannelsAndTakesTheNewCentre) {
    testsupport::SimLine& one = startLine(0, 4);
    testsupport::SimLine& two = startLine(1, 2);
    writeParameters({one.link(), 4, 0}, {two.link(), 2, 32});
    ASSERT_TRUE(start());

    // Work held on channel 2 while channel 1 is shown: refused, no dialog.
    two.sim().SetDropRate(1.0);
    run(kSwitchChannel);
    tick(nodes(), {0});
    run(kQueryNode);
    run(kSwitchChannel);
    ASSERT_EQ(win().currentChannel(), 0);
    ASSERT_TRUE(CentreBusy());
    prompts.clear();
    run(kTransferParameter);
    EXPECT_EQ(prompts.messages(), QStringList{"Task is doing, please waiting!"});
    EXPECT_TRUE(prompts.shownOf("exec").empty());
    EXPECT_TRUE(win().timerRunning());

    // Without work: OK re-creates the centre with 2 nodes on channel 1; the window shows them.
    two.sim().SetDropRate(0);
    WAIT_UNTIL(!CentreBusy(), 60000);
    tick(nodes(), {0, 1, 2, 3});
    prompts.onDialog([](QDialog& d) {
        auto* dlg = qobject_cast<ParameterDialog*>(&d);
        EXPECT_NE(dlg, nullptr);
        if (dlg == nullptr)
            return int(QDialog::Rejected);
        dlg->nodeNumberEdit(0)->selectAll();
        QTest::keyClicks(dlg->nodeNumberEdit(0), "2");
        QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
        return -1;
    });
    run(kTransferParameter);
    EXPECT_EQ(Params().comSum[0], 2);
    EXPECT_EQ(nodeLabels(), QStringList({"000", "001"}));
    EXPECT_TRUE(nodes().checkedRows().isEmpty());
    EXPECT_EQ(pane(0), "Two Channel Success");
    EXPECT_TRUE(win().timerRunning());
    // The new centre serves the commands.
    tick(nodes(), {1});
    run(kQueryNode);
    WAIT_EQ(nodes().cell(1, kColInfo), QString("Query End"), 60000);
}

TEST_F(StationTest, LogOnOutFilePathAndHelp) {
    writeParameters({"", 0, 0}, {"", 0, 32});
    const std::string help = file("help/TALVORN_TEST.html");
    edition.helpFile = help.c_str(); // an absolute name stands as it is
    ASSERT_TRUE(start());
    EXPECT_EQ(pane(2), "Current User:kqzwvx");

    // Log On/Out cancelled: logged off, and the guarded commands are refused.
    scriptLogOnCancel();
    run(kLogOnOut);
    EXPECT_EQ(pane(2), "Current User: No User Logs On");
    prompts.clear();
    run(kSelectFile);
    EXPECT_TRUE(prompts.shown().empty());
    // Again, logging on.
    scriptLogOn(kDefaultAdminName, kDefaultAdminPassword);
    run(kLogOnOut);
    EXPECT_EQ(pane(2), "Current User:kqzwvx");
    EXPECT_TRUE(hasRight(kRightSelectFile));

    // File Path: the chosen folder is the library's, saved in Para.ini; cancel keeps it.
    const std::string library = file("library");
    std::filesystem::create_directories(library);
    prompts.clear();
    prompts.chooseFolder(QString::fromStdString(library));
    run(kFilePath);
    EXPECT_EQ(Params().filePath, library);
    EXPECT_EQ(ProfileGetString(ParametersPath(), "SYS_PARA", "FilePath", ""), library);
    prompts.chooseFolder(QString());
    run(kFilePath);
    EXPECT_EQ(Params().filePath, library);
    EXPECT_TRUE(prompts.messages().isEmpty());

    // Edition Information.
    prompts.onDialog([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "About Quorvelle Network Transfer System");
        QStringList texts;
        for (const QLabel* l : d.findChildren<QLabel*>())
            texts << l->text();
        EXPECT_TRUE(texts.contains("Quorvelle Network Transfer System"));
        EXPECT_TRUE(texts.contains("Version 2.0"));
        return int(QDialog::Accepted);
    });
    run(kEditionInformation);
    EXPECT_EQ(prompts.shownOf("exec").size(), 1u);

    // How to Use: a missing help file, one nothing opens, and one that opens.
    prompts.clear();
    run(kHowToUse);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("TALVORN_TEST.html"));
    EXPECT_TRUE(prompts.messages()[0].contains("missing"));
    makeFile("help/TALVORN_TEST.html", 40);
    prompts.clear();
    prompts.openUrlResult = false;
    run(kHowToUse);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("could open"));
    prompts.clear();
    prompts.openUrlResult = true;
    run(kHowToUse);
    EXPECT_TRUE(prompts.messages().isEmpty());
    ASSERT_EQ(prompts.openedUrls.size(), 2u);
    EXPECT_EQ(prompts.openedUrls.back(), QUrl::fromLocalFile(QString::fromStdString(help)));
}
