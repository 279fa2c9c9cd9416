// The three editions on the one window library: each starts, logs on and shows its own language
// (the windows' texts, the core's texts by identifier, Qt's own texts) and its column widths.
#include "StationFixture.h"

#include "gui/app/EditionLanguage.h"
#include "gui/dialogs/ParameterDialog.h"
#include "station/StationTexts.h"
#include "store/EventLog.h"
#include "users/UserTexts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>

#include <filesystem>
#include <sstream>
#include <vector>

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::time_t fixedClock() {
    return 1700000000;
}

struct EditionCase {
    const Edition* edition;
    QStringList nodeColumns;
    QString groupPath;
    QString fileGroupCount;
    QString title;
    QString logOnTitle;
    QString noChannel; // status pane 0 with both channels unused
    QString userPrefix;
    QString channelPane;
    QString rangeMessage; // Parameter Setting's check, numbers put in after translating
    QString mismatch;     // a core text beyond ASCII
    QString replace;      // a core text with a line break
    std::vector<const char*> guideLanguages; // what How to Use opens is written in
};

constexpr int kHowToUseCommand = 32788;

} // namespace

TEST_F(StationTest, EachEditionStartsInItsLanguageWithItsWidths) {
    const EditionCase cases[] = {
        {&kEnglishEdition,
         {"Node", "Channel", "Machine", "Task Num", "Current Task", "Rate", "File Num",
          "Space Room", "Transfer Information"},
         "Path",
         "File Num",
         "Quorvelle Network Transfer System",
         "Log On",
         "Two Channels Error",
         "Current User:",
         "Channel1",
         "Please enter an integer between -2147483648 and 2147483616.",
         QString::fromUtf8("Password don't match!\u00a3\u00acPlease Retry!"),
         "File Has Already Existed.\r\nCover It and Send It?",
         {"en"}},
        {&kSimplifiedChineseEdition,
         {"节点", "通道", "机台", "任务数", "当前任务", "进度", "文件数", "剩余空间", "传输信息"},
         "路径",
         "文件数",
         "Quorvelle 网络传输系统",
         "登录",
         "两个通道均失败",
         "当前用户：",
         "通道1",
         "请输入 -2147483648 到 2147483616 之间的整数。",
         "密码不一致，请重试！",
         "文件已存在。\r\n要覆盖并发送吗？",
         {"zh-CN", "zh-TW"}},
        {&kTraditionalChineseEdition,
         {"節點", "通道", "機台", "任務數", "目前任務", "進度", "檔案數", "剩餘空間", "傳輸資訊"},
         "路徑",
         "檔案數",
         "Quorvelle 網路傳輸系統",
         "登入",
         "兩個通道皆失敗",
         "目前使用者：",
         "通道1",
         "請輸入 -2147483648 到 2147483616 之間的整數。",
         "密碼不一致，請重試！",
         "檔案已存在。\r\n要覆蓋並傳送嗎？",
         {"zh-CN", "zh-TW"}},
    };
    std::vector<std::string> stored; // what each edition wrote to the files
    for (const EditionCase& c : cases) {
        const Edition& e = *c.edition;
        SCOPED_TRACE(e.language);
        writeParameters({}, {}); // no channel: nothing to open, pane 0 says so
        std::filesystem::remove(file("item1.ini"));
        std::filesystem::remove(file("subitem1.ini"));
        const bool translated = QString(e.language) != "en";
        {
            const EditionLanguage language(e);
            EXPECT_EQ(language.windowsTranslated(), translated);
            // Qt's own dialog buttons come from Qt's catalogue of the language.
            EXPECT_EQ(language.qtTranslated(), translated);
            EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes") != "&Yes", translated);

            scriptLogOn(kDefaultAdminName, kDefaultAdminPassword);
            app = std::make_unique<CTransferApp>(e);
            ASSERT_TRUE(app->StartUp());
            ASSERT_EQ(prompts.shownOf("exec").size(), 1u);
            EXPECT_EQ(prompts.shownOf("exec")[0].caption, c.logOnTitle);
            EXPECT_EQ(win().windowTitle(), c.title);
            EXPECT_EQ(pane(0), c.noChannel);
            EXPECT_EQ(pane(2), c.userPrefix + kDefaultAdminName);
            EXPECT_EQ(pane(3), c.channelPane);
            EXPECT_EQ(QString::fromStdString(userText(kIdsPasswordMismatch)), c.mismatch);
            EXPECT_EQ(QString::fromStdString(StationText(kIdsReplaceQuestion)), c.replace);

            QStringList titles;
            for (int i = 0; i < nodes().columnCount(); ++i)
                titles << nodes().headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
            EXPECT_EQ(titles, c.nodeColumns);
            CheckListModel& groupFiles = *win().groupFileList()->checkModel();
            CheckListModel& fileGroups = *win().fileGroupList()->checkModel();
            EXPECT_EQ(groupFiles.headerData(4, Qt::Horizontal, Qt::DisplayRole), c.groupPath);
            EXPECT_EQ(fileGroups.headerData(1, Qt::Horizontal, Qt::DisplayRole), c.fileGroupCount);

            // The edition's widths. The first column of a list may be widened to fit its check
            // box and the last one stretches to the list's edge: those are compared as the model
            // holds them, the others as shown.
            for (int i = 0; i < 9; ++i) {
                EXPECT_EQ(nodes().columns()[i].width, e.nodeListWidths[i]) << i;
                if (i > 0 && i < 8) {
                    EXPECT_EQ(win().nodeList()->columnWidth(i), e.nodeListWidths[i]) << i;
                }
            }
            EXPECT_EQ(groupFiles.columns()[4].width, e.groupFileWidths[4]);
            EXPECT_EQ(win().fileGroupList()->columnWidth(1), e.fileGroupWidths[1]);

            // How to Use opens the edition's guide from the program's folder (the build puts a
            // copy beside the tests), whatever the working folder.
            prompts.openedUrls.clear();
            run(kHowToUseCommand);
            EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join("|").toStdString();
            ASSERT_EQ(prompts.openedUrls.size(), 1u);
            const QString guide = prompts.openedUrls[0].toLocalFile();
            EXPECT_EQ(guide, QCoreApplication::applicationDirPath() + "/" + e.helpFile);
            const std::string guideText = readAll(guide.toStdString());
            for (const char* lang : c.guideLanguages)
                EXPECT_NE(guideText.find(std::string("lang=\"") + lang + "\""), std::string::npos)
                    << lang;
            prompts.clear();

            prompts.onDialog([](QDialog& d) {
                auto* dialog = qobject_cast<ParameterDialog*>(&d);
                EXPECT_NE(dialog, nullptr);
                if (dialog != nullptr) {
                    dialog->firstNumberEdit(0)->setText("2147483647");
                    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
                }
                return int(QDialog::Rejected);
            });
            EXPECT_FALSE(RunParameterSetting(&win(), nullptr));
            EXPECT_EQ(prompts.messages(), QStringList{c.rangeMessage});

            // The files hold the same bytes whichever edition wrote them.
            prompts.onDialog([](QDialog& d) {
                auto* dialog = qobject_cast<ParameterDialog*>(&d);
                if (dialog != nullptr) {
                    dialog->firstNumberEdit(0)->setText("5");
                    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
                }
                return -1;
            });
            EXPECT_TRUE(RunParameterSetting(&win(), nullptr));
            SetEventLogClock(fixedClock);
            EventNodeFlags flags{};
            flags[2] = true;
            EXPECT_TRUE(LogSendCommand(0, kDefaultAdminName, flags, {file("A.DST")}));
            EXPECT_TRUE(LogClearCommand(0, kDefaultAdminName, flags));
            SetEventLogClock(nullptr);
            stored.push_back(readAll(file("Para.ini")) + readAll(file("item1.ini")) +
                             readAll(file("subitem1.ini")));
        }
        app.reset();
        CCommCenter::Destroy();
        CurrentUser = LogOnState{};
        prompts.clear();
    }
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_NE(stored[0].find("Channel1ComOne=5"), std::string::npos);
    EXPECT_NE(stored[0].find("A.DST"), std::string::npos);
    EXPECT_EQ(stored[1], stored[0]);
    EXPECT_EQ(stored[2], stored[0]);

    // The widths that differ between the editions, as the editions' records hold them.
    EXPECT_EQ(kSimplifiedChineseEdition.nodeListWidths[0], 60);
    EXPECT_EQ(kSimplifiedChineseEdition.nodeListWidths[1], 50);
    EXPECT_EQ(kTraditionalChineseEdition.nodeListWidths[2], 80);
    EXPECT_EQ(kTraditionalChineseEdition.groupFileWidths[4], 390);
    EXPECT_EQ(kSimplifiedChineseEdition.fileGroupWidths[1], 65);
    EXPECT_EQ(kEnglishEdition.fileGroupWidths[1], 70);
    // The help files: one for English, one for both Chinese editions, beside the programs.
    EXPECT_STREQ(kEnglishEdition.helpFile, "TALVORN_ENU.html");
    EXPECT_STREQ(kSimplifiedChineseEdition.helpFile, "TALVORN_CHS.html");
    EXPECT_STREQ(kTraditionalChineseEdition.helpFile, "TALVORN_CHS.html");
    for (const EditionCase& c : cases)
        EXPECT_TRUE(
            QFileInfo::exists(QStringLiteral(TALVORN_BINARY_DIR "/src/") + c.edition->helpFile))
            << c.edition->helpFile;
}
