// otpcli._native: the C interface of libotpcli as the Python package sees it.
// Statuses and texts come back as they are; the package's modules turn them
// into results and exceptions.
#include <Python.h>

#include <string.h>  // explicit_bzero

#include <otpcli/otpcli_c.h>

#include "handle.h"
#include "text_argument.h"

namespace {

using otpcli::python::refusalText;
using otpcli::python::TextArgument;
using otpcli::python::TextFault;
using otpcli::python::TextKind;

// Takes object as the text argument name; false when it cannot. *refusal is
// then the (status, message) tuple to return, or null with an exception set.
bool takeText(TextArgument& text, PyObject* object, const char* name, PyObject** refusal) {
    const TextFault fault = text.assign(object, TextKind::strOnly, name);
    if (fault == TextFault::none) {
        return true;
    }
    *refusal = nullptr;
    if (PyObject* why = refusalText(fault, name)) {
        *refusal = Py_BuildValue("(iN)", OTPCLI_E_INVALIDARG, why);
    }
    return false;
}

PyObject* hashValue(PyObject* /*module*/, PyObject* args) {
    PyObject* object = nullptr;
    if (!PyArg_ParseTuple(args, "O:hash_value", &object)) {
        return nullptr;
    }
    TextArgument text;
    PyObject* refusal = nullptr;
    if (!takeText(text, object, "text", &refusal)) {
        return refusal;
    }
    char hash[OTPCLI_HASH_SIZE] = {};
    const otpcli_status status = otpcli_hash_value(text.get(), hash);
    PyObject* result = Py_BuildValue("(is)", status, status == OTPCLI_OK ? hash : "");
    // The hash of a resident registration number stands for the person.
    explicit_bzero(hash, sizeof hash);
    return result;
}

PyObject* setServerHosts(PyObject* /*module*/, PyObject* args) {
    PyObject* objects[2] = {};
    if (!PyArg_ParseTuple(args, "OO:set_server_hosts", &objects[0], &objects[1])) {
        return nullptr;
    }
    TextArgument primary;
    TextArgument backup;
    PyObject* refusal = nullptr;
    if (!takeText(primary, objects[0], "primary", &refusal) ||
        !takeText(backup, objects[1], "backup", &refusal)) {
        return refusal;
    }
    return Py_BuildValue("(is)", otpcli_set_server_hosts(primary.get(), backup.get()), "");
}

PyObject* version(PyObject* /*module*/, PyObject* /*unused*/) {
    return PyUnicode_FromString(otpcli_version_string());
}

PyMethodDef functions[] = {
    {"hash_value", hashValue, METH_VARARGS, "hash_value(text) -> (status, hash)."},
    {"set_server_hosts", setServerHosts, METH_VARARGS,
     "set_server_hosts(primary, backup) -> (status, message)."},
    {"version", version, METH_NOARGS, "otpcli_version_string() of the library that runs."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module = {
    PyModuleDef_HEAD_INIT,
    "otpcli._native",
    "The C interface of libotpcli (internal; use the package otpcli).",
    -1,
    functions,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

bool addConstants(PyObject* m) {
    const struct {
        const char* name;
        long value;
    } constants[] = {
        {"OK", OTPCLI_OK},
        {"E_POINTER", OTPCLI_E_POINTER},
        {"E_INVALIDARG", OTPCLI_E_INVALIDARG},
        {"E_FAIL", OTPCLI_E_FAIL},
        {"IDENTITY_NUMBER", OTPCLI_IDENTITY_NUMBER},
        {"IDENTITY_TEXT", OTPCLI_IDENTITY_TEXT},
        {"AUTH_LEVEL_1", OTPCLI_AUTH_LEVEL_1},
        {"AUTH_LEVEL_2", OTPCLI_AUTH_LEVEL_2},
        {"HEADER_VERSION_NUMBER", OTPCLI_VERSION_NUMBER},
    };
    for (const auto& constant : constants) {
        if (PyModule_AddIntConstant(m, constant.name, constant.value) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

PyMODINIT_FUNC PyInit__native() {
    PyObject* m = PyModule_Create(&module);
    if (m == nullptr) {
        return nullptr;
    }
    PyObject* type = otpcli::python::makeHandleType();
    const bool added = type != nullptr && PyModule_AddObjectRef(m, "Handle", type) == 0;
    Py_XDECREF(type);
    if (!added || !addConstants(m)) {
        Py_DECREF(m);
        return nullptr;
    }
    return m;
}
