// talvorn-core-texts FILE: writes the core's texts as a source for lupdate (see CoreTexts.h). The
// file is rewritten only when its contents change, so that nothing depending on it runs again for
// nothing.
#include "CoreTexts.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: talvorn-core-texts FILE\n";
        return 2;
    }
    const std::string text = LupdateSource(CoreTextsForTranslation());
    {
        std::ifstream in(argv[1], std::ios::binary);
        std::ostringstream old;
        old << in.rdbuf();
        if (in.is_open() && old.str() == text)
            return 0;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "talvorn-core-texts: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
