#include "tools/imr/identify.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "tools/imr/describe.h"
#include "tools/imr/path_source.h"

namespace {

// What the command prints for one input, and whether it was recognised.
struct Outcome {
  std::string line;
  bool recognized = false;
};

class Describer {
 public:
  explicit Describer(const IdentifyOptions& options) : iOptions(options) {
    iCore.SetImageBound(options.maxImages);
    // Relative paths are made absolute once, not for every file.
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd != nullptr) iCwd = cwd;
    std::free(cwd);
  }

  Outcome Describe(const Input& input) const {
    if (!input.problem.empty()) {
      return {iOptions.json ? DescribeJson({input.path, false, {}, "imr", input.problem, {}})
                            : input.path + ": error: " + input.problem,
              false};
    }
    IdentifyResult result = Identify(input.path);
    Outcome outcome{iOptions.json ? DescribeJson(result) : DescribeLine(result), result.recognized};
    return outcome;
  }

 private:
  IdentifyResult Identify(const std::string& path) const {
    std::optional<IMR_TPluginWalk> walk;
    if (iOptions.explain) walk.emplace();
    const std::string absolute = path.empty() || path[0] == '/' || iCwd.empty() ? path : iCwd + "/" + path;
    IdentifyResult result = DescribeFile(iCore, path, ZQ_TURL::FromPath(ZQ_TString(absolute)),
                                         iOptions.level, iOptions.types);
    if (result.errorMessage.ends_with("(it is a directory)")) result.errorMessage += "; use -r to walk it";
    if (walk) result.steps = walk->Steps();
    return result;
  }

  const IdentifyOptions& iOptions;
  IMR_TCore iCore;
  std::string iCwd;
};

// Shows "imr: N files" on standard error while a long batch runs on a
// terminal.
class Progress {
 public:
  Progress() : iShown(isatty(STDERR_FILENO) != 0) {}
  void Update(std::size_t done) {
    if (!iShown || done < 100) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - iLast < std::chrono::milliseconds(200)) return;
    iLast = now;
    iDrawn = true;
    std::fprintf(stderr, "\rimr: %zu files", done);
    std::fflush(stderr);
  }
  ~Progress() {
    if (iDrawn) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool iShown;
  bool iDrawn = false;
  std::chrono::steady_clock::time_point iLast;
};

// Prints outcomes as they come, in input order; the exit status.
class Printer {
 public:
  void Print(const Outcome& outcome) {
    std::fwrite(outcome.line.data(), 1, outcome.line.size(), stdout);
    std::fputc('\n', stdout);
    iAllRecognized = iAllRecognized && outcome.recognized;
    iProgress.Update(++iPrinted);
  }
  int Status() const { return iAllRecognized ? 0 : 1; }
  std::size_t Printed() const { return iPrinted; }

 private:
  bool iAllRecognized = true;
  std::size_t iPrinted = 0;
  Progress iProgress;
};

// One thread: describe and print, file after file.
void RunInline(PathSource& source, const Describer& describer, Printer& printer) {
  while (std::optional<Input> input = source.Next()) printer.Print(describer.Describe(*input));
}

// Several threads, the calling one among them, take the inputs in chunks and
// describe them; whichever finishes the oldest chunk not yet printed prints
// it and every finished chunk after it, so that no thread waits for another
// to print and the threads meet once per chunk, not once per file.  At most a
// few chunks per thread are taken ahead of the printed ones, so memory stays
// flat whatever the number of files.
void RunThreaded(PathSource& source, const Describer& describer, Printer& printer, unsigned int jobs) {
  constexpr std::size_t kChunk = 16;
  const std::size_t window = 4 * static_cast<std::size_t>(jobs);
  std::mutex mutex;
  std::condition_variable printedMore;
  std::deque<std::optional<std::vector<Outcome>>> done;  // chunks from `printed` on
  std::size_t taken = 0;    // chunks handed out
  std::size_t printed = 0;  // chunks printed
  bool exhausted = false;
  bool printing = false;  // a thread is printing (outside the lock)

  auto work = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      printedMore.wait(lock, [&] { return exhausted || taken - printed < window; });
      std::vector<Input> inputs;
      while (!exhausted && inputs.size() < kChunk) {
        std::optional<Input> input = source.Next();
        if (input) {
          inputs.push_back(std::move(*input));
        } else {
          exhausted = true;
          printedMore.notify_all();
        }
      }
      if (inputs.empty()) return;
      const std::size_t chunk = taken++;
      done.emplace_back();
      lock.unlock();
      std::vector<Outcome> outcomes;
      outcomes.reserve(inputs.size());
      for (const Input& input : inputs) outcomes.push_back(describer.Describe(input));
      lock.lock();
      done[chunk - printed] = std::move(outcomes);
      if (printing) continue;
      printing = true;
      while (!done.empty() && done.front()) {
        std::vector<Outcome> ready = std::move(*done.front());
        done.pop_front();
        ++printed;
        lock.unlock();
        for (const Outcome& outcome : ready) printer.Print(outcome);
        lock.lock();
        printedMore.notify_all();
      }
      printing = false;
    }
  };
  std::vector<std::thread> workers;
  for (unsigned int j = 1; j < jobs; ++j) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
}

}  // namespace

int RunIdentify(const IdentifyOptions& options) {
  if (options.noCache || options.explain) {
    IMR_TCore::sReadFromCache = false;
    IMR_TCore::sWriteToCache = false;
  }
  PathSource source(options.paths, options.filesFrom, options.recursive);
  const Describer describer(options);
  Printer printer;
  unsigned int jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  // Named files only: no more threads than files (one file is described
  // inline, without starting a thread).
  if (!options.recursive && options.filesFrom.empty()) {
    jobs = static_cast<unsigned int>(std::clamp<std::size_t>(options.paths.size(), 1, jobs));
  }
  if (jobs == 1) {
    RunInline(source, describer, printer);
  } else {
    RunThreaded(source, describer, printer, jobs);
  }
  std::fflush(stdout);
  if (!source.ListError().empty()) {
    std::cerr << "imr: --files-from " << options.filesFrom << ": " << source.ListError() << "\n";
    return 2;
  }
  if (printer.Printed() == 0) {
    std::cerr << "imr: --files-from " << options.filesFrom << ": holds no paths\n";
    return 2;
  }
  return printer.Status();
}
