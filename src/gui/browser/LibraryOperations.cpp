#include "gui/browser/LibraryOperations.h"

#include "gui/kit/Prompter.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include <cstring>

namespace {

constexpr int kPollMs = 100;
constexpr int kShowAfterTicks = 3; // short operations finish without the strip flashing up
constexpr int kNamesListed = 10;
const char* kGnomeFormat = "x-special/gnome-copied-files";
const char* kKdeCutFormat = "application/x-kde-cutselection";

std::vector<std::string> toStd(const QStringList& paths) {
    std::vector<std::string> out;
    for (const QString& p : paths)
        out.push_back(p.toStdString());
    return out;
}

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}

QString caption() {
    return LibraryOperations::tr("Prompting");
}

// The names of a few items, one a line.
QString listed(const QStringList& paths) {
    QStringList lines;
    for (int i = 0; i < paths.size() && i < kNamesListed; ++i)
        lines << paths[i];
    if (paths.size() > kNamesListed)
        lines << QStringLiteral("…");
    return lines.join('\n');
}

QString cleanFolder(const QString& p) {
    return QDir::cleanPath(p);
}

} // namespace

LibraryOperations::LibraryOperations(QWidget* parent) : QWidget(parent) {
    label_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setAccessibleName(tr("Progress"));
    bar_->setRange(0, 1000);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setAccessibleName(tr("Cancel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label_, 1);
    layout->addWidget(bar_, 2);
    layout->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, &LibraryOperations::cancel);
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &LibraryOperations::poll);
    hide();
}

LibraryOperations::~LibraryOperations() = default;

void LibraryOperations::sayBusy() {
    prompter().message(this, caption(),
                       tr("Another file operation is still running. Wait until it ends, or "
                          "cancel it."),
                       Prompter::Icon::Warning);
}

bool LibraryOperations::start(Kind kind, FileJob::Work work, const QString& what) {
    if (job_) {
        sayBusy();
        return false;
    }
    kind_ = kind;
    ticks_ = 0;
    label_->setText(what);
    bar_->setValue(0);
    job_ = std::make_unique<FileJob>(std::move(work));
    timer_.start();
    return true;
}

void LibraryOperations::cancel() {
    if (job_)
        job_->cancel();
}

void LibraryOperations::repairFolder(const QString& folder) {
    if (folder.isEmpty())
        return;
    const FileOperations::Leftovers found = FileOperations::recoverLeftovers(folder.toStdString());
    if (found.empty())
        return;
    const auto names = [](const std::vector<std::string>& items) {
        QStringList out;
        for (const std::string& n : items)
            out << fromStd(n);
        return listed(out);
    };
    QString text = tr("A file operation in “%1” was cut short (the program or the computer "
                      "stopped in the middle of it).")
                       .arg(folder);
    if (!found.restored.empty())
        text += "\n\n" + tr("Put back under their names:") + '\n' + names(found.restored);
    if (!found.removed.empty())
        text += "\n\n" + tr("Removed, as left unfinished:") + '\n' + names(found.removed);
    if (!found.kept.empty())
        text += "\n\n" + tr("Left as they are (hidden, their names begin with “.talvorn-”):") +
                '\n' + names(found.kept);
    prompter().message(this, caption(), text, Prompter::Icon::Information);
}

void LibraryOperations::poll() {
    if (!job_ || inPrompt_)
        return;
    if (++ticks_ == kShowAfterTicks && !job_->finished())
        show();
    FileClash clash;
    if (job_->pendingClash(clash)) {
        askClash(clash);
        return;
    }
    const FileProgress p = job_->progress();
    if (p.bytesTotal > 0)
        bar_->setValue(static_cast<int>(1000.0 * static_cast<double>(p.bytesDone) /
                                        static_cast<double>(p.bytesTotal)));
    else if (p.itemsTotal > 0)
        bar_->setValue(1000 * p.itemsDone / p.itemsTotal);
    if (job_->finished())
        finish();
}

void LibraryOperations::askClash(const FileClash& clash) {
    if (clash.sameItem && keepBothInPlace_) {
        job_->answerClash(ClashAnswer::KeepBoth);
        return;
    }
    const QFileInfo dst(fromStd(clash.destination));
    QString text =
        tr("An item named “%1” already exists in “%2”.").arg(dst.fileName(), dst.absolutePath());
    if (clash.destinationIsFolder)
        text += '\n' + tr("Replacing it deletes that folder and everything in it.");
    const QStringList buttons = {tr("Replace"), tr("Skip"), tr("Keep Both"), tr("Cancel")};
    inPrompt_ = true;
    const int pick = prompter().choose(this, caption(), text, buttons, Prompter::Icon::Question);
    inPrompt_ = false;
    static const ClashAnswer answers[] = {ClashAnswer::Replace, ClashAnswer::Skip,
                                          ClashAnswer::KeepBoth, ClashAnswer::Cancel};
    if (job_)
        job_->answerClash(pick >= 0 && pick < 4 ? answers[pick] : ClashAnswer::Cancel);
}

QString LibraryOperations::failureText(const FileFailure& f) const {
    const QString path = fromStd(f.path);
    const QString reason = QString::fromLocal8Bit(std::strerror(f.error));
    switch (f.fault) {
    case FileFault::IntoItself:
        return tr("“%1” cannot be copied or moved into itself or into a folder inside it.")
            .arg(path);
    case FileFault::NameExists:
        return tr("An item named “%1” already exists.").arg(QFileInfo(path).fileName());
    case FileFault::BadName:
        return tr("“%1” is not a valid name: it must not be empty, \".\" or \"..\", nor hold "
                  "\"/\".")
            .arg(QFileInfo(path).fileName());
    case FileFault::Protected:
        return tr("“%1” is a drive or the top of the file system; it is never deleted, moved or "
                  "renamed.")
            .arg(path);
    case FileFault::NotSupported:
        return tr("“%1” is neither a file nor a folder, and cannot be copied.").arg(path);
    case FileFault::System:
        return tr("“%1”: %2").arg(path, reason);
    case FileFault::TrashUnavailable:
        return tr("“%1” cannot be moved to the trash: %2").arg(path, reason);
    case FileFault::SourceKept:
        return tr("“%1” is copied to its new place, but the original could not be removed "
                  "completely: %2")
            .arg(path, reason);
    }
    return path;
}

void LibraryOperations::finish() {
    timer_.stop();
    const Kind kind = kind_;
    const FileOpReport report = job_->report();
    job_.reset();
    hide();
    const bool spentClipboard = clearClipboard_;
    clearClipboard_ = false;
    keepBothInPlace_ = false;

    if (kind == Kind::Trash) {
        // What could not go to the trash is still in place: delete it for good only when the
        // operator says so.
        QStringList stuck;
        QString reason;
        for (const FileFailure& f : report.failures) {
            if (f.fault == FileFault::TrashUnavailable && QFileInfo::exists(fromStd(f.path))) {
                stuck << fromStd(f.path);
                if (reason.isEmpty())
                    reason = QString::fromLocal8Bit(std::strerror(f.error));
            } else {
                prompter().message(this, caption(), failureText(f), Prompter::Icon::Warning);
            }
        }
        if (!stuck.isEmpty()) {
            const QString text =
                stuck.size() == 1
                    ? tr("“%1” cannot be moved to the trash (%2).\nDelete it permanently instead? "
                         "It cannot be restored.")
                          .arg(stuck[0], reason)
                    : tr("These %1 items cannot be moved to the trash (%2):\n%3\nDelete them "
                         "permanently instead? They cannot be restored.")
                          .arg(stuck.size())
                          .arg(reason, listed(stuck));
            if (prompter().question(this, caption(), text, Prompter::Icon::Danger)) {
                const auto items = toStd(stuck);
                start(
                    Kind::Delete,
                    [items](FileOperations& ops) { return ops.removePermanently(items); },
                    tr("Deleting…"));
                return;
            }
        }
    } else if (report.status == FileOpStatus::Failed || report.status == FileOpStatus::Refused) {
        QString heading;
        switch (kind) {
        case Kind::Copy:
            heading = tr("The copy did not complete.");
            break;
        case Kind::Move:
            heading = tr("The move did not complete.");
            break;
        default:
            heading = tr("Not everything was deleted.");
            break;
        }
        QStringList lines;
        for (const FileFailure& f : report.failures)
            lines << failureText(f);
        prompter().message(this, caption(), heading + '\n' + lines.join('\n'),
                           Prompter::Icon::Warning);
    }
    if (spentClipboard && report.ok()) {
        // The cut items are in their new place; pasting them again would find nothing.
        QGuiApplication::clipboard()->clear();
    }
    emit finished();
}

void LibraryOperations::transfer(const QStringList& sources, const QString& folder, bool move,
                                 bool paste) {
    const QStringList items = paste ? sources : dropSources(sources, folder);
    if (items.isEmpty() || folder.isEmpty())
        return;
    const auto src = toStd(items);
    const std::string dst = cleanFolder(folder).toStdString();
    const bool started =
        move ? start(
                   Kind::Move, [src, dst](FileOperations& ops) { return ops.move(src, dst); },
                   tr("Moving to “%1”…").arg(folder))
             : start(
                   Kind::Copy, [src, dst](FileOperations& ops) { return ops.copy(src, dst); },
                   tr("Copying to “%1”…").arg(folder));
    if (started)
        keepBothInPlace_ = paste && !move;
}

void LibraryOperations::moveToTrash(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    const QString text =
        paths.size() == 1
            ? tr("Move “%1” to the trash?").arg(paths[0])
            : tr("Move these %1 items to the trash?\n%2").arg(paths.size()).arg(listed(paths));
    if (busy()) {
        sayBusy();
        return;
    }
    if (!prompter().question(this, caption(), text, Prompter::Icon::Question))
        return;
    const auto items = toStd(paths);
    start(
        Kind::Trash, [items](FileOperations& ops) { return ops.moveToTrash(items); },
        tr("Moving to the trash…"));
}

void LibraryOperations::deletePermanently(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    const QString text = paths.size() == 1
                             ? tr("Delete “%1” permanently? It cannot be restored.").arg(paths[0])
                             : tr("Delete these %1 items permanently? They cannot be restored.\n%2")
                                   .arg(paths.size())
                                   .arg(listed(paths));
    if (busy()) {
        sayBusy();
        return;
    }
    if (!prompter().question(this, caption(), text, Prompter::Icon::Danger))
        return;
    const auto items = toStd(paths);
    start(
        Kind::Delete, [items](FileOperations& ops) { return ops.removePermanently(items); },
        tr("Deleting…"));
}

void LibraryOperations::rename(const QString& path) {
    if (path.isEmpty())
        return;
    QString name = QFileInfo(path).fileName();
    const QString old = name;
    if (!prompter().text(this, tr("Rename"), tr("New name:"), name) || name == old)
        return;
    FileOperations ops;
    const FileOpReport r = ops.rename(path.toStdString(), name.toStdString());
    if (!r.ok() && !r.failures.empty()) {
        FileFailure f = r.failures.front();
        if (f.fault == FileFault::BadName)
            f.path = name.toStdString();
        prompter().message(this, caption(), failureText(f), Prompter::Icon::Warning);
        return;
    }
    if (!r.created.empty())
        emit created(fromStd(r.created.front()));
}

void LibraryOperations::newFolder(const QString& parent) {
    if (parent.isEmpty())
        return;
    const std::string folder = cleanFolder(parent).toStdString();
    const std::string base = tr("New Folder").toStdString();
    std::string proposal = base;
    for (int n = 2; QFileInfo::exists(fromStd(folder + "/" + proposal)) && n < 1000; ++n)
        proposal = FileOperations::keepBothName(base, true, n);
    QString name = fromStd(proposal);
    if (!prompter().text(this, tr("New Folder"), tr("Folder name:"), name))
        return;
    FileOperations ops;
    const FileOpReport r = ops.makeFolder(folder, name.toStdString());
    if (!r.ok() && !r.failures.empty()) {
        FileFailure f = r.failures.front();
        if (f.fault == FileFault::BadName)
            f.path = name.toStdString();
        prompter().message(this, caption(), failureText(f), Prompter::Icon::Warning);
        return;
    }
    if (!r.created.empty())
        emit created(fromStd(r.created.front()));
}

// ---- Clipboard ----

QMimeData* LibraryOperations::clipboardData(const QStringList& paths, bool cut) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (const QString& p : paths) {
        const QUrl url = QUrl::fromLocalFile(p);
        urls << url;
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(kGnomeFormat, gnome);
    data->setData(kKdeCutFormat, cut ? "1" : "0");
    data->setText(paths.join('\n'));
    return data;
}

bool LibraryOperations::offeredPaths(const QMimeData* data, QStringList& paths, bool* cut) {
    paths.clear();
    if (!data)
        return false;
    QList<QUrl> urls;
    bool isCut = false;
    if (data->hasFormat(kGnomeFormat)) {
        const QList<QByteArray> lines = data->data(kGnomeFormat).split('\n');
        isCut = !lines.isEmpty() && lines.front().trimmed() == "cut";
        for (int i = 1; i < lines.size(); ++i)
            if (!lines[i].trimmed().isEmpty())
                urls << QUrl::fromEncoded(lines[i].trimmed());
    } else {
        urls = data->urls();
        isCut = data->data(kKdeCutFormat).trimmed() == "1";
    }
    for (const QUrl& u : urls) {
        if (!u.isLocalFile())
            return paths.clear(), false;
        paths << QDir::cleanPath(u.toLocalFile());
    }
    if (cut)
        *cut = isCut;
    return !paths.isEmpty();
}

QStringList LibraryOperations::dropSources(const QStringList& sources, const QString& folder) {
    const std::string f = cleanFolder(folder).toStdString();
    QStringList out;
    for (const QString& s : sources) {
        const QString clean = QDir::cleanPath(s);
        if (FileOperations::isSameOrInside(clean.toStdString(), f))
            return {}; // onto itself or into its own sub-folder
        if (cleanFolder(QFileInfo(clean).absolutePath()).toStdString() != f)
            out << clean;
    }
    return out;
}

void LibraryOperations::copyToClipboard(const QStringList& paths, bool cut) {
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setMimeData(clipboardData(paths, cut));
}

void LibraryOperations::paste(const QString& folder) {
    QStringList paths;
    bool cut = false;
    if (folder.isEmpty() || !offeredPaths(QGuiApplication::clipboard()->mimeData(), paths, &cut))
        return;
    transfer(paths, folder, cut, true);
    if (busy() && cut)
        clearClipboard_ = true;
}
