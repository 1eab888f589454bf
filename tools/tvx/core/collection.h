// The inputs of a scan: the paths given, with each folder walked recursively, in a fixed order.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "files.h"

namespace tvx::core {

// The files named by PATH... in order, one at a time: a file as it is; a folder's files and
// subfolders in the byte order of their names (UTF-16 units on Windows), each subfolder walked
// where it comes; "-" (standard input) as it is. Symbolic links inside a folder are passed over
// unless followed (where the system tells them: the Windows build walks them); a link named as a
// PATH is always followed. A folder that is being walked already (reached again through a link:
// a loop) is not walked again. Devices, pipes and sockets inside a folder are passed over.
class Collection {
 public:
  // An entry that cannot be read, and why: "No such file or directory", "Permission denied",
  // "not a regular file", "a symbolic link loop".
  using Problem = std::function<void(const std::string& path, const IoError& why)>;

  struct File {
    std::string path;    // as given, or as walked ("-" for standard input)
    bool named = false;  // given as a PATH, not found in a folder
  };

  Collection(std::vector<std::string> paths, bool follow);

  // The next file, or nothing at the end. Each entry passed on the way that cannot be read is
  // handed to `problem` first, in order.
  std::optional<File> Next(const Problem& problem);

  // True when the files may come from more than one place: several PATHs, or a folder.
  static bool Several(const std::vector<std::string>& paths);

 private:
  struct Folder {
    std::filesystem::path path;
    std::vector<std::filesystem::directory_entry> entries;  // in order
    std::size_t next = 0;
  };

  bool Enter(const std::filesystem::path& path, const Problem& problem);
  bool IsBeingWalked(const std::filesystem::path& path) const;

  std::vector<std::string> paths_;
  std::size_t nextPath_ = 0;
  bool follow_;
  std::vector<Folder> folders_;  // the folder being walked and those it lies in
};

}  // namespace tvx::core
