// The small window without a title bar that says "Loading On System, Please Waiting..." while the
// main window builds itself and the communication centre opens the channels.
#pragma once

#include <QWidget>

class LoadingWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoadingWindow(QWidget* parent = nullptr);
    // Shows it centred on the screen and paints it at once (the event loop is not running yet).
    void showNow();

private:
    void setFrameLook();
};
