#include "fields.h"

#include <algorithm>

#include "controls.h"
#include "registry.h"
#include "suggest.h"

namespace tvx::core {

namespace {

struct Named {
  std::string_view name;
  Field::Kind kind;
};

constexpr Named kOwn[] = {{"file", Field::Kind::kFile},     {"position", Field::Kind::kPosition},
                          {"offset", Field::Kind::kOffset}, {"name", Field::Kind::kName},
                          {"class", Field::Kind::kClass},   {"control", Field::Kind::kControl},
                          {"form", Field::Kind::kForm},     {"index", Field::Kind::kIndex},
                          {"stop", Field::Kind::kStop}};

// Every property path with a value, and the groups' own names.
struct Paths {
  std::vector<std::string> values;
  std::vector<std::string> groups;
};

void AddOnce(std::vector<std::string>& list, std::string path) {
  if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(std::move(path));
}

const Paths& AllPaths() {
  static const Paths paths = [] {
    Paths all;
    for (const DeliverableInfo* info : Controls()) {
      for (const PropertyEntry& entry : PropertiesOf(*info)) {
        std::string path(entry.def->name);
        if (entry.group != nullptr) path = std::string(entry.group->name) + "." + path;
        AddOnce(entry.def->type == PropertyType::kGroup ? all.groups : all.values, std::move(path));
      }
    }
    return all;
  }();
  return paths;
}

}  // namespace

const std::vector<std::string>& PropertyPaths() {
  return AllPaths().values;
}

std::optional<std::vector<Field>> ParseFields(std::string_view list, std::string* error) {
  std::vector<Field> fields;
  const Paths& paths = AllPaths();
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    Field field;
    field.heading = std::string(word);
    const auto own = std::find_if(std::begin(kOwn), std::end(kOwn),
                                  [&](const Named& n) { return n.name == word; });
    if (own != std::end(kOwn)) {
      field.kind = own->kind;
    } else if (std::find(paths.values.begin(), paths.values.end(), word) != paths.values.end()) {
      field.path = std::string(word);
    } else if (std::find(paths.groups.begin(), paths.groups.end(), word) != paths.groups.end()) {
      *error = "\"" + std::string(word) + "\" is a group: name one of its members, as " +
               std::string(word) + ".Name";
      return std::nullopt;
    } else {
      std::vector<std::string_view> candidates;
      for (const Named& n : kOwn)
        candidates.push_back(n.name);
      for (const std::string& p : paths.values)
        candidates.push_back(p);
      const std::string_view close = Closest(word, candidates);
      *error = "unknown field \"" + std::string(word) + "\"" +
               (close.empty() ? "" : "; did you mean " + std::string(close) + "?");
      return std::nullopt;
    }
    fields.push_back(std::move(field));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return fields;
}

std::vector<Field> DefaultFields() {
  std::string error;
  return *ParseFields("file,position,offset,name,index,class,control,form", &error);
}

bool NeedsDecode(const std::vector<Field>& fields) {
  return std::any_of(fields.begin(), fields.end(), [](const Field& f) {
    return f.kind == Field::Kind::kProperty || f.kind == Field::Kind::kStop;
  });
}

bool HoldsProperty(const DecodedRecord& record, std::string_view path) {
  const Property* p = record.Find(path);
  return p != nullptr && !p->bytes.empty();
}

}  // namespace tvx::core
