#include "app/Prompter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {

QtPrompter& qtPrompter() {
    static QtPrompter instance;
    return instance;
}

Prompter* installed = nullptr;
int busyDepth = 0;

QMessageBox::Icon boxIcon(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Stop:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Prompter& prompter() {
    return installed ? *installed : qtPrompter();
}

void setPrompter(Prompter* p) {
    installed = p;
}

bool prompterBusy() {
    return busyDepth > 0;
}

PrompterBusyScope::PrompterBusyScope() {
    ++busyDepth;
}

PrompterBusyScope::~PrompterBusyScope() {
    --busyDepth;
}

void QtPrompter::message(QWidget* parent, const QString& caption, const QString& text,
                         Icon icon) {
    PrompterBusyScope busy;
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtPrompter::question(QWidget* parent, const QString& caption, const QString& text,
                          Icon icon) {
    PrompterBusyScope busy;
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

int QtPrompter::choose(QWidget* parent, const QString& caption, const QString& text,
                       const QStringList& buttons, Icon icon) {
    PrompterBusyScope busy;
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> made;
    for (const QString& b : buttons)
        made.append(box.addButton(b, QMessageBox::AcceptRole));
    if (!made.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton*>(made.first()));
    box.addButton(QMessageBox::Cancel)->hide();
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return static_cast<int>(made.indexOf(box.clickedButton()));
}

bool QtPrompter::text(QWidget* parent, const QString& caption, const QString& label,
                      QString& value) {
    PrompterBusyScope busy;
    bool ok = false;
    QString got = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, value, &ok);
    if (ok)
        value = got;
    return ok;
}

QStringList QtPrompter::openFiles(QWidget* parent, const QString& title, const QString& folder,
                                  const QString& filter) {
    PrompterBusyScope busy;
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

QString QtPrompter::folder(QWidget* parent, const QString& title, const QString& start) {
    PrompterBusyScope busy;
    return QFileDialog::getExistingDirectory(parent, title, start);
}

bool QtPrompter::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

int QtPrompter::exec(QDialog& dialog) {
    PrompterBusyScope busy;
    return dialog.exec();
}
