// The files `imr identify` describes, produced one at a time in the order
// they are printed: the paths given, then those of a list file (read as it
// goes), with folders walked depth first (with -r), each folder's entries
// in byte order of their paths.  Only the folders on the way down are held,
// so a walk over any number of files takes the memory of its widest folders.
#pragma once

#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A path to describe, or a line to print about it instead.
struct Input {
  std::string path;
  std::string problem;  // set when the path is not to be described
};

class PathSource {
 public:
  // `list` is a file of paths, one per line ("-": standard input), or empty.
  PathSource(std::vector<std::string> paths, std::string list, bool recursive);

  // The next input, or nothing once all are given.
  std::optional<Input> Next();
  // Why the list file could not be read, once Next() has tried.
  const std::string& ListError() const { return iListError; }

 private:
  struct Folder {
    std::string path;
    // The names of its files and folders ("name/"), in the order to give
    // them: only names, so that a wide folder costs little more than them.
    std::vector<std::string> names;
    std::size_t next = 0;
  };
  std::optional<std::string> NextNamed();
  // Adds `path`'s entries to the walk, or returns the problem with it.
  std::string Enter(const std::string& path);

  std::vector<std::string> iPaths;
  std::size_t iNextPath = 0;
  std::string iList;
  std::unique_ptr<std::ifstream> iListFile;
  std::istream* iListStream = nullptr;
  std::string iListError;
  bool iRecursive;
  std::vector<Folder> iFolders;  // the walk's folders, outermost first
};
