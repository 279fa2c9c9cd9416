// The scripted Prompter that every window test relies on: it must run a dialog's script against
// the shown dialog, return the result the script chose, and record prompts in order.
#include "GuiFixture.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using PrompterTest = GuiFixture;

TEST_F(PrompterTest, ScriptedDialogsAndAnswersComeBackInOrder) {
    QDialog dialog;
    dialog.setWindowTitle("Probe");
    auto* edit = new QLineEdit(&dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);

    prompts.onDialog([&](QDialog& d) {
        EXPECT_TRUE(d.isVisible());
        QTest::keyClicks(edit, "typed");
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        return -1; // take the dialog's own result
    });
    prompts.answer(false);
    prompts.answer(true);

    EXPECT_EQ(prompter().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(edit->text(), "typed");
    EXPECT_FALSE(prompter().question(nullptr, "Prompting", "first?"));
    EXPECT_TRUE(prompter().question(nullptr, "Prompting", "second?"));
    prompter().message(nullptr, "Prompting", "done");

    ASSERT_EQ(prompts.shown().size(), 4u);
    EXPECT_EQ(prompts.shown()[0].kind, "exec");
    EXPECT_EQ(prompts.shown()[0].caption, "Probe");
    EXPECT_EQ(prompts.shown()[2].text, "second?");
    EXPECT_EQ(prompts.messages(), QStringList{"done"});
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
}

TEST_F(PrompterTest, EnterOnADestructiveQuestionAnswersNo) {
    // The box the Qt prompter runs, shown here without its modal loop: Enter presses its default.
    const auto enter = [](Prompter::Icon icon) {
        auto box = MakeQuestionBox(nullptr, "Prompting", "Delete?", icon);
        box->show();
        QTest::keyClick(box.get(), Qt::Key_Return);
        return box->standardButton(box->clickedButton());
    };
    EXPECT_EQ(enter(Prompter::Icon::Danger), QMessageBox::No);
    EXPECT_EQ(enter(Prompter::Icon::Question), QMessageBox::Yes);
    EXPECT_EQ(MakeQuestionBox(nullptr, "Prompting", "Delete?", Prompter::Icon::Danger)->icon(),
              QMessageBox::Warning);
}
