#include "text_argument.h"

#include <cstring>
#include <new>

#include <string.h>  // explicit_bzero

namespace otpcli::python {
namespace {

// Linux's wchar_t holds a whole code point: PyUnicode_AsWideChar writes one
// unit per character and no surrogate pairs.
static_assert(sizeof(wchar_t) == 4);

// Code points copied out of a str, wiped when they go.
class WideCopy {
  public:
    explicit WideCopy(std::size_t units)
        : units_(units), data_(new (std::nothrow) wchar_t[units]) {}
    ~WideCopy() {
        if (data_) {
            explicit_bzero(data_.get(), units_ * sizeof(wchar_t));
        }
    }
    WideCopy(const WideCopy&) = delete;
    WideCopy& operator=(const WideCopy&) = delete;
    wchar_t* get() const { return data_.get(); }

  private:
    std::size_t units_;
    std::unique_ptr<wchar_t[]> data_;
};

// Appends the UTF-8 form of code point cp at out; returns the byte after it.
char* putUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

}  // namespace

TextArgument::~TextArgument() {
    wipe();
}

void TextArgument::wipe() {
    if (bytes_) {
        explicit_bzero(bytes_.get(), capacity_);
    }
    bytes_.reset();
    capacity_ = 0;
}

TextFault TextArgument::assign(PyObject* object, TextKind kind, const char* name) {
    wipe();
    if (object == Py_None) {
        return TextFault::none;
    }
    if (PyUnicode_Check(object)) {
        return assignStr(object);
    }
    if (kind == TextKind::strOrBytes && PyObject_CheckBuffer(object)) {
        return assignBuffer(object);
    }
    PyObject* type = PyObject_Type(object);
    PyObject* typeName = type ? PyObject_GetAttrString(type, "__name__") : nullptr;
    PyErr_Format(PyExc_TypeError, "%s must be %s or None, not %S", name,
                 kind == TextKind::strOnly ? "str" : "str, bytes or bytearray",
                 typeName ? typeName : Py_None);
    Py_XDECREF(typeName);
    Py_XDECREF(type);
    return TextFault::wrongType;
}

TextFault TextArgument::assignStr(PyObject* object) {
    const Py_ssize_t length = PyUnicode_GetLength(object);
    if (length < 0) {
        return TextFault::pythonError;
    }
    const auto units = static_cast<std::size_t>(length);
    const WideCopy wide(units + 1);
    // Four bytes of UTF-8 at most per code point, and the NUL.
    capacity_ = 4 * units + 1;
    bytes_.reset(new (std::nothrow) char[capacity_]);
    if (!wide.get() || !bytes_) {
        wipe();
        PyErr_NoMemory();
        return TextFault::pythonError;
    }
    if (PyUnicode_AsWideChar(object, wide.get(), length + 1) < 0) {
        wipe();
        return TextFault::pythonError;
    }
    char* out = bytes_.get();
    for (std::size_t i = 0; i < units; ++i) {
        const auto cp = static_cast<char32_t>(wide.get()[i]);
        if (cp == 0) {
            wipe();
            return TextFault::nul;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            wipe();
            return TextFault::surrogate;
        }
        out = putUtf8(out, cp);
    }
    *out = '\0';
    return TextFault::none;
}

TextFault TextArgument::assignBuffer(PyObject* object) {
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) != 0) {
        return TextFault::pythonError;
    }
    const auto length = static_cast<std::size_t>(view.len);
    TextFault fault = TextFault::none;
    if (std::memchr(view.buf, 0, length) != nullptr) {
        fault = TextFault::nul;
    } else {
        capacity_ = length + 1;
        bytes_.reset(new (std::nothrow) char[capacity_]);
        if (!bytes_) {
            capacity_ = 0;
            PyErr_NoMemory();
            fault = TextFault::pythonError;
        } else {
            std::memcpy(bytes_.get(), view.buf, length);
            bytes_[length] = '\0';
        }
    }
    PyBuffer_Release(&view);
    return fault;
}

PyObject* refusalText(TextFault fault, const char* name) {
    switch (fault) {
        case TextFault::nul:
            return PyUnicode_FromFormat("%s contains a NUL character", name);
        case TextFault::surrogate:
            return PyUnicode_FromFormat("%s contains an unpaired surrogate, which is not text",
                                        name);
        default:
            return nullptr;
    }
}

}  // namespace otpcli::python
