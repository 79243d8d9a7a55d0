// What the desktop does with a file given by its path, through GIO: the
// trash and starting programs. Paths and arguments travel as the bytes the
// file system holds; nothing here decodes them.
#pragma once

#include <string>
#include <vector>

// Moves `path` to the user's trash (the trash of its own file system when
// that is another one); false, with the file where it was, when that is not
// possible.
bool TrashFile(const std::string& path);
// Starts the desktop's default application for `path`; false when there is
// none or it did not start.
bool LaunchDefaultApplication(const std::string& path);
// Starts argv[0] (looked up in PATH unless it names a file) with the rest as
// its arguments, detached; false when it did not start.
bool SpawnDetached(const std::vector<std::string>& argv);
