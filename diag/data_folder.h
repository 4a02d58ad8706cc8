// The per-user data folder under which the log, the statistics database and
// the statistics page live, and the folder-chain creation its users share.
#pragma once

#include <string>

#include "platform/known_folders.h"

// Fills `path` (MAX_PATH units) with the local application-data folder plus
// "Nevlora/Wrenvia"; "c:\" when the shell gives no folder.
void GetDataFolder(char16_t (&path)[MAX_PATH]);
// The same as a string.
std::u16string GetDataFolder();

// Creates every folder level of `path`. When the path does not exist, the
// last separator ("\" or "/") and what follows are dropped first, so a path
// ending in a separator keeps all its levels and a file path loses its file
// name. Errors are ignored; always true.
bool CreateFolderChain(std::u16string_view path);

// The path with the add-in's "\" separators written as this platform's "/".
std::u16string NativePath(std::u16string_view path);
