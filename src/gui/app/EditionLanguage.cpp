#include "gui/app/EditionLanguage.h"

#include "platform/StringTable.h"
#include "station/StationTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

std::unique_ptr<QTranslator> loadCatalogue(const QString& name, const QString& folder) {
    auto t = std::make_unique<QTranslator>();
    if (!t->load(name, folder) || !QCoreApplication::installTranslator(t.get()))
        return nullptr;
    return t;
}

} // namespace

EditionLanguage::EditionLanguage(const Edition& edition) : oldLocale_(QLocale()) {
    const QString language = QString::fromLatin1(edition.language);
    if (language == QLatin1String("en"))
        return; // the source language
    QLocale::setDefault(QLocale(language));
    qt_ = loadCatalogue(QStringLiteral("qtbase_") + language,
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    own_ = loadCatalogue(QStringLiteral("talvorn_") + language, QStringLiteral(":/i18n"));
    if (own_ != nullptr)
        SetStringTranslator(TranslateStationText);
}

EditionLanguage::~EditionLanguage() {
    if (own_ != nullptr) {
        SetStringTranslator(nullptr);
        QCoreApplication::removeTranslator(own_.get());
    }
    if (qt_ != nullptr)
        QCoreApplication::removeTranslator(qt_.get());
    QLocale::setDefault(oldLocale_);
}

std::string TranslateStationText(int id, const std::string& english) {
    const std::string key = std::to_string(id);
    const QString text =
        QCoreApplication::translate(kStationTextContext, english.c_str(), key.c_str());
    return text.toStdString();
}
