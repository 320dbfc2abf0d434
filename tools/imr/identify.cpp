#include "tools/imr/identify.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "tools/imr/describe.h"

namespace {

namespace fs = std::filesystem;

// A path to describe, or a line to print about it instead.
struct Input {
  std::string path;
  std::string problem;  // set when the path is not to be described
};

void AddPath(const std::string& path, bool recursive, std::vector<Input>& inputs) {
  std::error_code error;
  if (!fs::is_directory(path, error)) {
    inputs.push_back({path, ""});
    return;
  }
  if (!recursive) {
    inputs.push_back({path, "is a directory (use -r to walk it)"});
    return;
  }
  std::vector<std::string> files;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  for (std::string& file : files) inputs.push_back({std::move(file), ""});
  if (error) inputs.push_back({path, "cannot walk the directory: " + error.message()});
}

bool ReadPathList(const std::string& source, std::vector<std::string>& paths) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (source != "-") {
    file.open(source);
    if (!file) return false;
    in = &file;
  }
  for (std::string line; std::getline(*in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) paths.push_back(line);
  }
  return true;
}

// Shows "imr: done/total files" on standard error while a long batch runs on
// a terminal.
class Progress {
 public:
  explicit Progress(std::size_t total) : iTotal(total), iShown(total > 100 && isatty(STDERR_FILENO)) {}
  void Update(std::size_t done) {
    if (!iShown) return;
    auto now = std::chrono::steady_clock::now();
    if (now - iLast < std::chrono::milliseconds(200)) return;
    iLast = now;
    std::fprintf(stderr, "\rimr: %zu/%zu files", done, iTotal);
    std::fflush(stderr);
  }
  ~Progress() {
    if (iShown) std::fprintf(stderr, "\r\033[K");
  }

 private:
  std::size_t iTotal;
  bool iShown;
  std::chrono::steady_clock::time_point iLast;
};

}  // namespace

int RunIdentify(const IdentifyOptions& options) {
  std::vector<std::string> paths = options.paths;
  if (!options.filesFrom.empty() && !ReadPathList(options.filesFrom, paths)) {
    std::cerr << "imr: cannot read the list of files " << options.filesFrom << "\n";
    return 2;
  }
  std::vector<Input> inputs;
  for (const std::string& path : paths) AddPath(path, options.recursive, inputs);

  if (options.noCache) {
    IMR_TCore::sReadFromCache = false;
    IMR_TCore::sWriteToCache = false;
  }
  const IMR_TCore core;
  const std::size_t count = inputs.size();
  std::vector<std::optional<std::string>> lines(count);
  std::vector<char> recognized(count, 0);
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};

  auto work = [&]() {
    for (std::size_t i = next++; i < count; i = next++) {
      std::string line;
      bool ok = false;
      if (!inputs[i].problem.empty()) {
        line = options.json ? DescribeJson({inputs[i].path, false, {}, "imr", inputs[i].problem})
                            : inputs[i].path + ": error: " + inputs[i].problem;
      } else {
        IdentifyResult result = DescribeFile(core, inputs[i].path, options.level, options.types);
        ok = result.recognized;
        line = options.json ? DescribeJson(result) : DescribeLine(result);
      }
      std::lock_guard lock(mutex);
      lines[i] = std::move(line);
      recognized[i] = ok;
      ready.notify_one();
    }
  };
  unsigned int jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned int>(std::min<std::size_t>(jobs, std::max<std::size_t>(count, 1)));
  std::vector<std::thread> workers;
  for (unsigned int j = 0; j < jobs; ++j) workers.emplace_back(work);

  bool allRecognized = true;
  {
    Progress progress(count);
    for (std::size_t printed = 0; printed < count; ++printed) {
      std::string line;
      {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return lines[printed].has_value(); });
        line = std::move(*lines[printed]);
        lines[printed].reset();
        allRecognized = allRecognized && recognized[printed];
      }
      std::cout << line << '\n';
      progress.Update(printed + 1);
    }
  }
  for (std::thread& worker : workers) worker.join();
  std::cout.flush();
  return allRecognized ? 0 : 1;
}
