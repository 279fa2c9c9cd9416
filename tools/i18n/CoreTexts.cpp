#include "CoreTexts.h"

#include "station/StationTexts.h"
#include "store/ParameterForm.h"
#include "store/SoftNote.h"
#include "users/UserRecord.h"

namespace {

// A C++ string literal of `text`; bytes beyond ASCII stay as they are (UTF-8), which lupdate
// reads as UTF-8.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

std::vector<CoreText> CoreTextsForTranslation() {
    std::vector<CoreText> out;
    for (int id : StationTextIds())
        out.push_back({kStationTextContext, EnglishText(id), std::to_string(id)});

    // Parameter Setting translates these with its own tr().
    for (const char* e : kSpeedEntries)
        out.push_back({"ParameterDialog", e, {}});
    for (const char* e :
         {kParameterCaption, kEnterIntegerText, kEnterIntegerRangeText, kParameterBusyText,
          kParameterWriteErrorCaption, kParameterWriteErrorText})
        out.push_back({"ParameterDialog", e, {}});
    // Soft Note: the event types (also the records' "Event" column) and the channels.
    for (const char* e : kEventTypeEntries)
        out.push_back({"SoftNoteDialog", e, {}});
    for (const char* e : kChannelEntries)
        out.push_back({"SoftNoteDialog", e, {}});
    // Right Setting: the ten rights.
    for (const RightBox& r : kRightBoxes)
        out.push_back({"RightSettingDialog", r.text, {}});
    return out;
}

std::string LupdateSource(const std::vector<CoreText>& texts) {
    std::string out =
        "// Written by talvorn-core-texts for lupdate: the core's texts that the windows "
        "translate.\n"
        "#include <QtGlobal>\n\n"
        "static const char* const coreTexts[] = {\n";
    for (const CoreText& t : texts) {
        if (t.disambiguation.empty())
            out +=
                "    QT_TRANSLATE_NOOP(" + literal(t.context) + ", " + literal(t.source) + "),\n";
        else
            out += "    QT_TRANSLATE_NOOP3(" + literal(t.context) + ", " + literal(t.source) +
                   ", " + literal(t.disambiguation) + "),\n";
    }
    return out + "};\n";
}
