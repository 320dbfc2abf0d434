// File starts, each with the file format it must be given ("" when no
// magic entry may describe it): hand-made ones for every chain of the shipped
// magic entries that the small files written by ImageMagick
// (tests/data/magic/samples, named "im-...") do not reach, files no entry
// describes, and those files.
#pragma once

#include <string>
#include <vector>

namespace magictest {

struct Sample {
  std::string name;  // a file name, with an extension that does not matter
  std::string bytes;
  std::string format;
};

std::vector<Sample> Samples();

}  // namespace magictest
