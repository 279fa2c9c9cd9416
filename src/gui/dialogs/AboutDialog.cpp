#include "gui/dialogs/AboutDialog.h"

#include "gui/kit/Prompter.h"
#include "gui/kit/StationIcons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The dialog belongs to the main window's menu: its texts are in the main window's context in
// the catalogues.
QString text(const char* source) {
    return QCoreApplication::translate("CTransferDlg", source);
}

} // namespace

void RunEditionInformation(QWidget* parent) {
    QDialog about(parent);
    about.setObjectName("AboutDialog");
    about.setWindowTitle(
        text(QT_TRANSLATE_NOOP("CTransferDlg", "About Quorvelle Network Transfer System")));
    const QString title =
        text(QT_TRANSLATE_NOOP("CTransferDlg", "Quorvelle Network Transfer System"));
    auto* picture = new QLabel(&about);
    picture->setPixmap(StationIcon().pixmap(48, 48));
    picture->setAccessibleName(title);
    auto* name = new QLabel(title, &about);
    name->setObjectName("name");
    auto* version = new QLabel(text(QT_TRANSLATE_NOOP("CTransferDlg", "Version 2.0")), &about);
    version->setObjectName("version");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(&about);
    layout->addLayout(top);
    layout->addWidget(buttons);
    prompter().exec(about);
}
