#include "pxc_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

namespace pxctest {

namespace {

// Initialises the libraries once, before any test.
class Initialisation : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXCBASE__()); }
};
const ::testing::Environment* const kInitialisation =
    ::testing::AddGlobalTestEnvironment(new Initialisation);

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/pxctest.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder: " + std::string(strerror(errno)));
  }
  iPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Restore permissions that a test took away, so everything can go.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(iPath, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(iPath, ignored);
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
  }
  return bytes;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = nanoseconds;
  times[1] = times[0];
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    throw std::runtime_error("cannot set the time of " + path);
  }
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : iName(name) {
  if (const char* old = std::getenv(name)) iOld = old;
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (iOld) {
    ::setenv(iName.c_str(), iOld->c_str(), 1);
  } else {
    ::unsetenv(iName.c_str());
  }
}

LogCapture::LogCapture(const TempDir& dir, const std::string& name)
    : iPath(dir / name), iEnv("ZQMESG_LOG_FILE", dir / name) {}

std::size_t Count(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

std::string Packed(const ZQ_IPackable& object) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  out.Insert(object);
  return std::string(memory.View());
}

ZQ_TObject* Unpacked(const std::string& bytes) {
  ZQ_TMemoryStream memory(bytes.data(), bytes.size());
  ZQ_TDataStream in(memory);
  return in.Extract(true);
}

ScopedOverlay::ScopedOverlay(const TempDir& dir, const std::string& json, const std::string& name)
    : iPath(dir / name) {
  WriteFile(iPath, json);
  iEnv.emplace("IMR_CONFIG", iPath);
  PXC_CfsReload();
}

ScopedOverlay::~ScopedOverlay() {
  iEnv.reset();
  PXC_CfsReload();
}

}  // namespace pxctest
