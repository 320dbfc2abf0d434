// What the configuration says of each file format the library recognises:
// its description, MIME type, usual extensions, and the module that
// describes it and how deep ("/Resources/Modules/IMR/Formats").
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct FormatFacts {
  std::string name;  // the FileFormat of the images it describes: "PNG"
  std::string description;
  std::string mime;
  std::vector<std::string> extensions;  // without dots, the usual one first
  // The module that describes it in depth; empty when only the magic entries
  // recognise it.
  std::string module;
  // "recognised", "geometry", "images", "details" or "dependencies".
  std::string depth;
};

// Every listed format, in the order formats are tried.  Read from the
// configuration once per process, like the library's other per-process
// settings.
const std::vector<FormatFacts>& AllFormatFacts();

// The facts of format `name`; all fields empty when it is not listed.
const FormatFacts& FormatFactsOf(std::string_view name);
