#include "tools/imr/path_source.h"

#include <algorithm>
#include <iostream>

namespace fs = std::filesystem;

PathSource::PathSource(std::vector<std::string> paths, std::string list, bool recursive)
    : iPaths(std::move(paths)), iList(std::move(list)), iRecursive(recursive) {}

std::optional<std::string> PathSource::NextNamed() {
  if (iNextPath < iPaths.size()) return iPaths[iNextPath++];
  if (iList.empty()) return std::nullopt;
  if (iListStream == nullptr && iListError.empty()) {
    if (iList == "-") {
      iListStream = &std::cin;
    } else {
      iListFile = std::make_unique<std::ifstream>(iList);
      if (*iListFile) iListStream = iListFile.get();
      else iListError = "cannot be read";
    }
  }
  if (iListStream == nullptr) return std::nullopt;
  for (std::string line; std::getline(*iListStream, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) return line;
  }
  iListStream = nullptr;
  iList.clear();
  return std::nullopt;
}

std::string PathSource::Enter(const std::string& path) {
  std::error_code error;
  Folder folder{path, {}, 0};
  for (fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    // The entry's type comes with it (no stat), but for links: a link to a
    // file counts as the file, a link to a folder is not followed.
    std::error_code kind;
    const bool link = it->is_symlink(kind);
    // A folder's files sort as "name/...": after "name-x", before "name0".
    if (!link && it->is_directory(kind)) {
      folder.names.push_back(it->path().filename().string() + "/");
    } else if (it->is_regular_file(kind)) {
      folder.names.push_back(it->path().filename().string());
    }
  }
  if (error) return "cannot walk the directory: " + error.message();
  std::sort(folder.names.begin(), folder.names.end());
  iFolders.push_back(std::move(folder));
  return "";
}

std::optional<Input> PathSource::Next() {
  for (;;) {
    while (!iFolders.empty()) {
      Folder& folder = iFolders.back();
      if (folder.next == folder.names.size()) {
        iFolders.pop_back();
        continue;
      }
      std::string& name = folder.names[folder.next++];
      const bool subfolder = name.back() == '/';
      if (subfolder) name.pop_back();
      std::string entry = (fs::path(folder.path) / name).string();
      std::string().swap(name);  // given out: its memory goes back
      if (!subfolder) return Input{std::move(entry), ""};
      std::string problem = Enter(entry);
      if (!problem.empty()) return Input{std::move(entry), std::move(problem)};
    }
    std::optional<std::string> named = NextNamed();
    if (!named) return std::nullopt;
    // Without -r a folder is left to the describing, which says what it is.
    std::error_code error;
    if (!iRecursive || !fs::is_directory(*named, error)) return Input{std::move(*named), ""};
    std::string problem = Enter(*named);
    if (!problem.empty()) return Input{std::move(*named), std::move(problem)};
  }
}
