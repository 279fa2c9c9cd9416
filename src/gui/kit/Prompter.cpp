#include "gui/kit/Prompter.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
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
    case Prompter::Icon::Danger:
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

void QtPrompter::message(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
    PrompterBusyScope busy;
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& caption,
                                             const QString& text, Prompter::Icon icon) {
    auto box = std::make_unique<QMessageBox>(boxIcon(icon), caption, text,
                                             QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(icon == Prompter::Icon::Danger ? QMessageBox::No : QMessageBox::Yes);
    return box;
}

bool QtPrompter::question(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
    PrompterBusyScope busy;
    return MakeQuestionBox(parent, caption, text, icon)->exec() == QMessageBox::Yes;
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
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // Qt's own dialog (where the desktop offers none) opens so small, its size and date columns
    // so narrow, that it cuts both short. Widen what is narrower than its texts need; wider
    // columns (the operator's, kept by Qt between runs) stay as they are. The model writes
    // its dates in the system's short format.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(820, 500)));
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        const QFontMetrics metrics(list->font());
        const int margin = 4 * list->style()->pixelMetric(QStyle::PM_HeaderMargin);
        const int needed[] = {
            0, metrics.horizontalAdvance(QStringLiteral("999.99 KiB")), 0,
            metrics.horizontalAdvance(QLocale::system().toString(
                QDateTime(QDate(2000, 12, 30), QTime(23, 59, 59)), QLocale::ShortFormat))};
        QHeaderView* header = list->header();
        for (int c = 1; c < header->count() && c < 4; ++c)
            if (needed[c] > 0 && header->sectionSize(c) < needed[c] + margin)
                header->resizeSection(c, needed[c] + margin);
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
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
