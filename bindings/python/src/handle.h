// otpcli._native.Handle: one client handle of the C interface, its lock, and
// one method per call of the interface. The package's Client is built on it.
#pragma once

#include <Python.h>

namespace otpcli::python {

// A new reference to the Handle type, or null with an exception set.
PyObject* makeHandleType();

}  // namespace otpcli::python
