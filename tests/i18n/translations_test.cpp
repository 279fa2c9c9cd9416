// The translated editions' catalogues are complete: lupdate reads the sources afresh (every tr()
// text of the windows, and the core's texts as talvorn-core-texts lists them), and each text it
// finds must have a finished, non-empty translation in both .ts files that keeps the text's
// placeholders and its menu mnemonic. Update the files with the target update_translations.
#include "CoreTexts.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

namespace {

using Key = std::tuple<QString, QString, QString>; // context, source, disambiguation

struct Entry {
    QString translation;
    QString type; // "" finished, "unfinished", "vanished", "obsolete"
};

struct Catalogue {
    QString language;
    std::map<Key, Entry> entries;
};

// The text of the current element, with <byte value="xd"/> turned back into its character.
QString readText(QXmlStreamReader& xml) {
    QString text;
    const QString element = xml.name().toString();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == QLatin1String("byte"))
            text += QChar(xml.attributes().value("value").toString().toUInt(nullptr, 16));
        else if (xml.isEndElement() && xml.name() == element)
            break;
    }
    return text;
}

Catalogue readCatalogue(const QString& path) {
    Catalogue out;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("TS")) {
            out.language = xml.attributes().value("language").toString();
        } else if (xml.name() == QLatin1String("name")) {
            context = readText(xml);
        } else if (xml.name() == QLatin1String("message")) {
            QString source, comment;
            Entry e;
            while (!xml.atEnd() &&
                   !(xml.isEndElement() && xml.name() == QLatin1String("message"))) {
                xml.readNext();
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("source")) {
                    source = readText(xml);
                } else if (xml.name() == QLatin1String("comment")) {
                    comment = readText(xml);
                } else if (xml.name() == QLatin1String("translation")) {
                    e.type = xml.attributes().value("type").toString();
                    e.translation = readText(xml);
                }
            }
            out.entries[{context, source, comment}] = e;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return out;
}

// What a translation must keep of its source: the "%1" ... and "%n" placeholders (as a set: a
// translation may reorder them) and the "(&X)" or "&X" mnemonic of a menu entry.
std::set<QString> placeholders(const QString& text) {
    std::set<QString> out;
    static const QRegularExpression re(QStringLiteral("%[1-9n]"));
    for (auto it = re.globalMatch(text); it.hasNext();)
        out.insert(it.next().captured());
    return out;
}
QString mnemonic(const QString& text) {
    static const QRegularExpression re(QStringLiteral("&([A-Za-z])"));
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

std::string describe(const Key& k) {
    return (std::get<0>(k) + " \"" + std::get<1>(k) + "\"" +
            (std::get<2>(k).isEmpty() ? QString() : " (" + std::get<2>(k) + ")"))
        .toStdString();
}

TEST(Translations, EveryTextOfTheWindowsHasAFinishedTranslation) {
    // The texts as the sources have them now.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString coreTexts = dir.filePath("CoreTexts.cpp");
    {
        QFile f(coreTexts);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::string text = LupdateSource(CoreTextsForTranslation());
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    const QString fresh = dir.filePath("fresh.ts");
    const QString src = QStringLiteral(TALVORN_SOURCE_DIR "/src");
    QProcess lupdate;
    lupdate.start(TALVORN_LUPDATE, {"-silent", "-no-obsolete", "-locations", "none", "-I", src, src,
                                    coreTexts, "-ts", fresh});
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
    const Catalogue found = readCatalogue(fresh);
    // A wrong source folder would find nothing and pass: the windows have far more texts.
    ASSERT_GT(found.entries.size(), 250u);
    ASSERT_EQ(found.entries.count({"CTransferDlg", "Node", ""}), 1u);
    ASSERT_EQ(found.entries.count({"StationText", "Line Lost", "42124"}), 1u);

    for (const char* language : {"zh_CN", "zh_TW"}) {
        SCOPED_TRACE(language);
        const Catalogue cat = readCatalogue(
            QStringLiteral(TALVORN_SOURCE_DIR "/translations/talvorn_") + language + ".ts");
        EXPECT_EQ(cat.language, language);
        std::vector<std::string> problems;
        for (const auto& [key, unused] : found.entries) {
            const auto it = cat.entries.find(key);
            if (it == cat.entries.end()) {
                problems.push_back("missing: " + describe(key));
                continue;
            }
            const Entry& e = it->second;
            const QString& source = std::get<1>(key);
            if (!e.type.isEmpty())
                problems.push_back(e.type.toStdString() + ": " + describe(key));
            else if (e.translation.trimmed().isEmpty())
                problems.push_back("empty: " + describe(key));
            else if (placeholders(e.translation) != placeholders(source))
                problems.push_back("placeholders differ: " + describe(key));
            else if (mnemonic(e.translation) != mnemonic(source))
                problems.push_back("mnemonic differs: " + describe(key));
            else if (source.contains("\r\n") != e.translation.contains("\r\n"))
                problems.push_back("line break differs: " + describe(key));
        }
        for (const auto& [key, e] : cat.entries)
            if (e.type == QLatin1String("unfinished"))
                problems.push_back("unfinished entry left in the file: " + describe(key));
        std::string report;
        for (const std::string& p : problems)
            report += "  " + p + "\n";
        EXPECT_TRUE(problems.empty()) << problems.size()
                                      << " texts need translating (cmake --build build --target "
                                         "update_translations, then translate):\n"
                                      << report;
    }
}

} // namespace
