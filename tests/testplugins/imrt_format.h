// IMRT: a tiny container format of the detection tests, read by the plugins
// of the test module and written by the tests.
//
//   IMRT <count>\n
//   <image line>\n          one per image, or one line "* <image line>"
//   ...                     that stands for all <count> images
//   END\n
//   <payload>               bytes that embedded ranges point into
//
// An image line is blank-separated key=value items:
//   s=<status>   what the plugin answers: a number, or throw (a ZQ exception),
//                magic (IMR_EMagicInvalidMagicEntry), std (a std::exception),
//                nocreator (PXC_EDynamicLoaderNoSuchCreator)
//   t=<type>     image type (PXC_TImageType), default 3
//   w=, h=       columns and rows
//   f=<format>   file format, default IMRT
//   e=<o>:<n>    embedded range: n bytes from byte o of the payload
//   E=<o>:<n>    embedded range: n bytes from byte o of the IMRT data itself
//   r=<file>     an external reference (repeatable)
//   z=<micros>   the plugin sleeps this long before answering
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace imrt {

struct Image {
  std::string status = "0";
  int type = 3;
  unsigned columns = 0;
  unsigned rows = 0;
  std::string format = "IMRT";
  bool embedded = false;
  bool absolute = false;  // E= rather than e=
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::vector<std::string> refs;
  unsigned sleepMicros = 0;
  // Only for writing: the data of an e= range, placed in the payload.
  std::string payload;
};

struct File {
  std::uint32_t count = 0;
  std::vector<Image> images;  // one entry when `shared`
  bool shared = false;
  std::uint64_t payloadStart = 0;

  const Image& At(std::uint32_t index) const { return images[shared ? 0 : index]; }
  // Absolute offset of an image's embedded range in the IMRT data.
  std::uint64_t EmbedOffset(const Image& image) const {
    return image.absolute ? image.offset : payloadStart + image.offset;
  }
};

inline bool ParseLine(std::string_view line, Image& image) {
  while (!line.empty()) {
    const std::size_t blank = line.find(' ');
    std::string_view item = line.substr(0, blank);
    line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    if (item.empty()) continue;
    if (item.size() < 2 || item[1] != '=') return false;
    const std::string value(item.substr(2));
    switch (item[0]) {
      case 's': image.status = value; break;
      case 't': image.type = std::atoi(value.c_str()); break;
      case 'w': image.columns = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10)); break;
      case 'h': image.rows = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10)); break;
      case 'f': image.format = value; break;
      case 'r': image.refs.push_back(value); break;
      case 'z': image.sleepMicros = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10)); break;
      case 'e':
      case 'E': {
        char* end = nullptr;
        image.embedded = true;
        image.absolute = item[0] == 'E';
        image.offset = std::strtoull(value.c_str(), &end, 10);
        if (end == nullptr || *end != ':') return false;
        image.length = std::strtoull(end + 1, nullptr, 10);
        break;
      }
      default: return false;
    }
  }
  return true;
}

// Parses the IMRT data at `data`; false when it is not IMRT or is cut short.
inline bool Parse(const std::uint8_t* data, std::size_t size, File& file) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (text.substr(0, 5) != "IMRT ") return false;
  std::size_t at = 0;
  auto nextLine = [&text, &at](std::string_view& line) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return false;
    line = text.substr(at, end - at);
    at = end + 1;
    return true;
  };
  std::string_view line;
  if (!nextLine(line)) return false;
  file.count = static_cast<std::uint32_t>(std::strtoul(std::string(line.substr(5)).c_str(), nullptr, 10));
  for (;;) {
    if (!nextLine(line)) return false;
    if (line == "END") break;
    Image image;
    file.shared = line.substr(0, 2) == "* ";
    if (!ParseLine(file.shared ? line.substr(2) : line, image)) return false;
    file.images.push_back(image);
  }
  if (file.shared ? file.images.size() != 1 : file.images.size() != file.count) return false;
  file.payloadStart = at;
  return true;
}

// The line of an image (without its payload).
inline std::string LineOf(const Image& image, std::uint64_t payloadOffset) {
  std::string line = "s=" + image.status + " t=" + std::to_string(image.type) +
                     " w=" + std::to_string(image.columns) + " h=" + std::to_string(image.rows) +
                     " f=" + image.format;
  if (image.embedded || !image.payload.empty()) {
    line += image.absolute ? " E=" : " e=";
    line += std::to_string(image.payload.empty() ? image.offset : payloadOffset) + ":" +
            std::to_string(image.payload.empty() ? image.length : image.payload.size());
  }
  for (const std::string& ref : image.refs) line += " r=" + ref;
  if (image.sleepMicros != 0) line += " z=" + std::to_string(image.sleepMicros);
  return line;
}

// IMRT data for `images`; an image with a payload gets an e= range over it.
inline std::string Write(const std::vector<Image>& images, const std::string& tail = "") {
  std::string head = "IMRT " + std::to_string(images.size()) + "\n";
  std::string payload;
  for (const Image& image : images) {
    head += LineOf(image, payload.size()) + "\n";
    payload += image.payload;
  }
  return head + "END\n" + payload + tail;
}

// IMRT data of `count` images that all answer as `image`.
inline std::string WriteShared(std::uint32_t count, const Image& image) {
  return "IMRT " + std::to_string(count) + "\n* " + LineOf(image, 0) + "\nEND\n";
}

// What the test plugins count; the module exports one instance (IMRT_Stats).
struct Stats {
  std::atomic<int> calls{0};             // ImageInfo calls of every plugin and context
  std::atomic<int> loopCalls{0};         // calls of IMRT_Loop
  std::atomic<int> contextsCreated{0};
  std::atomic<int> contextsAlive{0};
  std::atomic<int> inFlight{0};          // plugin calls running now
  std::atomic<int> safeInFlight{0};      // calls of safe plugins running now
  std::atomic<int> unsafeInFlight{0};    // calls of plugins that are not safe
  std::atomic<int> maxSafeInFlight{0};   // most safe calls seen at once
  std::atomic<int> exclusionViolations{0};
  std::atomic<int> pluginsCreated{0};
  std::atomic<int> pluginsDeleted{0};

  // Clears the totals; the gauges of running calls and live contexts stay.
  void Reset() {
    for (std::atomic<int>* counter :
          {&calls, &loopCalls, &contextsCreated, &maxSafeInFlight, &exclusionViolations}) {
      counter->store(0);
    }
  }
};

}  // namespace imrt
