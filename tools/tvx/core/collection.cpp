#include "collection.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace tvx::core {

namespace fs = std::filesystem;

namespace {

IoError FromErrorCode(const std::error_code& error) {
  return {error.category() == std::generic_category() || error.category() == std::system_category()
              ? error.value()
              : 0,
          error.message()};
}

}  // namespace

bool Collection::Several(const std::vector<std::string>& paths) {
  std::error_code error;
  return paths.size() > 1 ||
         (paths.size() == 1 && fs::is_directory(FileSystemPath(paths.front()), error));
}

Collection::Collection(std::vector<std::string> paths, bool follow)
    : paths_(std::move(paths)), follow_(follow) {}

bool Collection::Enter(const fs::path& path, const Problem& problem) {
  Folder folder{path, {}, 0};
  std::error_code error;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
    folder.entries.push_back(*it);
  if (error) {
    problem(PathText(path), FromErrorCode(error));
    return false;
  }
  std::sort(folder.entries.begin(), folder.entries.end(), [](const auto& a, const auto& b) {
    return a.path().filename().native() < b.path().filename().native();
  });
  folders_.push_back(std::move(folder));
  return true;
}

bool Collection::IsBeingWalked(const fs::path& path) const {
  return std::any_of(folders_.begin(), folders_.end(), [&path](const Folder& folder) {
    std::error_code error;
    return fs::equivalent(path, folder.path, error) && !error;
  });
}

std::optional<Collection::File> Collection::Next(const Problem& problem) {
  for (;;) {
    if (folders_.empty()) {
      if (nextPath_ == paths_.size()) return std::nullopt;
      const std::string& path = paths_[nextPath_++];
      if (path == "-") return File{path, true};
      std::error_code error;
      const fs::file_status status = fs::status(FileSystemPath(path), error);
      if (error) {
        problem(path, FromErrorCode(error));
      } else if (fs::is_directory(status)) {
        Enter(FileSystemPath(path), problem);
      } else if (fs::is_regular_file(status)) {
        return File{path, true};
      } else {
        problem(path, {0, "not a regular file"});
      }
      continue;
    }
    Folder& folder = folders_.back();
    if (folder.next == folder.entries.size()) {
      folders_.pop_back();
      continue;
    }
    const fs::directory_entry& entry = folder.entries[folder.next++];
    std::error_code error;
    if (entry.is_symlink(error) && !follow_) continue;
    const fs::file_status status = entry.status(error);  // what a link leads to
    const std::string text = PathText(entry.path());
    if (error) {
      problem(text, FromErrorCode(error));
    } else if (fs::is_directory(status)) {
      // Not only a followed link: a junction on Windows, a bind mount elsewhere.
      if (IsBeingWalked(entry.path())) {
        problem(text, {ELOOP, "a symbolic link loop"});
      } else {
        const fs::path path = entry.path();  // Enter may move the folder the entry lies in
        Enter(path, problem);
      }
    } else if (fs::is_regular_file(status)) {
      return File{text, false};
    }
  }
}

}  // namespace tvx::core
