// A text argument on its way from Python to the C interface: NUL-terminated
// UTF-8 in a buffer of the binding's own, wiped when the argument goes.
//
// Resident registration numbers and key material pass through here, so no
// Python object is made on the way: a str's code points are copied out with
// PyUnicode_AsWideChar and encoded here (PyUnicode_AsUTF8 would cache a UTF-8
// copy inside the str that lives as long as the str does), and a bytes-like
// key is read in place through the buffer protocol.
#pragma once

#include <Python.h>

#include <cstddef>
#include <memory>

namespace otpcli::python {

// Why an object could not be taken as a text.
enum class TextFault {
    none,
    wrongType,   // a TypeError is set
    nul,         // the text holds a NUL character, which the C interface cannot carry
    surrogate,   // the str holds an unpaired surrogate, which UTF-8 cannot encode
    pythonError  // a Python exception is set (memory, a failing buffer)
};

// Which objects a text argument accepts besides str and None.
enum class TextKind {
    strOnly,     // str
    strOrBytes,  // str, or any bytes-like object holding UTF-8 (the key)
};

class TextArgument {
  public:
    TextArgument() = default;
    ~TextArgument();
    TextArgument(const TextArgument&) = delete;
    TextArgument& operator=(const TextArgument&) = delete;

    // Takes object (None gives the null text). name is the argument's name
    // for the TypeError.
    TextFault assign(PyObject* object, TextKind kind, const char* name);
    // The UTF-8 text, or null for None.
    const char* get() const { return bytes_.get(); }

  private:
    TextFault assignStr(PyObject* object);
    TextFault assignBuffer(PyObject* object);
    void wipe();

    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
};

// The refusal for the exception the package raises, "NAME contains a NUL
// character", as a str: for a NUL or a surrogate. Null for the other faults,
// whose exception is set already.
PyObject* refusalText(TextFault fault, const char* name);

}  // namespace otpcli::python
