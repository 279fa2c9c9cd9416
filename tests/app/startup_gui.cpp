// Start-up as the operator meets it: the parameter file, the log-on loop and the main window.
#include "StationFixture.h"

#include <filesystem>

TEST_F(StationTest, LogOnLoopUntilAcceptedOrCancelled) {
    writeParameters({}, {}); // no channel: nothing to open
    // Two wrong passwords, then the right one. A refused try keeps the typed name: the next one
    // asks for the password alone.
    scriptLogOn(kDefaultAdminName, "wrong");
    prompts.onDialog([](QDialog& d) {
        auto* dlg = qobject_cast<LogOnDialog*>(&d);
        EXPECT_NE(dlg, nullptr);
        if (dlg == nullptr)
            return int(QDialog::Rejected);
        EXPECT_EQ(dlg->nameEdit()->text(), kDefaultAdminName);
        EXPECT_TRUE(dlg->passwordEdit()->text().isEmpty());
        EXPECT_EQ(dlg->focusWidget(), dlg->passwordEdit());
        QTest::keyClicks(dlg->passwordEdit(), "wrong again");
        QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
        return -1;
    });
    ASSERT_TRUE(start());
    EXPECT_EQ(prompts.messages(),
              QStringList({"Name Or Password Error!", "Name Or Password Error!"}));
    EXPECT_EQ(prompts.shownOf("exec").size(), 3u);
    EXPECT_EQ(prompts.shownOf("exec")[0].caption, "Log On");
    ASSERT_NE(app->mainWindow(), nullptr);
    EXPECT_TRUE(win().isVisible());
    EXPECT_TRUE(win().isMaximized());
    EXPECT_TRUE(win().timerRunning());
    EXPECT_EQ(win().windowTitle(), "Quorvelle Network Transfer System");
    EXPECT_EQ(pane(2), QString("Current User:") + kDefaultAdminName);
    EXPECT_TRUE(pane(1).startsWith("System Open Time:"));
    EXPECT_EQ(CurrentUser.loggedOn, 1);
    EXPECT_EQ(CurrentUser.isAdmin, 1);
    // The loading window is gone once the main window runs.
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->objectName(), "LoadingWindow") << "loading window left behind";

    // CANCEL: no main window, nothing said.
    app.reset();
    CCommCenter::Destroy();
    CurrentUser = LogOnState{};
    prompts.clear();
    scriptLogOnCancel();
    app = std::make_unique<CTransferApp>(kEnglishEdition);
    EXPECT_FALSE(app->StartUp());
    EXPECT_EQ(app->mainWindow(), nullptr);
    EXPECT_FALSE(app->loadFailed());
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(CurrentUser.loggedOn, 0);
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
}

TEST_F(StationTest, UnloadableParameterFileShowsOnlyTheFailure) {
    // A folder where the file should be: it can be neither read nor created, even by root.
    std::filesystem::create_directory(file("Para.ini"));
    app = std::make_unique<CTransferApp>(kEnglishEdition);
    EXPECT_FALSE(app->StartUp());
    EXPECT_TRUE(app->loadFailed());
    EXPECT_EQ(app->mainWindow(), nullptr);
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, "message");
    EXPECT_EQ(prompts.shown()[0].text, "Loading Data Base Failed!");
    EXPECT_EQ(CCommCenter::Instance(), nullptr);
}
