// The other `imr` commands.
#pragma once

#include <string>
#include <vector>

// Prints each file's SmartID; returns the exit status.
int RunSmartID(const std::vector<std::string>& paths);
// Prints one line per format the library recognises (name, description, MIME
// type, extensions, the module that describes it and how deep), or with
// `json` the same as a JSON array.
int RunFormats(bool json);
// Prints the magic entries in the order they are tried, with their byte tests
// (bytes that do not print escaped), and the selections.
int RunFormatChains();
// Prints the byte tests of the magic entry `name`; 1 when there is none.
int RunMagicShow(const std::string& name);
// Parses every entry text of a magic table file and reports each error with
// its line; returns 0 when all parse, 1 otherwise, 2 when the file cannot be read.
int RunMagicCheck(const std::string& path);
// Prints the registered version blocks.
int RunVersion();
