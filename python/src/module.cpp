#include "module.h"

#include <cstring>

#include "controls.h"
#include "places.h"
#include "suggest.h"
#include "text.h"

namespace tvx::python {

const DeliverableInfo& ControlNamed(std::string_view name) {
  if (const DeliverableInfo* control = core::FindControl(name)) return *control;
  std::string message = "unknown control \"" + std::string(name) + "\"";
  const std::string_view closest = core::SuggestControl(name);
  if (!closest.empty()) {
    message += "; did you mean '" + std::string(closest) + "'?";
  } else {
    message += " (tvx.controls() lists the controls)";
  }
  throw py::value_error(message);
}

py::object OsError(const core::IoError& error, const std::string& path) {
  const py::object code = error.code != 0 ? py::object(py::int_(error.code)) : py::none();
  // OSError(errno, strerror, filename) is made as the subclass that goes with the errno.
  return py::reinterpret_borrow<py::object>(PyExc_OSError)(code, error.reason, PathObject(path));
}

void RaiseOsError(const core::IoError& error, const std::string& path) {
  const py::object exception = OsError(error, path);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
  throw py::error_already_set();
}

py::str PathObject(const std::string& path) {
  return py::reinterpret_steal<py::str>(
      PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
}

py::str StreamText(std::string_view bytes) {
  PyObject* text =
      PyUnicode_DecodeLatin1(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr);
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

py::list StreamLines(std::string_view text) {
  const std::vector<std::string_view> lines = render::CrLfLines(text);
  py::list list(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    list[i] = StreamText(lines[i]);
  return list;
}

HeldBuffer::HeldBuffer(py::handle object) {
  // A simple buffer: the bytes in one piece, read-only (a bytes object) or not.
  if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) == 0) return;
  // A closed mmap says only "mmap closed or invalid".
  if (PyErr_ExceptionMatches(PyExc_ValueError) &&
      std::string_view(Py_TYPE(object.ptr())->tp_name) == "mmap.mmap") {
    PyErr_Clear();
    throw py::value_error(
        "data= is a closed mmap: it is read where it lies, so it must stay open while it is "
        "read (the records of its scan read it again when they are decoded)");
  }
  throw py::error_already_set();
}

HeldBuffer::~HeldBuffer() {
  PyBuffer_Release(&view_);
}

std::size_t MemoryInput::ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) {
  if (offset >= bytes_.size()) return 0;
  if (cancelled_ != nullptr && cancelled_->load(std::memory_order_relaxed)) return 0;
  const std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes_.size() - offset));
  std::memcpy(into, bytes_.data() + offset, n);
  return n;
}

}  // namespace tvx::python

PYBIND11_MODULE(_tvx, module) {
  namespace py = pybind11;
  module.doc() = "tvx_core for the package tvx: use the package, not this module.";
  module.def(
      "controls",
      [] {
        py::list controls;
        for (const tvx::DeliverableInfo* control : tvx::core::Controls()) {
          py::list names;
          std::string_view rest = control->classNames;
          while (!rest.empty()) {
            const std::size_t blank = rest.find(' ');
            names.append(py::str(std::string(rest.substr(0, blank))));
            rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
          }
          controls.append(py::make_tuple(std::string(control->name),
                                         std::string(control->classWord), py::tuple(names),
                                         std::string(control->caption)));
        }
        return controls;
      },
      "The deliverables: (name, class word, class names, caption) each, in their order.");
  module.def(
      "control",
      [](std::string_view name) { return std::string(tvx::python::ControlNamed(name).name); },
      py::arg("name"), "The deliverable's name for a name, class word or class name.");
  module.attr("MAX_POSITION") = tvx::core::kMaxPosition;
  module.attr("VERSION") = TVX_VERSION;
  tvx::python::DefineScan(module);
  tvx::python::DefineDecode(module);
}
