// Just enough XML for a reader that needs the root element's attributes
// (SVG, an OpenRaster stack): the prolog skipped, then the root's name and
// attributes, each read from text already in memory.
#pragma once

#include <cstddef>
#include <string_view>

namespace imr::formats {

class XmlMarkup {
 public:
  explicit XmlMarkup(std::string_view text) : iText(text) {}

  // Moves past the XML declaration, comments, processing instructions and
  // a document type declaration to the root element's name; false when one
  // of them does not end within the text or no element follows.
  bool SkipProlog();
  // The element name at the position (after SkipProlog or Find).
  std::string_view Name();
  // The next attribute of the start tag: false at its end (`ended`) or
  // when the text ends first or the attribute is malformed.
  bool Attribute(std::string_view& name, std::string_view& value, bool& ended);
  // Moves past the next start tag "<name" (followed by a blank, '/' or '>')
  // to its attributes; false when there is none.
  bool Find(std::string_view name);

 private:
  bool Next(std::string_view s);
  bool SkipPast(std::string_view s);

  std::string_view iText;
  std::size_t iAt = 0;
};

// `s` without leading and trailing blanks and line ends.
std::string_view TrimXmlSpace(std::string_view s);

}  // namespace imr::formats
