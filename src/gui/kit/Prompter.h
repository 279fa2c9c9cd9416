// The one seam for everything modal: message boxes, questions, file and folder pickers, opening a
// URL with the desktop and running a dialog. The program installs the Qt implementation; tests
// install a scripted one that records what was shown and answers as told, so no test ever blocks
// in a modal loop.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QDialog;
class QMessageBox;
class QUrl;
class QWidget;

class Prompter {
public:
    // Danger: a question whose Yes destroys something (a delete, a clear): shown with the warning
    // icon and with No as the default button, so that Enter alone destroys nothing.
    enum class Icon { None, Information, Warning, Stop, Question, Danger };

    virtual ~Prompter() = default;

    // A message box with an OK button.
    virtual void message(QWidget* parent, const QString& caption, const QString& text,
                         Icon icon = Icon::None) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text,
                          Icon icon = Icon::None) = 0;
    // A choice among buttons (first = default); the index chosen, or -1 when closed without one.
    virtual int choose(QWidget* parent, const QString& caption, const QString& text,
                       const QStringList& buttons, Icon icon = Icon::Question) = 0;
    // One line of text (a new name); false when cancelled.
    virtual bool text(QWidget* parent, const QString& caption, const QString& label,
                      QString& value) = 0;
    // Open-file dialog with multiple selection; empty when cancelled.
    virtual QStringList openFiles(QWidget* parent, const QString& title, const QString& folder,
                                  const QString& filter) = 0;
    // Folder picker; empty when cancelled.
    virtual QString folder(QWidget* parent, const QString& title, const QString& start) = 0;
    // Opens a URL (a help file, a folder) with the desktop; false when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
    // Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
    virtual int exec(QDialog& dialog) = 0;
};

// The installed prompter (the Qt one unless a test installed another).
Prompter& prompter();
// Installs `p` (not owned); nullptr puts the Qt prompter back.
void setPrompter(Prompter* p);
// True while a modal prompt or dialog runs through the prompter; the tray's "Exit System" is
// refused then, since closing would free what the dialog uses.
bool prompterBusy();

// The box QtPrompter::question shows, not yet run: Yes and No, with No as the default button for
// Icon::Danger and Yes for any other.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& caption,
                                             const QString& text, Prompter::Icon icon);

// The Qt implementation: QMessageBox, QInputDialog, QFileDialog, QDesktopServices, QDialog::exec.
class QtPrompter : public Prompter {
public:
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
};

// Marks a modal section for prompterBusy(); implementations of Prompter hold one while they run.
class PrompterBusyScope {
public:
    PrompterBusyScope();
    ~PrompterBusyScope();
    PrompterBusyScope(const PrompterBusyScope&) = delete;
    PrompterBusyScope& operator=(const PrompterBusyScope&) = delete;
};
