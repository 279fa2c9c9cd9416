// The Right Setting dialog: the ten rights as check boxes in two columns, OK and CANCEL. It only
// shows and collects the boxes; the Add / Modify User dialog presets them (rightSettingPreset)
// and applies them on OK (rightSettingOk).
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QPushButton;

class RightSettingDialog : public QDialog {
    Q_OBJECT
public:
    // `preset`: the ticked boxes as a mask of kRight... bits.
    explicit RightSettingDialog(uint16_t preset, QWidget* parent = nullptr);

    // The ticked boxes as a mask of kRight... bits.
    uint16_t ticked() const;
    // The box of one right (a kRight... mask), or null.
    QCheckBox* box(uint16_t right) const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QCheckBox* boxes_[10];
    QPushButton* ok_;
    QPushButton* cancel_;
};
