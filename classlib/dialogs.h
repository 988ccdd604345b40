// Small modal dialogs of the class library: a message with an OK button and
// a query for one line of text.
#pragma once

#include <string>

// Shows Text under Caption until OK, Enter, Escape or closing; a text too
// long for the dialog is shown in a scrolling read-only field.
void ShowMessageDialog(const std::string& Caption, const std::string& Text);

// Asks for a line of text with Prompt above an edit that starts with Value.
// OK (or Enter) stores the edit's text in Value and answers true; Cancel,
// Escape or closing leave Value as it was and answer false.
bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value);
