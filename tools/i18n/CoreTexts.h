// The texts the core hands to the windows, listed for Qt's lupdate. lupdate reads only tr() calls
// and QT_TRANSLATE_NOOP marks in C++ sources, and these texts live in the core, which has no Qt.
// talvorn-core-texts writes this list out as such a source at build time, so that the catalogues
// (translations/*.ts) hold every core text, and their completeness check sees a new or changed
// core text at once.
#pragma once

#include <string>
#include <vector>

struct CoreText {
    std::string context;        // "StationText" for texts by identifier, else the window's class
    std::string source;         // the English text
    std::string disambiguation; // the identifier for texts by identifier, else empty
};

// Every core text a window translates, in a fixed order:
// - the string table's texts by identifier (station/StationTexts.h, with the user dialogs'),
// - the core's entry lists and messages that a dialog passes to its own tr() (Parameter
//   Setting, Soft Note, Right Setting).
std::vector<CoreText> CoreTextsForTranslation();

// A C++ source that marks each text with QT_TRANSLATE_NOOP / QT_TRANSLATE_NOOP3, for lupdate.
std::string LupdateSource(const std::vector<CoreText>& texts);
