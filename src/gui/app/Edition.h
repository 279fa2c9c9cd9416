// What the editions of the program differ in: the language of their texts, the widths of five
// list columns, and the help file that "How to Use" opens. One library holds every window; each
// edition's small program passes its record to RunStation.
#pragma once

#include <array>

struct Edition {
    const char* language; // "en", "zh_CN", "zh_TW": the texts' language (English is the source)
    const char* helpFile; // in the program's folder
    // Column widths in pixels, in column order.
    std::array<int, 9> nodeListWidths;  // Node, Channel, Machine, Task Num, Current Task, Rate,
                                        // File Num, Space Room, Transfer Information
    std::array<int, 3> nodeFileWidths;  // No., FileName, Size
    std::array<int, 5> groupFileWidths; // No., Type, FileName, Size, Path
    std::array<int, 3> fileGroupWidths; // Type, File Num, Sum Size
};

// The English edition (TALVORN_enu).
inline constexpr Edition kEnglishEdition{
    "en",          "TALVORN_ENU.html",      {65, 65, 70, 65, 80, 50, 65, 100, 230},
    {50, 120, 85}, {50, 65, 140, 120, 340}, {65, 70, 130},
};

// The Chinese editions share one help file and differ from the English one in five widths:
// "Node", "Channel" and "Machine" of the node list, "Path" of the group files and "File Num" of
// the file groups.
inline constexpr Edition kSimplifiedChineseEdition{
    "zh_CN",       "TALVORN_CHS.html",      {60, 50, 80, 65, 80, 50, 65, 100, 230},
    {50, 120, 85}, {50, 65, 140, 120, 390}, {65, 65, 130},
};
inline constexpr Edition kTraditionalChineseEdition{
    "zh_TW",       "TALVORN_CHS.html",      {60, 50, 80, 65, 80, 50, 65, 100, 230},
    {50, 120, 85}, {50, 65, 140, 120, 390}, {65, 65, 130},
};
