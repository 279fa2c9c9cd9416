#include "platform/StringTable.h"

#include <mutex>

namespace {

std::mutex g_mutex;
StringTranslator g_translator;

} // namespace

void SetStringTranslator(StringTranslator translator) {
    std::lock_guard lock(g_mutex);
    g_translator = std::move(translator);
}

std::string EditionString(int id, const std::string& english) {
    StringTranslator translator;
    {
        std::lock_guard lock(g_mutex);
        translator = g_translator;
    }
    if (!translator || english.empty())
        return english;
    return translator(id, english);
}
