// The standard dialogs that choose a folder or a file. Each runs to its end
// with the owner's top-level window disabled; under a display they are the
// desktop's own dialogs, headless a test answers them.
#pragma once

#include <string>

#include "platform/win/types.h"

// The chosen folder, empty when cancelled. initialFolder is shown selected.
std::string ChooseFolderDialog(HWND owner, const std::string& title,
                               const std::string& initialFolder);

// filter: pairs of name and patterns separated by "|" ("Text|*.txt|All|*.*"),
// patterns within one pair by ";". filterIndex is 1-based (0 counts as 1).
// fileName holds the initial name on entry and the chosen path on success.
bool ChooseOpenFileDialog(HWND owner, const std::string& title, const std::string& filter,
                          int filterIndex, std::string& fileName);
bool ChooseSaveFileDialog(HWND owner, const std::string& title, const std::string& filter,
                          int filterIndex, bool confirmOverwrite, std::string& fileName);
