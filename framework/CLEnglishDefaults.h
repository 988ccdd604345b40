// The built-in English texts: the language document that the main window's
// language data holds as its defaults (and as its current document until a
// language file is loaded). Sections "LibRes", "SkinRes", "AppRes" and
// "TfrmMain".
#pragma once

#include <string>

class TCLMultiLangData;

const std::string& EnglishDefaultsDocument();
// Puts the document into both documents of the data, as the main window's
// resource does.
void LoadEnglishDefaults(TCLMultiLangData* Data);
