// The controls tvx knows: the deliverables of the tree, each with its decoder, and the class
// names by which a compiled program's records name their control.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"

namespace tvx::core {

// Every deliverable of the tree, in the order they are declared.
const std::vector<const DeliverableInfo*>& Controls();

// The deliverable named by its name, control class word or one of its class names, in any case;
// nothing when none is.
const DeliverableInfo* FindControl(std::string_view name);

// The name of a control closest to `name` (a slip away; a plug-in program's file name gives its
// deliverable), or "".
std::string_view SuggestControl(std::string_view name);

// A fresh decoder of the deliverable.
std::unique_ptr<Decoder> NewDecoder(const DeliverableInfo& control);

// One decoder per deliverable, made when first wanted.
class Decoders {
 public:
  Decoder& For(const DeliverableInfo& control);

 private:
  std::map<std::string_view, std::unique_ptr<Decoder>> made_;
};

// The class names (compared without regard to case) and the deliverable that decodes each: those
// added first win, then those the deliverables declare.
class ClassTable {
 public:
  struct Entry {
    std::string name;
    const DeliverableInfo* control;
  };

  // Why a NAME=CONTROL could not be added.
  enum class Error { kNone, kNotNameEqualsControl, kUnknownControl };

  ClassTable();
  // Adds "NAME=CONTROL" ahead of every class name known so far.
  Error Add(std::string_view nameEqualsControl);
  void Add(std::string name, const DeliverableInfo& control);
  // The deliverable that decodes the class, or nothing.
  const DeliverableInfo* Find(std::string_view className) const;
  // The class name the deliverable declares first, or its class word.
  static std::string_view FirstClassName(const DeliverableInfo& control);

 private:
  std::vector<Entry> added_;
  std::vector<Entry> declared_;
};

}  // namespace tvx::core
