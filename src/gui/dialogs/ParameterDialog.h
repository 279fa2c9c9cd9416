// The Parameter Setting dialog: port, node number, speed, first number and mode of both channels.
// OK checks every field first (store/ParameterForm.h) and writes nothing after a failed check;
// then it refuses while either channel has work, writes Para.ini, and only then re-creates the
// communication centre from the saved values. CANCEL changes nothing.
#pragma once

#include "store/ParameterForm.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

class ParameterDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParameterDialog(QWidget* parent = nullptr);

    // The new centre's result (bit 0: channel 1 open, bit 1: channel 2 open); -1 until OK
    // re-created it.
    int openResult() const { return openResult_; }

    QComboBox* portBox(int channel) const { return port_[channel]; }
    QLineEdit* nodeNumberEdit(int channel) const { return nodeNumber_[channel]; }
    QComboBox* speedBox(int channel) const { return speed_[channel]; }
    QLineEdit* firstNumberEdit(int channel) const { return firstNumber_[channel]; }
    QComboBox* modeBox(int channel) const { return mode_[channel]; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void onOk();
    QWidget* fieldWidget(int field) const;

    ParameterForm form_;
    int openResult_ = -1;
    QComboBox* port_[SystemParameters::kChannels];
    QLineEdit* nodeNumber_[SystemParameters::kChannels];
    QComboBox* speed_[SystemParameters::kChannels];
    QLineEdit* firstNumber_[SystemParameters::kChannels];
    QComboBox* mode_[SystemParameters::kChannels];
    QPushButton* ok_;
    QPushButton* cancel_;
};

// The Transfer Parameter command: for administrators and holders of "Set System Parameter"
// (anyone else: nothing happens, nothing is shown). While either channel has work it shows "Task
// is doing, please waiting!" and opens nothing. Runs the dialog; true when OK re-created the
// centre, with its result in *openResult (0..3): the caller then shows the channel-result text in
// the status bar and refills the node lists.
bool RunParameterSetting(QWidget* parent, int* openResult);
