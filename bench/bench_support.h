// What the comparison benchmarks share: the files of a folder, the passes of
// the file-system floor and of libmagic over them, and the best time of each
// method over rounds that interleave the methods.
#pragma once

#include <magic.h>

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace bench {

// The regular files of `dir`, sorted.  With `recursive`, those of the whole
// tree that are not links, past folders that cannot be read; otherwise those
// directly in `dir`, links to regular files included.
std::vector<std::string> RegularFiles(const std::string& dir, bool recursive);

// The floor: stat + open + pread of 4 KiB + close, file by file; each call
// that fails adds one to `failures`.
void FloorPass(const std::vector<std::string>& paths, std::size_t& failures);

// A libmagic cookie for MAGIC_MIME over the default database, or null once
// the reason is on standard error.
magic_t OpenLibmagic();
// magic_file file by file; each file without an answer adds one to `failures`.
void LibmagicPass(magic_t cookie, const std::vector<std::string>& paths, std::size_t& failures);

// How long `pass` takes, in seconds.
double Seconds(const std::function<void()>& pass);

// One way over the files and its best time so far.
struct Method {
  const char* key;  // the name --only takes
  std::function<void()> pass;
  const char* label = nullptr;  // a longer name for the table, if any
  double best = std::numeric_limits<double>::infinity();

  bool Ran() const { return best < std::numeric_limits<double>::infinity(); }
};

// `rounds` rounds, each running every method once (only the one keyed `only`
// when that is not empty); each method keeps its best time.
void BestOfRounds(std::vector<Method>& methods, int rounds, const std::string& only = "");

}  // namespace bench
