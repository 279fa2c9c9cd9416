// The main window's four status panes: the channels (their open result, or the lines lost now),
// the time the system was opened, the logged-on user and the shown channel.
#pragma once

#include <QString>

class QLabel;
class QStatusBar;

class StatusPanes {
public:
    explicit StatusPanes(QStatusBar* bar);

    QLabel* pane(int i) const { return panes_[i]; }
    // Pane 0: the lines lost now (LostLines' bits), else the centre's open result.
    void showChannels(int openResult, int lostLines);
    void showOpenTime(const QString& text);
    void showUser(const QString& text);
    // Pane 3: "Channel1" or "Channel2".
    void showChannel(int channel);

private:
    QLabel* panes_[4] = {};
};
