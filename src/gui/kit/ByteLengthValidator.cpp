#include "gui/kit/ByteLengthValidator.h"

#include "store/FieldBytes.h"

#include <QLineEdit>

ByteLengthValidator::ByteLengthValidator(size_t maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State ByteLengthValidator::validate(QString& input, int&) const {
    return FitsFieldBytes(input.toStdString(), maxBytes_) ? Acceptable : Invalid;
}

void ByteLengthValidator::fixup(QString& input) const {
    input = QString::fromStdString(CutToFieldBytes(input.toStdString(), maxBytes_));
}

void LimitToBytes(QLineEdit* edit, size_t maxBytes) {
    edit->setValidator(new ByteLengthValidator(maxBytes, edit));
}
