#include "tests/support/test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" +
                        program_invocation_short_name + ".XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder: " + std::string(strerror(errno)));
  }
  iPath = pattern;
}

TempDir::~TempDir() {
  namespace fs = std::filesystem;
  std::error_code ignored;
  // Gives back permissions that a test took away, so that everything can go;
  // links are left alone, their targets may lie outside the folder.
  for (fs::recursive_directory_iterator it(iPath, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_symlink(ignored)) continue;
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(iPath, ignored);
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

std::size_t Count(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
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

LogCapture::LogCapture()
    : iOwnDir(std::make_unique<TempDir>()),
      iPath(*iOwnDir / "log.txt"),
      iEnv("ZQMESG_LOG_FILE", iPath) {}

LogCapture::LogCapture(const TempDir& dir, const std::string& name)
    : iPath(dir / name), iEnv("ZQMESG_LOG_FILE", iPath) {}

}  // namespace testsupport
