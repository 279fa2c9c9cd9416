// The scripted operator of the windows demo. It drives the English edition through what an
// operator does: it types into the Log On dialog, ticks rows, picks files in the file dialog and
// chooses the commands of the main window (the same actions the menus and the toolbar trigger).
// Each step waits for what the window shows, with a deadline, and saves a picture when done.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

class CTransferApp;
class CTransferDlg;

class DemoDriver : public QObject {
    Q_OBJECT
public:
    // `shots`: the folder for the pictures; `files`: the files the operator sends.
    DemoDriver(CTransferApp& app, QString shots, QStringList files);

    // True when every step was done; false after a step ran out of time.
    bool succeeded() const { return failedStep_.isEmpty() && done_; }
    QString failedStep() const { return failedStep_; }

private:
    struct Step {
        QString name;
        int timeoutMs;
        std::function<bool()> ready; // polled until true
        std::function<void()> act;   // then run once
    };
    void tick();
    void fail();
    // A picture of the screen (the whole virtual display when there is one, else the window in
    // front), as "NN-name.png" in the shots folder, `settleMs` after the last change, so that
    // new windows are painted. A state that lasts only a moment wants a short one.
    void shot(const QString& name, int settleMs = 300);
    CTransferDlg* window() const;
    void buildSteps();

    CTransferApp& app_;
    QString shots_;
    QStringList files_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    qint64 stepStarted_ = 0;
    int shotCount_ = 0;
    bool done_ = false;
    bool shooting_ = false;
    QString failedStep_;
    QTimer timer_;
};
