// IMRT: a tiny container format of the detection tests, read by the plugins
// of the test module and written by the tests and the detection benchmark.
//
//   IMRT <count>\n
//   <image line>\n          one per image
//   ...
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
//   r=<file>     an external reference (repeatable)
//   z=<micros>   the plugin sleeps this long before answering
#pragma once

#include <atomic>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
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
  std::uint64_t offset = 0;  // of the embedded range, in the payload
  std::uint64_t length = 0;
  std::vector<std::string> refs;
  unsigned sleepMicros = 0;
  std::string payload;  // only for writing: the data of an e= range
};

struct File {
  std::uint32_t count = 0;
  std::vector<Image> images;
  std::uint64_t payloadStart = 0;

  const Image& At(std::uint32_t index) const { return images[index]; }
  // Offset of an image's embedded range in the IMRT data.
  std::uint64_t EmbedOffset(const Image& image) const { return payloadStart + image.offset; }
};

// Parses the IMRT data at `data`; false when it is not IMRT or is cut short.
inline bool Parse(const std::uint8_t* data, std::size_t size, File& file) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t end = text.find("\nEND\n");
  if (text.substr(0, 5) != "IMRT " || end == std::string_view::npos) return false;
  std::istringstream lines{std::string(text.substr(5, end - 5))};
  std::string line;
  if (!(lines >> file.count)) return false;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    Image& image = file.images.emplace_back();
    std::istringstream items(line);
    for (std::string item; items >> item;) {
      if (item.size() < 2 || item[1] != '=') return false;
      const std::string value = item.substr(2);
      const auto number = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
      switch (item[0]) {
        case 's': image.status = value; break;
        case 't': image.type = std::atoi(value.c_str()); break;
        case 'w': image.columns = number; break;
        case 'h': image.rows = number; break;
        case 'f': image.format = value; break;
        case 'r': image.refs.push_back(value); break;
        case 'z': image.sleepMicros = number; break;
        case 'e':
          if (std::sscanf(value.c_str(), "%" SCNu64 ":%" SCNu64, &image.offset, &image.length) != 2) {
            return false;
          }
          break;
        default: return false;
      }
    }
  }
  file.payloadStart = end + 5;
  return file.images.size() == file.count;
}

// IMRT data for `images`, then `tail`; an image with a payload gets an e=
// range over it.
inline std::string Write(const std::vector<Image>& images, const std::string& tail = "") {
  std::string head = "IMRT " + std::to_string(images.size()) + "\n";
  std::string payload;
  for (const Image& image : images) {
    head += "s=" + image.status + " t=" + std::to_string(image.type) + " w=" +
            std::to_string(image.columns) + " h=" + std::to_string(image.rows) + " f=" + image.format;
    if (!image.payload.empty()) {
      head += " e=" + std::to_string(payload.size()) + ":" + std::to_string(image.payload.size());
    }
    for (const std::string& ref : image.refs) head += " r=" + ref;
    if (image.sleepMicros != 0) head += " z=" + std::to_string(image.sleepMicros);
    head += "\n";
    payload += image.payload;
  }
  return head + "END\n" + payload + tail;
}

// What the test plugins count; the module exports one instance (IMRT_Stats).
struct Stats {
  std::atomic<int> calls{0};            // ImageInfo calls of every plugin and context
  std::atomic<int> loopCalls{0};        // calls of IMRT_Loop
  std::atomic<int> contextsCreated{0};
  std::atomic<int> contextsAlive{0};
  std::atomic<int> inFlight{0};         // plugin calls running now
  std::atomic<int> safeInFlight{0};     // calls of safe plugins running now
  std::atomic<int> unsafeInFlight{0};   // calls of plugins that are not safe
  std::atomic<int> maxSafeInFlight{0};  // most safe calls seen at once
  std::atomic<int> exclusionViolations{0};

  // Clears the totals; the gauges of running calls and live contexts stay.
  void Reset() {
    for (std::atomic<int>* counter :
         {&calls, &loopCalls, &contextsCreated, &maxSafeInFlight, &exclusionViolations}) {
      counter->store(0);
    }
  }
};

}  // namespace imrt
