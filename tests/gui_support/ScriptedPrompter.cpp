#include "ScriptedPrompter.h"

#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

ScriptedPrompter::ScriptedPrompter() {
    setPrompter(this);
}

ScriptedPrompter::~ScriptedPrompter() {
    setPrompter(nullptr);
}

std::vector<ScriptedPrompter::Shown> ScriptedPrompter::shownOf(const QString& kind) const {
    std::vector<Shown> out;
    for (const Shown& s : shown_)
        if (s.kind == kind)
            out.push_back(s);
    return out;
}

QStringList ScriptedPrompter::messages() const {
    QStringList out;
    for (const Shown& s : shown_)
        if (s.kind == "message")
            out << s.text;
    return out;
}

void ScriptedPrompter::message(QWidget*, const QString& caption, const QString& text, Icon icon) {
    shown_.push_back({"message", caption, text, icon});
}

bool ScriptedPrompter::question(QWidget*, const QString& caption, const QString& text,
                                Icon icon) {
    PrompterBusyScope busy;
    shown_.push_back({"question", caption, text, icon});
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

int ScriptedPrompter::choose(QWidget*, const QString& caption, const QString& text,
                             const QStringList& buttons, Icon icon) {
    PrompterBusyScope busy;
    shown_.push_back({"choose", caption, text + "\n[" + buttons.join("|") + "]", icon});
    if (picks_.empty()) {
        ADD_FAILURE() << "unexpected choice: " << text.toStdString();
        return -1;
    }
    int i = picks_.front();
    picks_.pop_front();
    return i;
}

bool ScriptedPrompter::text(QWidget*, const QString& caption, const QString& label,
                            QString& value) {
    PrompterBusyScope busy;
    shown_.push_back({"text", caption, label, Icon::None});
    if (texts_.empty()) {
        ADD_FAILURE() << "unexpected text input: " << label.toStdString();
        return false;
    }
    value = texts_.front();
    texts_.pop_front();
    return true;
}

QStringList ScriptedPrompter::openFiles(QWidget*, const QString& title, const QString&,
                                        const QString& filter) {
    PrompterBusyScope busy;
    shown_.push_back({"openFiles", title, filter, Icon::None});
    lastFilter = filter;
    if (files_.empty()) {
        ADD_FAILURE() << "unexpected file dialog: " << title.toStdString();
        return {};
    }
    QStringList f = files_.front();
    files_.pop_front();
    return f;
}

QString ScriptedPrompter::folder(QWidget*, const QString& title, const QString&) {
    PrompterBusyScope busy;
    shown_.push_back({"folder", title, QString(), Icon::None});
    if (folders_.empty()) {
        ADD_FAILURE() << "unexpected folder dialog: " << title.toStdString();
        return {};
    }
    QString f = folders_.front();
    folders_.pop_front();
    return f;
}

bool ScriptedPrompter::openUrl(const QUrl& url) {
    shown_.push_back({"openUrl", QString(), url.toString(), Icon::None});
    openedUrls.push_back(url);
    return openUrlResult;
}

int ScriptedPrompter::exec(QDialog& dialog) {
    PrompterBusyScope busy;
    shown_.push_back({"exec", dialog.windowTitle(), dialog.objectName(), Icon::None});
    if (dialogs_.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << dialog.windowTitle().toStdString();
        return QDialog::Rejected;
    }
    DialogScript script = std::move(dialogs_.front());
    dialogs_.pop_front();
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        ADD_FAILURE() << "dialog not exposed: " << dialog.windowTitle().toStdString();
    int r = script(dialog);
    if (r < 0)
        r = dialog.result();
    dialog.hide();
    return r;
}
