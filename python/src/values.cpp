// A record's properties as Python values, made straight from the record: what tvx's JSON gives
// as "properties" and the package's Properties turns into Python values, without the JSON.
#include <cmath>
#include <map>
#include <utility>

#include "held.h"

namespace tvx::python {

namespace {

struct Makers {
  py::handle enumerated;  // Enumerated(number, constant)
  py::handle picture;     // Picture(detail)
  py::handle proxy;       // types.MappingProxyType
};

// The objects made once and kept for the life of the process (never freed: they may outlive the
// interpreter's teardown): each property's name, and each enumerated value that names a constant
// (bounded by the controls' constants, whatever a stream holds). An Enumerated cannot be changed.
PyObject* NameOf(const PropertyDef* def) {
  static std::map<const PropertyDef*, PyObject*> names;
  PyObject*& name = names[def];
  if (name == nullptr) {
    name = PyUnicode_FromStringAndSize(def->name.data(), static_cast<Py_ssize_t>(def->name.size()));
    if (name == nullptr) throw py::error_already_set();
    PyUnicode_InternInPlace(&name);
  }
  return name;
}

py::object Call(py::handle callable, py::handle a, py::handle b = {}) {
  PyObject* args[] = {a.ptr(), b.ptr()};
  PyObject* made = PyObject_Vectorcall(callable.ptr(), args, b ? 2 : 1, nullptr);
  if (made == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(made);
}

py::object EnumeratedValue(const core::Property& p, std::int64_t n, py::handle enumerated) {
  const std::optional<std::string_view> meaning = core::Meaning(p);
  if (!meaning) return Call(enumerated, py::int_(n), py::none());
  static std::map<std::pair<const PropertyDef*, std::int64_t>, PyObject*> known;
  PyObject*& made = known[{p.def, n}];
  if (made == nullptr)
    made = Call(enumerated, py::int_(n), py::str(std::string(*meaning))).release().ptr();
  return py::reinterpret_borrow<py::object>(made);
}

py::object PictureValue(const core::DecodedRecord& record, const Makers& makers) {
  const core::Picture& p = *record.picture;
  py::dict detail;
  detail["format"] = py::str(p.format);
  detail["position"] = p.position > 0 ? py::object(py::int_(p.position)) : py::object(py::none());
  detail["size"] = py::int_(p.size);
  detail["sha256"] = py::str(record.PictureDigest());
  return Call(makers.picture, detail);
}

py::object Value(const core::DecodedRecord& record, std::size_t index, const Makers& makers);

// The members of a group (or the top level), by name, read-only.
py::object Members(const core::DecodedRecord& record, std::optional<std::size_t> group,
                   const Makers& makers) {
  py::dict members;
  for (std::size_t i = group ? *group + 1 : 0; i < record.properties.size(); ++i) {
    if (record.properties[i].group != group) continue;
    const py::object value = Value(record, i, makers);
    if (PyDict_SetItem(members.ptr(), NameOf(record.properties[i].def), value.ptr()) != 0)
      throw py::error_already_set();
  }
  return Call(makers.proxy, members);
}

py::object Value(const core::DecodedRecord& record, std::size_t index, const Makers& makers) {
  const core::Property& p = record.properties[index];
  switch (p.def->type) {
    case PropertyType::kGroup:
      return Members(record, index, makers);
    case PropertyType::kPicture:
      return p.bytes.empty() || !record.picture ? py::object(py::none())
                                                : PictureValue(record, makers);
    default:
      break;
  }
  if (const auto* n = std::get_if<std::int64_t>(&p.value)) {
    if (p.def->type == PropertyType::kEnumerated) return EnumeratedValue(p, *n, makers.enumerated);
    return py::int_(*n);
  }
  if (const bool* b = std::get_if<bool>(&p.value)) return py::bool_(*b);
  if (const double* d = std::get_if<double>(&p.value)) {
    // As in the JSON: a number no JSON number holds (NaN, infinity) is None.
    return std::isfinite(*d) ? py::object(py::float_(*d)) : py::object(py::none());
  }
  if (const std::string* s = std::get_if<std::string>(&p.value))
    return StreamText(record.Text(*s).Bytes());
  return py::none();
}

}  // namespace

py::object Held::Values(py::handle enumerated, py::handle picture, py::handle proxy) {
  if (!record_) return py::none();  // made again from its JSON text, or cut
  const Makers makers{enumerated, picture, proxy};
  if (!kept_ || !HoldsLongTexts()) return Members(*record_, std::nullopt, makers);
  // Long texts are read from the file, with Ctrl-C heard.
  py::object values;
  InterruptibleInput input(kept_->input());
  record_->input = &input;
  try {
    values = Members(*record_, std::nullopt, makers);
  } catch (...) {
    record_->input = nullptr;
    throw;
  }
  record_->input = nullptr;
  input.RaiseIfInterrupted();
  return values;
}

}  // namespace tvx::python
