// Limits a line edit to a number of bytes of the stored encoding (UTF-8) rather than characters,
// so that a name of Chinese characters cannot outgrow its field.
#pragma once

#include <QValidator>

#include <cstddef>

class QLineEdit;

class ByteLengthValidator : public QValidator {
    Q_OBJECT
public:
    ByteLengthValidator(size_t maxBytes, QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    size_t maxBytes() const { return maxBytes_; }

private:
    size_t maxBytes_;
};

// Installs a ByteLengthValidator of `maxBytes` on the edit.
void LimitToBytes(QLineEdit* edit, size_t maxBytes);
