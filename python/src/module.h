// The compiled half of the Python package tvx (`tvx._tvx`): tvx_core's scan, decode and
// explanation, run with the GIL released, their results handed back as plain Python values
// (str, int, bytes, tuples and lists) that the package's own classes (python/tvx/__init__.py)
// wrap. Nothing of Python is touched while the GIL is let go: the work fills C++ values, and the
// Python values are made from them once it is held again.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "files.h"
#include "tvx/decoder.h"
#include "tvx/reader.h"

namespace tvx::python {

namespace py = pybind11;

// The deliverable named by its name, class word or one of its class names, in any case; a
// ValueError that names the closest one otherwise.
const DeliverableInfo& ControlNamed(std::string_view name);

// The OSError Python raises for `error` on `path`: the subclass that goes with its errno
// (FileNotFoundError for ENOENT, ...), the reason as its strerror and the path as its filename.
// An error without an errno ("not a regular file") is a plain OSError whose errno is None.
py::object OsError(const core::IoError& error, const std::string& path);
[[noreturn]] void RaiseOsError(const core::IoError& error, const std::string& path);

// A path as Python shows it (os.fsdecode: bytes that are not of the file system's encoding as
// surrogates, so that os.fsencode gives the bytes back).
py::str PathObject(const std::string& path);
// A stream text as str, one character per byte (U+0000 to U+00FF), as in tvx's JSON.
py::str StreamText(std::string_view bytes);
// The lines of a CR LF text (a listing, a block) without their line ends, each a stream text.
py::list StreamLines(std::string_view text);

// The bytes of a Python object that has the buffer protocol (bytes, bytearray, memoryview,
// mmap, ...), held without a copy while this lives: the object cannot be resized or closed
// meanwhile. Made and ended with the GIL held.
class HeldBuffer {
 public:
  explicit HeldBuffer(py::handle object);
  ~HeldBuffer();
  HeldBuffer(const HeldBuffer&) = delete;
  HeldBuffer& operator=(const HeldBuffer&) = delete;
  std::span<const std::uint8_t> bytes() const {
    return {static_cast<const std::uint8_t*>(view_.buf), static_cast<std::size_t>(view_.len)};
  }

 private:
  Py_buffer view_{};
};

// Memory read as a program file, never copied. With `cancelled`, the memory ends where a read
// finds it set (a scan given up).
class MemoryInput final : public InputSource {
 public:
  explicit MemoryInput(std::span<const std::uint8_t> bytes,
                       const std::atomic<bool>* cancelled = nullptr)
      : bytes_(bytes), cancelled_(cancelled) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override;
  std::uint64_t Size() override { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  const std::atomic<bool>* cancelled_;
};

void DefineScan(py::module_& module);
void DefineDecode(py::module_& module);

}  // namespace tvx::python
