// Signatures of the catalog (catalog.h) turned into magic entry texts.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "formats/catalog/catalog.h"

namespace imr::formats {

// A signature that does not follow the syntax; what() names the problem.
struct SignatureError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The entry texts of one alternative of `format`: the tests of `signature`,
// then FileFormat, the version the signature gives, ImageType=3,
// FillLevel=2, the format's plugin and GENERIC.
std::vector<std::string> EntryTexts(const Format& format, const std::string& signature);

}  // namespace imr::formats
