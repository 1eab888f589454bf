#include "plugin_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "registry.h"

namespace tvx::testing {

std::vector<std::string> Deliverables() {
  std::vector<std::string> names;
  for (const DeliverableInfo* info : AllDeliverables())
    names.emplace_back(info->name);
  return names;
}

std::string ProgramFor(std::string_view classWord) {
  for (const DeliverableInfo* info : AllDeliverables()) {
    if (info->classWord == classWord) return std::string(info->name);
  }
  ADD_FAILURE() << "no deliverable decodes the class " << classWord;
  return {};
}

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tvx-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may have made parts read-only; give them back before removing.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string PluginPath(std::string_view deliverable) {
  const fs::path path = fs::path(TVX_BIN_DIR) / (std::string(deliverable) + ".tvx");
  return fs::exists(path) ? path.string() : std::string();
}

std::string CopyPlugin(std::string_view deliverable, const std::string& directory) {
  const std::string source = PluginPath(deliverable);
  if (source.empty()) throw std::runtime_error("not built: " + std::string(deliverable));
  const fs::path target = fs::path(directory) / (std::string(deliverable) + ".tvx");
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  return target.string();
}

namespace {

ChildOptions ChildOptionsOf(const ProcessOptions& options) {
  ChildOptions child;
  child.workingDirectory = options.workingDirectory;
  child.addressSpaceLimit = options.addressSpaceLimit;
  child.fileSizeLimit = options.fileSizeLimit;
  child.withoutRoot = options.withoutRoot;
  child.emptyEnvironment = true;
  return child;
}

}  // namespace

PluginProcess::PluginProcess(const std::string& program, const ProcessOptions& options)
    : child_(program, ChildOptionsOf(options)) {
  if (!child_.started())
    throw std::runtime_error("cannot start " + program + ": " + child_.error());
}

void PluginProcess::CloseOutput() {
  // The pipe's only reading end becomes /dev/null (the number stays this object's to close).
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null < 0 || dup2(null, child_.output()) < 0) throw std::runtime_error("cannot close");
  close(null);
}

std::optional<std::string> PluginProcess::Read(std::size_t n, int timeoutMs) {
  std::string data = child_.Read(n, timeoutMs);
  if (data.size() != n) return std::nullopt;
  return data;
}

}  // namespace tvx::testing
