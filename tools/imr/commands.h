// The other `imr` commands.
#pragma once

#include <string>
#include <vector>

// Prints each file's SmartID; returns the exit status.
int RunSmartID(const std::vector<std::string>& paths);
// Prints the magic entries and the selections.
int RunFormats();
// Parses every entry text of a magic table file and reports each error with
// its line; returns 0 when all parse, 1 otherwise, 2 when the file cannot be read.
int RunMagicCheck(const std::string& path);
// Prints the registered version blocks.
int RunVersion();
