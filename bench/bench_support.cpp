#include "bench_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace bench {

std::vector<std::string> RegularFiles(const std::string& dir, bool recursive) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (!recursive) it.disable_recursion_pending();
    if (it->is_regular_file(error) && (!recursive || !it->is_symlink(error))) {
      paths.push_back(it->path().string());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

void FloorPass(const std::vector<std::string>& paths, std::size_t& failures) {
  char block[4096];
  for (const std::string& path : paths) {
    struct stat facts;
    if (::stat(path.c_str(), &facts) != 0) ++failures;
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
      ++failures;
      continue;
    }
    if (::pread(file, block, sizeof block, 0) < 0) ++failures;
    ::close(file);
  }
}

magic_t OpenLibmagic() {
  magic_t cookie = magic_open(MAGIC_MIME);
  if (cookie == nullptr || magic_load(cookie, nullptr) != 0) {
    std::fprintf(stderr, "libmagic: %s\n", cookie ? magic_error(cookie) : "cannot open");
    if (cookie != nullptr) magic_close(cookie);
    return nullptr;
  }
  return cookie;
}

void LibmagicPass(magic_t cookie, const std::vector<std::string>& paths, std::size_t& failures) {
  for (const std::string& path : paths) {
    if (magic_file(cookie, path.c_str()) == nullptr) ++failures;
  }
}

double Seconds(const std::function<void()>& pass) {
  const auto start = std::chrono::steady_clock::now();
  pass();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BestOfRounds(std::vector<Method>& methods, int rounds, const std::string& only) {
  for (int round = 0; round < rounds; ++round) {
    for (Method& method : methods) {
      if (!only.empty() && only != method.key) continue;
      method.best = std::min(method.best, Seconds(method.pass));
    }
  }
}

}  // namespace bench
