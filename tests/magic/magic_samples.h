// Hand-made file starts, one or more for every shipped magic entry, each
// with the file format it must be given, and files no entry describes.
#pragma once

#include <string>
#include <vector>

namespace magictest {

struct Sample {
  std::string name;    // a file name, with an extension that does not matter
  std::string bytes;
  std::string format;  // "" when no entry may describe it
};

std::vector<Sample> Samples();

// The IM-written files of tests/data/magic/samples with their formats.
std::vector<Sample> DataSamples(const std::string& folder);

}  // namespace magictest
