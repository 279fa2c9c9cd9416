#include "gui/app/StatusPanes.h"

#include "gui/app/TransferDlg.h"
#include "station/StationTexts.h"

#include <QLabel>
#include <QStatusBar>

// The panes' texts are the main window's (CTransferDlg::tr): one context in the catalogues.

StatusPanes::StatusPanes(QStatusBar* bar) {
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 4; ++i) {
        panes_[i] = new QLabel(bar);
        panes_[i]->setObjectName(QStringLiteral("pane%1").arg(i));
        panes_[i]->setFrameShape(QFrame::Panel);
        panes_[i]->setFrameShadow(QFrame::Sunken);
        panes_[i]->setContentsMargins(4, 0, 4, 0);
    }
    panes_[0]->setMinimumWidth(bar->fontMetrics().horizontalAdvance(
                                   CTransferDlg::tr("Channel One Success, Channel Two Error")) +
                               16);
    panes_[1]->setFixedWidth(320);
    panes_[2]->setMinimumWidth(25);
    panes_[3]->setFixedWidth(80);
    bar->addPermanentWidget(panes_[0], 0);
    bar->addPermanentWidget(panes_[1], 0);
    bar->addPermanentWidget(panes_[2], 1);
    bar->addPermanentWidget(panes_[3], 0);
}

void StatusPanes::showChannels(int openResult, int lostLines) {
    QString text;
    switch (lostLines) {
    case 1:
        text = CTransferDlg::tr("Channel One Line Lost");
        break;
    case 2:
        text = CTransferDlg::tr("Channel Two Line Lost");
        break;
    case 3:
        text = CTransferDlg::tr("Two Channels Line Lost");
        break;
    default:
        text = QString::fromStdString(StationText(ChannelResultTextId(openResult)));
        break;
    }
    panes_[0]->setText(text);
}

void StatusPanes::showOpenTime(const QString& text) {
    panes_[1]->setText(text);
}

void StatusPanes::showUser(const QString& text) {
    panes_[2]->setText(text);
}

void StatusPanes::showChannel(int channel) {
    panes_[3]->setText(CTransferDlg::tr("Channel") + QString::number(channel + 1));
}
