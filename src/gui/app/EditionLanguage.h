// Puts an edition's language in place for the life of the object: the windows' texts from the
// edition's catalogue (built into the program as a resource, ":/i18n/talvorn_<language>.qm"),
// Qt's own dialog texts from Qt's catalogue (qtbase_<language>.qm where Qt keeps its
// translations), Qt's locale, and the core's texts by identifier through the string table's
// translator. The English edition needs none of it and gets none. Texts written to files never
// pass through any of this.
#pragma once

#include "gui/app/Edition.h"

#include <QLocale>

#include <memory>
#include <string>

class QTranslator;

class EditionLanguage {
public:
    explicit EditionLanguage(const Edition& edition);
    ~EditionLanguage();
    EditionLanguage(const EditionLanguage&) = delete;
    EditionLanguage& operator=(const EditionLanguage&) = delete;

    // True when the edition's own catalogue is in place (always false for English).
    bool windowsTranslated() const { return own_ != nullptr; }
    // True when Qt's catalogue for the language was found and is in place.
    bool qtTranslated() const { return qt_ != nullptr; }

private:
    std::unique_ptr<QTranslator> own_;
    std::unique_ptr<QTranslator> qt_;
    QLocale oldLocale_;
};

// A core text in the running edition's language: the catalogues hold the core's texts under the
// context "StationText", told apart by their identifier. Without a translation, the English text.
std::string TranslateStationText(int id, const std::string& english);
