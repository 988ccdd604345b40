// The built-in English texts: the language document that the main window's
// language data holds as its defaults (and as its current document until a
// language file is loaded). Sections "LibRes", "SkinRes" (the skin library's
// own interface texts), "AppRes", "TfrmMain" and "TfrmCenterView" (the
// advanced-search form, so that choosing English again restores it too).
#pragma once

#include <string>

class TCLMultiLangData;

const std::string& EnglishDefaultsDocument();
// Puts the document into both documents of the data, as the main window's
// resource does.
void LoadEnglishDefaults(TCLMultiLangData* Data);
// Writes the document as the language file "English.lan" ships: with its
// "Info" section, in the sorted layout of language files.
void SaveEnglishLanguageFile(const std::string& FileName, const std::string& Version);
