// Faults met around the description of real files, each giving the
// description still, its reason logged once, and nothing half-written:
// extended attributes that cannot be written (permissions, a read-only or
// full file system, one without user attributes, a value over its limit),
// a record that cannot be removed, modules missing or failing to load,
// configuration files half-written or not files at all, and files deleted
// between listing and reading.
//
// The file system's refusals are those of the attribute calls, which this
// program puts in front of the C library's.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/system/system_samples.h"

namespace {

// The refusal the attribute calls that change a file give, once `allowed`
// writes have gone through; none while `error` is 0.  Removals are refused
// too when `removals` says so.
struct AttributeFault {
  int error = 0;
  int allowed = 0;
  bool removals = false;
};
AttributeFault gFault;

bool Refused(bool removal) {
  if (gFault.error == 0 || (removal && !gFault.removals)) return false;
  if (gFault.allowed > 0) {
    --gFault.allowed;
    return false;
  }
  errno = gFault.error;
  return true;
}

}  // namespace

extern "C" int setxattr(const char* path, const char* name, const void* value, size_t size,
                        int flags) {
  using Call = int (*)(const char*, const char*, const void*, size_t, int);
  static const auto next = reinterpret_cast<Call>(::dlsym(RTLD_NEXT, "setxattr"));
  return Refused(false) ? -1 : next(path, name, value, size, flags);
}

extern "C" int removexattr(const char* path, const char* name) {
  using Call = int (*)(const char*, const char*);
  static const auto next = reinterpret_cast<Call>(::dlsym(RTLD_NEXT, "removexattr"));
  return Refused(true) ? -1 : next(path, name);
}

namespace systemtest {
namespace {

// The library's attribute names on `path`.
std::vector<std::string> Attributes(const std::string& path) {
  char names[4096];
  const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
  std::vector<std::string> found;
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    if (std::strncmp(names + at, "user.imr.", 9) == 0) found.emplace_back(names + at);
  }
  return found;
}

class Faults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StartLibrary();
    sDir = new testsupport::TempDir;
    sSamples = new std::vector<Sample>;
    for (const Sample& sample : CopySamples(*sDir)) {
      if (sSamples->size() < 24 &&
          Filled(UncachedCore(), sample.url, PXC_FL_FORMAT).Entries() > 0) {
        sSamples->push_back(sample);
      }
    }
  }
  static void TearDownTestSuite() {
    delete sSamples;
    delete sDir;
  }
  void TearDown() override { gFault = AttributeFault(); }

  static void Forget(const Sample& sample) {
    for (const std::string& name : Attributes(sample.url.Path().Std())) {
      ::removexattr(sample.url.Path().Narrow(), name.c_str());
    }
  }

  // Every sample described by a core that caches, as an uncached one does.
  static void DescribedAsWithoutCache(const IMR_TCore& cached) {
    for (const Sample& sample : *sSamples) {
      SCOPED_TRACE(sample.name);
      EXPECT_EQ(Printed(Filled(cached, sample.url, PXC_FL_DEPENDENCIES)),
                Printed(Filled(UncachedCore(), sample.url, PXC_FL_DEPENDENCIES)));
    }
  }

  static testsupport::TempDir* sDir;
  static std::vector<Sample>* sSamples;
};
testsupport::TempDir* Faults::sDir = nullptr;
std::vector<Sample>* Faults::sSamples = nullptr;

// Records that cannot be written, from the first key or part-way through:
// no key is left behind, and each reason is logged for one file only.
TEST_F(Faults, RecordsThatCannotBeWrittenLeaveNothingAndAreLoggedOnce) {
  const AttributeFault faults[] = {{EACCES, 0, true},  {EROFS, 0, true},   {ENOTSUP, 0, false},
                                   {E2BIG, 1, false}, {ENOSPC, 2, false}};
  const IMR_TCore cached;
  for (const AttributeFault& fault : faults) {
    SCOPED_TRACE(std::strerror(fault.error));
    testsupport::LogCapture log;
    for (const Sample& sample : *sSamples) {
      Forget(sample);
      gFault = fault;
      EXPECT_EQ(Printed(Filled(cached, sample.url, PXC_FL_DEPENDENCIES)),
                Printed(Filled(UncachedCore(), sample.url, PXC_FL_DEPENDENCIES)))
          << sample.name;
      gFault = AttributeFault();
      EXPECT_EQ(Attributes(sample.url.Path().Std()), std::vector<std::string>()) << sample.name;
    }
    EXPECT_EQ(testsupport::Count(log.Text(), "IMR_CACHE: Cannot write image metadata"), 1u)
        << log.Text();
    EXPECT_NE(log.Text().find(std::strerror(fault.error)), std::string::npos) << log.Text();
    EXPECT_EQ(testsupport::Count(log.Text(), "\n"), 1u) << log.Text();
  }
}

// A user who may read the files but not change their metadata meets records
// that no longer hold: the files are described afresh, and the one reason
// (records can be neither removed nor written) is logged once.
TEST_F(Faults, StaleRecordsThatCannotBeChangedAreLoggedOnce) {
  const IMR_TCore cached;
  for (const Sample& sample : *sSamples) Forget(sample);
  DescribedAsWithoutCache(cached);  // writes the records
  for (const Sample& sample : *sSamples) {
    struct stat facts {};
    ASSERT_EQ(::stat(sample.url.Path().Narrow(), &facts), 0);
    testsupport::SetModified(sample.url.Path().Std(), facts.st_mtim.tv_sec + 1);
  }
  testsupport::LogCapture log;
  gFault = {EPERM, 0, true};
  DescribedAsWithoutCache(cached);
  EXPECT_EQ(testsupport::Count(log.Text(), "\n"), 1u) << log.Text();
  EXPECT_NE(log.Text().find("Cannot remove the unusable record"), std::string::npos) << log.Text();
  EXPECT_NE(log.Text().find(std::strerror(EPERM)), std::string::npos) << log.Text();
}

// The command, as a user runs it, with a configuration or modules that fail.
struct CommandRun {
  std::string out;
  std::string err;
  int status = -1;
};

CommandRun Imr(const std::string& environment, const std::string& arguments,
        const testsupport::TempDir& scratch) {
  const std::string errors = scratch / "stderr";
  const std::string command = "IMR_PLUGIN_PATH=" + scratch.Path() + ":" IMR_MODULE_DIR " " +
                              environment + " " IMR_BINARY " " + arguments + " 2>" + errors;
  CommandRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    run.out.append(chunk, got);
  }
  run.status = pclose(pipe);
  run.err = testsupport::ReadFile(errors);
  return run;
}

// Output lines by path.
std::map<std::string, std::string> Lines(const std::string& out) {
  std::map<std::string, std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = out.substr(start, end - start);
    lines[line.substr(0, line.find(": "))] = line;
  }
  return lines;
}

TEST_F(Faults, BrokenConfigurationsAndModulesStillDescribeEveryFile) {
  const testsupport::TempDir scratch;
  const testsupport::TempDir files;
  CopySamples(files);
  const std::string walk = "identify --no-cache -j 2 -r " + files.Path();
  const CommandRun sound = Imr("", walk, scratch);
  ASSERT_EQ(sound.err, "");
  const std::map<std::string, std::string> expected = Lines(sound.out);

  const std::string halfWritten = scratch / "half.json";
  testsupport::WriteFile(halfWritten, R"({"Resources": {"Modules": {"IMR": {"Strategy": 3,)");
  const std::string fifo = scratch / "fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* what;
    std::string config;
    std::string reason;
  } configurations[] = {
      {"half-written", halfWritten, "IMR_CONFIG file " + halfWritten + ", line 1, column"},
      {"a directory", scratch.Path(), " cannot be read (it is a directory)"},
      {"a FIFO", fifo, "IMR_CONFIG file " + fifo + " cannot be read (not a regular file)"},
      {"missing", scratch / "none.json", "cannot be read (No such file or directory)"},
  };
  for (const auto& configuration : configurations) {
    SCOPED_TRACE(configuration.what);
    const CommandRun run = Imr("IMR_CONFIG=" + configuration.config, walk, scratch);
    EXPECT_EQ(run.out, sound.out);
    EXPECT_EQ(testsupport::Count(run.err, "\n"), 1u) << run.err;
    EXPECT_NE(run.err.find(configuration.reason), std::string::npos) << run.err;
  }

  // The web family's module is missing and the layered family's is not a
  // library: their plugins are named after modules that cannot be loaded.
  testsupport::WriteFile(scratch / "imr_broken.so", "not a library");
  const ZQ_TAny plugins =
      PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/PXC/Plugins/IMR_TPlugin"));
  std::string moved;
  for (const ZQ_TDict::Entry& plugin : *plugins.DynamicCast<ZQ_TDict>()) {
    const std::string module = plugin.value.DynamicCast<ZQ_TString>()->Std();
    const char* instead = module == "imr_web.so"       ? "imr_missing.so"
                          : module == "imr_layered.so" ? "imr_broken.so"
                                                       : nullptr;
    if (instead == nullptr) continue;
    moved += (moved.empty() ? "\"" : ", \"") + plugin.key.Std() + "\": \"" + instead + "\"";
  }
  const std::string modules = scratch / "modules.json";
  const std::string overlay = R"({"Resources": {"Modules": {"PXC": {"Plugins": {"IMR_TPlugin": {)";
  testsupport::WriteFile(modules, overlay + moved + "}}}}}}");
  const CommandRun run = Imr("IMR_CONFIG=" + modules, walk, scratch);
  EXPECT_EQ(testsupport::Count(run.err, "\n"), 2u) << run.err;
  EXPECT_EQ(testsupport::Count(run.err, "the module imr_missing.so for IMR_TPlugin "), 1u)
      << run.err;
  EXPECT_EQ(testsupport::Count(run.err, "Cannot load the module " + scratch / "imr_broken.so"), 1u)
      << run.err;
  // Their files keep the format the magic entries give them; the others are
  // described as before.
  const std::map<std::string, std::string> lines = Lines(run.out);
  EXPECT_EQ(lines.size(), expected.size());
  std::size_t same = 0;
  for (const auto& [path, line] : lines) {
    SCOPED_TRACE(path);
    const std::string& before = expected.at(path);
    const std::string format = before.substr(0, before.find(' ', path.size() + 2));
    EXPECT_EQ(line.substr(0, format.size()), format);
    same += line == before;
  }
  EXPECT_GT(same, lines.size() * 2 / 3);
}

// A file listed, then deleted before it is read: its line names it and the
// reason, the others are described, and the command says it failed.
TEST_F(Faults, FilesDeletedAfterListingAreReportedAndTheRestDescribed) {
  const testsupport::TempDir scratch;
  const std::string list = scratch / "list";
  std::string paths;
  for (const Sample& sample : *sSamples) paths += sample.url.Path().Std() + "\n";
  const std::string gone = scratch / "gone.png";
  testsupport::WriteFile(gone, testsupport::ReadFile(sSamples->front().url.Path().Std()));
  testsupport::WriteFile(list, gone + "\n" + paths);
  const CommandRun sound = Imr("", "identify --no-cache --files-from " + list, scratch);
  ASSERT_EQ(::unlink(gone.c_str()), 0);
  const CommandRun run = Imr("", "identify --no-cache --files-from " + list, scratch);
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), sound.out.substr(sound.out.find('\n') + 1));
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            gone + ": error: Cannot open " + gone + " (No such file or directory)");
  EXPECT_NE(run.status, 0);
}

}  // namespace
}  // namespace systemtest
