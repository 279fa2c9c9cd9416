#include "gui/app/LoadingWindow.h"

#include "gui/kit/StationIcons.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

LoadingWindow::LoadingWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("LoadingWindow");
    setWindowTitle(tr("Quorvelle Network Transfer System"));
    setWindowIcon(StationIcon());
    auto* text = new QLabel(tr("Loading On System, Please Waiting..."), this);
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->addWidget(text);
    setFrameLook();
}

void LoadingWindow::setFrameLook() {
    setAutoFillBackground(true);
    setStyleSheet("LoadingWindow { border: 1px solid palette(dark); }");
}

void LoadingWindow::showNow() {
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
