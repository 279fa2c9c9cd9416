// The running edition's string table. Texts are looked up by identifier, as the windows' resources
// are; the source language is English, and a translated edition installs a translator once,
// before its windows open. Every layer that shows a text by identifier (the user dialogs' rules,
// the station's texts) asks here, so one installation reaches them all. Texts written to files
// (event log, Para.ini) never pass through here.
#pragma once

#include <functional>
#include <string>

// Gets the identifier and the English text; returns the text to show.
using StringTranslator = std::function<std::string(int id, const std::string& english)>;

// Installs the edition's translator; an empty one puts English back.
void SetStringTranslator(StringTranslator translator);

// The text of `id` as the edition shows it: the translator's answer, or `english` when none is
// installed or the English text is empty.
std::string EditionString(int id, const std::string& english);
