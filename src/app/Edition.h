// What the editions of the program differ in: the language of their texts, the widths of some list
// columns, and the help file that "How to Use" opens. One library holds every window; each
// edition's small program passes its record to RunStation.
#pragma once

#include <array>

struct Edition {
    const char* language; // "en", "zh_CN", "zh_TW"
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
    "en",          "TALVORN_ENU.chm",       {65, 65, 70, 65, 80, 50, 65, 100, 230},
    {50, 120, 85}, {50, 65, 140, 120, 340}, {65, 70, 130},
};
