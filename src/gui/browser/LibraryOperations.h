// What the library views do to files: copy, move, trash, delete permanently, rename, new folder
// and the clipboard. Long operations run on a FileJob thread; this widget is the strip that shows
// their progress with a Cancel button, and asks every question through prompter().
#pragma once

#include "platform/FileOperations.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QMimeData;
class QProgressBar;
class QPushButton;

class LibraryOperations : public QWidget {
    Q_OBJECT
public:
    explicit LibraryOperations(QWidget* parent = nullptr);
    ~LibraryOperations() override; // cancels a running operation and waits for its thread

    bool busy() const { return job_ != nullptr; }

    // Copies (or moves) the sources into `folder`. A paste copies an item into its own folder as
    // a second item ("name (2)"); a drop leaves such items alone.
    void transfer(const QStringList& sources, const QString& folder, bool move, bool paste);
    // Each asks first, saying which it is. When an item cannot go to the trash, asks again before
    // deleting it permanently.
    void moveToTrash(const QStringList& paths);
    void deletePermanently(const QStringList& paths);
    // Ask for the new name; done at once.
    void rename(const QString& path);
    void newFolder(const QString& parent);
    void cancel();
    // Puts back and cleans what an operation cut short by a crash or a kill left in `folder`
    // (FileOperations::recoverLeftovers), and tells the operator what became of it; says nothing
    // when nothing was left.
    void repairFolder(const QString& folder);

    // The clipboard, in the formats Linux file managers read.
    void copyToClipboard(const QStringList& paths, bool cut);
    void paste(const QString& folder);

    // ---- Rules ----
    // text/uri-list, x-special/gnome-copied-files, application/x-kde-cutselection and text/plain.
    static QMimeData* clipboardData(const QStringList& paths, bool cut);
    // The local paths a clipboard or drop offers, and whether they were cut; false when it offers
    // none, or anything that is not a local file.
    static bool offeredPaths(const QMimeData* data, QStringList& paths, bool* cut = nullptr);
    // The sources a drop onto `folder` would act on: not those already in it; none at all when the
    // folder is one of them or inside one.
    static QStringList dropSources(const QStringList& sources, const QString& folder);

    QProgressBar* progressBar() const { return bar_; }
    QPushButton* cancelButton() const { return cancel_; }

signals:
    // An operation ended (its messages shown), whatever its outcome.
    void finished();
    // New Folder made `path`, or Rename gave an item this path: the views may select it.
    void created(const QString& path);

private:
    enum class Kind { Copy, Move, Trash, Delete };
    bool start(Kind kind, FileJob::Work work, const QString& what);
    void sayBusy();
    void poll();
    void finish();
    void askClash(const FileClash& clash);
    QString failureText(const FileFailure& failure) const;

    std::unique_ptr<FileJob> job_;
    Kind kind_ = Kind::Copy;
    bool keepBothInPlace_ = false; // a paste: an item copied into its own folder is duplicated
    bool clearClipboard_ = false;  // a cut pasted: the clipboard is spent once the move is done
    bool inPrompt_ = false;
    int ticks_ = 0;
    QTimer timer_;
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};
