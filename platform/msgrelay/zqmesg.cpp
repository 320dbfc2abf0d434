#include "msgrelay/zqmesg.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace {

// The output descriptor: the log file when ZQMESG_LOG_FILE names one that can
// be opened, else standard error.  The variable is read at every message so a
// host may redirect the output.  Each file is opened once and stays open,
// because another thread may still be writing to it; a host that switches
// back and forth between files reuses their descriptors.
int Output() {
  static std::mutex mutex;
  using Files = std::map<std::string, int, std::less<>>;
  static Files* const opened = new Files;  // never destroyed: messages may come during exit
  const char* path = std::getenv("ZQMESG_LOG_FILE");
  if (path == nullptr || *path == '\0') return STDERR_FILENO;
  std::lock_guard lock(mutex);
  auto known = opened->find(std::string_view(path));
  if (known != opened->end()) return known->second;
  int file = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (file < 0) return STDERR_FILENO;
  opened->emplace(path, file);
  return file;
}

void Emit(const char* format, va_list args) {
  char small[1024];
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return;
  std::string large;
  const char* text = small;
  if (static_cast<std::size_t>(needed) >= sizeof small) {
    large.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(large.data(), large.size(), format, args);
    text = large.c_str();
  }
  std::size_t left = static_cast<std::size_t>(needed);
  while (left > 0) {
    ssize_t written = ::write(Output(), text, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace

int ZQMESG_CheckTrace(unsigned int mask, unsigned int level) { return (mask & level) != 0; }

void ZQMESG_Trace(unsigned int mask, unsigned int level, const char* format, ...) {
  if ((mask & level) == 0) return;
  va_list args;
  va_start(args, format);
  Emit(format, args);
  va_end(args);
}

void ZQMESG_Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit(format, args);
  va_end(args);
}
