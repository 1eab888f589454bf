#include "controls.h"

#include "registry.h"
#include "suggest.h"

namespace tvx::core {

const std::vector<const DeliverableInfo*>& Controls() {
  return AllDeliverables();
}

const DeliverableInfo* FindControl(std::string_view name) {
  for (const DeliverableInfo* info : Controls()) {
    if (SameWord(name, info->name) || SameWord(name, info->classWord) ||
        HasClassName(info->classNames, name)) {
      return info;
    }
  }
  return nullptr;
}

std::string_view SuggestControl(std::string_view name) {
  std::vector<std::string_view> names;
  for (const DeliverableInfo* info : Controls()) {
    names.push_back(info->name);
    names.push_back(info->classWord);
    std::string_view classNames = info->classNames;
    while (!classNames.empty()) {
      const std::size_t blank = classNames.find(' ');
      names.push_back(classNames.substr(0, blank));
      classNames.remove_prefix(blank == std::string_view::npos ? classNames.size() : blank + 1);
    }
  }
  // A plug-in program's file name ("SERLINK.SerialLink.tvx") is its deliverable's name.
  for (const std::string_view extension : {".tvx", ".exe"}) {
    if (name.size() > extension.size() &&
        SameWord(name.substr(name.size() - extension.size()), extension)) {
      if (const DeliverableInfo* info =
              FindControl(name.substr(0, name.size() - extension.size()))) {
        return info->name;
      }
    }
  }
  return Closest(name, names);
}

std::unique_ptr<Decoder> NewDecoder(const DeliverableInfo& control) {
  return FindDecoder(control.name);
}

Decoder& Decoders::For(const DeliverableInfo& control) {
  std::unique_ptr<Decoder>& decoder = made_[control.name];
  if (!decoder) decoder = NewDecoder(control);
  return *decoder;
}

ClassTable::ClassTable() {
  for (const DeliverableInfo* info : Controls()) {
    std::string_view names = info->classNames;
    while (!names.empty()) {
      const std::size_t blank = names.find(' ');
      declared_.push_back({std::string(names.substr(0, blank)), info});
      names.remove_prefix(blank == std::string_view::npos ? names.size() : blank + 1);
    }
  }
}

ClassTable::Error ClassTable::Add(std::string_view nameEqualsControl) {
  const std::size_t equals = nameEqualsControl.find('=');
  if (equals == std::string_view::npos || equals == 0) return Error::kNotNameEqualsControl;
  const DeliverableInfo* control = FindControl(nameEqualsControl.substr(equals + 1));
  if (control == nullptr) return Error::kUnknownControl;
  Add(std::string(nameEqualsControl.substr(0, equals)), *control);
  return Error::kNone;
}

void ClassTable::Add(std::string name, const DeliverableInfo& control) {
  added_.push_back({std::move(name), &control});
}

const DeliverableInfo* ClassTable::Find(std::string_view className) const {
  for (const std::vector<Entry>* entries : {&added_, &declared_}) {
    for (const Entry& e : *entries) {
      if (SameWord(e.name, className)) return e.control;
    }
  }
  return nullptr;
}

std::string_view ClassTable::FirstClassName(const DeliverableInfo& control) {
  const std::string_view names = control.classNames;
  return names.empty() ? control.classWord : names.substr(0, names.find(' '));
}

}  // namespace tvx::core
