// A Prompter for tests: records every prompt and answers from what the test scripted. A prompt
// that needs an answer nobody scripted fails the test (and gets No, Cancel or Rejected), so a test
// never blocks on a modal loop and never passes over a question it did not expect.
#pragma once

#include "gui/kit/Prompter.h"

#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <vector>

class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString kind; // "message", "question", "choose", "text", "openFiles", "folder", "openUrl",
                      // "exec"
        QString caption;
        QString text;
        Icon icon = Icon::None;
    };
    // Runs against the shown dialog: fill its fields (QTest works, the dialog is visible), press
    // its buttons. Return a QDialog result, or -1 to take whatever result the dialog has set.
    using DialogScript = std::function<int(QDialog&)>;

    ScriptedPrompter();  // installs itself
    ~ScriptedPrompter(); // puts the Qt prompter back

    // Scripting, consumed in order.
    void answer(bool yes) { answers_.push_back(yes); }
    void pick(int index) { picks_.push_back(index); }
    void typeText(const QString& value) { texts_.push_back(value); }
    void chooseFiles(const QStringList& files) { files_.push_back(files); }
    void chooseFolder(const QString& folder) { folders_.push_back(folder); }
    void onDialog(DialogScript script) { dialogs_.push_back(std::move(script)); }
    bool openUrlResult = true;

    // What was shown, in order.
    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<Shown> shownOf(const QString& kind) const;
    // Texts of the messages (message boxes only), in order.
    QStringList messages() const;
    std::vector<QUrl> openedUrls;
    void clear() { shown_.clear(); }
    // Scripted answers not consumed yet (a test that scripted more than happened may check this).
    size_t unusedAnswers() const {
        return answers_.size() + picks_.size() + texts_.size() + files_.size() + folders_.size() +
               dialogs_.size();
    }

    void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    bool question(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    int choose(QWidget* parent, const QString& caption, const QString& text,
               const QStringList& buttons, Icon icon) override;
    bool text(QWidget* parent, const QString& caption, const QString& label,
              QString& value) override;
    QStringList openFiles(QWidget* parent, const QString& title, const QString& folder,
                          const QString& filter) override;
    QString folder(QWidget* parent, const QString& title, const QString& start) override;
    bool openUrl(const QUrl& url) override;
    int exec(QDialog& dialog) override;

    // The last filter passed to openFiles.
    QString lastFilter;

private:
    std::vector<Shown> shown_;
    std::deque<bool> answers_;
    std::deque<int> picks_;
    std::deque<QString> texts_;
    std::deque<QStringList> files_;
    std::deque<QString> folders_;
    std::deque<DialogScript> dialogs_;
};
