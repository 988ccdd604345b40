// A small registry of our own: string values under backslash-separated keys,
// kept in one text file per root. The "Shell Folders" keys are answered from
// the special folders instead of the files.
//
// Files: current user in "<AppData>/lantrove/registry/user.reg", local
// machine and classes root in "<Common AppData>/lantrove/registry/machine.reg"
// and "classes.reg". Key and value names compare without regard to case.
#pragma once

#include <string>
#include <vector>

namespace os {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine };

std::string RegistryFileName(RegRoot root);

// Whether the key exists (it or one of its subkeys holds a value).
bool RegKeyExists(RegRoot root, const std::string& key);
// True and the value when the key holds it.
bool RegReadValue(RegRoot root, const std::string& key, const std::string& name,
                  std::string& value);
// Writes a value, creating the key; false when the store cannot be saved.
bool RegWriteValue(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& value);
bool RegDeleteValue(RegRoot root, const std::string& key, const std::string& name);
// Deletes the key with all its values and subkeys; false when there was none.
bool RegDeleteKey(RegRoot root, const std::string& key);
// Names of the values the key holds, in the order they were written.
std::vector<std::string> RegValueNames(RegRoot root, const std::string& key);
// Moves the key with its subkeys to a new name (an existing key of that
// name is replaced); false when there is nothing to move.
bool RegMoveKey(RegRoot root, const std::string& from, const std::string& to);

} // namespace os
