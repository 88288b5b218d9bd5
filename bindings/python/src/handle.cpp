#include "handle.h"

#include <mutex>
#include <new>
#include <string>

#include <otpcli/otpcli_c.h>

#include "text_argument.h"

namespace otpcli::python {
namespace {

// The C handle and the lock that gives it to one thread at a time, as the C
// interface requires. Every call takes the lock with the GIL released, so a
// thread that waits for the handle never holds up the other Python threads.
struct Core {
    std::mutex mutex;
    otpcli_client* client = nullptr;
};

struct HandleObject {
    PyObject_HEAD Core* core;
};

Core* coreOf(PyObject* self) {
    return reinterpret_cast<HandleObject*>(self)->core;
}

// Runs call(client) under the handle's lock with the GIL released. False, with
// an exception set, when the handle is closed or memory ran out.
template <typename Call>
bool withClient(PyObject* self, Call&& call) {
    enum { ran, closed, failed } result = ran;
    Core* core = coreOf(self);
    Py_BEGIN_ALLOW_THREADS try {
        const std::lock_guard lock(core->mutex);
        if (core->client == nullptr) {
            result = closed;
        } else {
            call(core->client);
        }
    } catch (...) {
        result = failed;
    }
    Py_END_ALLOW_THREADS if (result == closed) {
        PyErr_SetString(PyExc_ValueError, "the client is closed");
        return false;
    }
    if (result == failed) {
        PyErr_NoMemory();
        return false;
    }
    return true;
}

PyObject* decode(const std::string& text) {
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

// (status, code, message, host).
PyObject* requestTuple(otpcli_status status, const std::string& code, const std::string& message,
                       const std::string& host) {
    PyObject* items[] = {PyLong_FromLong(status), decode(code), decode(message), decode(host)};
    PyObject* tuple = nullptr;
    if (items[0] && items[1] && items[2] && items[3]) {
        tuple = PyTuple_Pack(4, items[0], items[1], items[2], items[3]);
    }
    for (PyObject* item : items) {
        Py_XDECREF(item);
    }
    return tuple;
}

// Takes object as the text argument name. False when it cannot: *refusal is
// then the request tuple the method returns, or null with an exception set.
bool takeText(TextArgument& text, PyObject* object, const char* name, TextKind kind,
              PyObject** refusal) {
    const TextFault fault = text.assign(object, kind, name);
    if (fault == TextFault::none) {
        return true;
    }
    *refusal = nullptr;
    if (PyObject* why = refusalText(fault, name)) {
        *refusal = Py_BuildValue("(isNs)", OTPCLI_E_INVALIDARG, "", why, "");
    }
    return false;
}

std::string handleText(otpcli_status (*getter)(otpcli_client*, const char**),
                       otpcli_client* client) {
    const char* text = nullptr;
    return getter(client, &text) == OTPCLI_OK && text != nullptr ? std::string(text)
                                                                 : std::string();
}

// Runs one request and returns what it left in the handle.
template <typename Call>
PyObject* request(PyObject* self, Call&& call) {
    otpcli_status status = OTPCLI_E_FAIL;
    std::string code;
    std::string message;
    std::string host;
    const bool ran = withClient(self, [&](otpcli_client* client) {
        status = call(client);
        code = handleText(otpcli_result_code, client);
        message = handleText(otpcli_result_message, client);
        host = handleText(otpcli_host, client);
    });
    return ran ? requestTuple(status, code, message, host) : nullptr;
}

PyObject* handleNew(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    if (!PyArg_ParseTuple(args, ":Handle") || (kwargs != nullptr && PyObject_Length(kwargs) > 0)) {
        if (!PyErr_Occurred()) {
            PyErr_SetString(PyExc_TypeError, "Handle() takes no arguments");
        }
        return nullptr;
    }
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* self = alloc(type, 0);
    if (self == nullptr) {
        return nullptr;
    }
    auto* core = new (std::nothrow) Core;
    if (core == nullptr || otpcli_create(&core->client) != OTPCLI_OK) {
        delete core;
        reinterpret_cast<HandleObject*>(self)->core = nullptr;
        Py_DECREF(self);
        return PyErr_NoMemory();
    }
    reinterpret_cast<HandleObject*>(self)->core = core;
    return self;
}

void handleDealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Core* core = coreOf(self);
    if (core != nullptr) {
        // The C interface wipes the key material it holds.
        otpcli_destroy(core->client);
        delete core;
    }
    auto release = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    release(self);
    Py_DECREF(type);
}

// (status, why): why describes a refusal in English, "" on success.
PyObject* configure(PyObject* self, PyObject* args) {
    int port = 0;
    PyObject* siteObject = nullptr;
    PyObject* keyObject = nullptr;
    if (!PyArg_ParseTuple(args, "iOO:configure", &port, &siteObject, &keyObject)) {
        return nullptr;
    }
    TextArgument site;
    TextArgument key;
    TextFault fault = site.assign(siteObject, TextKind::strOnly, "site");
    const char* name = "site";
    if (fault == TextFault::none) {
        fault = key.assign(keyObject, TextKind::strOrBytes, "key");
        name = "key";
    }
    if (fault != TextFault::none) {
        PyObject* why = refusalText(fault, name);
        return why ? Py_BuildValue("(iN)", OTPCLI_E_INVALIDARG, why) : nullptr;
    }
    otpcli_status status = OTPCLI_OK;
    const bool ran = withClient(self, [&](otpcli_client* client) {
        // The site alone first, so that a refusal tells which text it was.
        name = "site";
        status = otpcli_init(client, port, site.get(), "");
        if (status == OTPCLI_OK) {
            name = "key";
            status = otpcli_init(client, port, site.get(), key.get());
        }
    });
    if (!ran) {
        return nullptr;
    }
    if (status == OTPCLI_OK) {
        return Py_BuildValue("(is)", status, "");
    }
    if (status == OTPCLI_E_POINTER) {
        return Py_BuildValue("(iN)", status, PyUnicode_FromFormat("%s is None", name));
    }
    return Py_BuildValue(
        "(iN)", status,
        PyUnicode_FromFormat("%s is not well-formed UTF-8 or is over 32 bytes of code page 949",
                             name));
}

PyObject* setConnectTimeout(PyObject* self, PyObject* args) {
    int timeout = 0;
    if (!PyArg_ParseTuple(args, "i:set_connect_timeout", &timeout)) {
        return nullptr;
    }
    if (!withClient(self,
                    [&](otpcli_client* client) { otpcli_set_connect_timeout(client, timeout); })) {
        return nullptr;
    }
    Py_RETURN_NONE;
}

PyObject* connectTimeout(PyObject* self, PyObject* /*unused*/) {
    int timeout = 0;
    if (!withClient(self,
                    [&](otpcli_client* client) { otpcli_get_connect_timeout(client, &timeout); })) {
        return nullptr;
    }
    return PyLong_FromLong(timeout);
}

PyObject* port(PyObject* self, PyObject* /*unused*/) {
    int value = 0;
    if (!withClient(self, [&](otpcli_client* client) { otpcli_get_port(client, &value); })) {
        return nullptr;
    }
    return PyLong_FromLong(value);
}

PyObject* host(PyObject* self, PyObject* /*unused*/) {
    std::string text;
    if (!withClient(self, [&](otpcli_client* client) { text = handleText(otpcli_host, client); })) {
        return nullptr;
    }
    return decode(text);
}

PyObject* close(PyObject* self, PyObject* /*unused*/) {
    Core* core = coreOf(self);
    bool failed = false;
    Py_BEGIN_ALLOW_THREADS try {
        // Waits for a request in flight on another thread.
        const std::lock_guard lock(core->mutex);
        otpcli_destroy(core->client);
        core->client = nullptr;
    } catch (...) {
        failed = true;
    }
    Py_END_ALLOW_THREADS if (failed) {
        return PyErr_NoMemory();
    }
    Py_RETURN_NONE;
}

PyObject* isClosed(PyObject* self, PyObject* /*unused*/) {
    Core* core = coreOf(self);
    bool closed = false;
    Py_BEGIN_ALLOW_THREADS try {
        const std::lock_guard lock(core->mutex);
        closed = core->client == nullptr;
    } catch (...) {
        closed = false;
    }
    Py_END_ALLOW_THREADS return PyBool_FromLong(closed ? 1 : 0);
}

PyObject* issue(PyObject* self, PyObject* args) {
    PyObject* objects[3] = {};
    if (!PyArg_ParseTuple(args, "OOO:issue", &objects[0], &objects[1], &objects[2])) {
        return nullptr;
    }
    TextArgument userId;
    TextArgument codeText;
    TextArgument valueText;
    PyObject* refusal = nullptr;
    if (!takeText(userId, objects[0], "user_id", TextKind::strOnly, &refusal) ||
        !takeText(codeText, objects[1], "code_text", TextKind::strOnly, &refusal) ||
        !takeText(valueText, objects[2], "value_text", TextKind::strOnly, &refusal)) {
        return refusal;
    }
    return request(self, [&](otpcli_client* client) {
        return otpcli_issue(client, userId.get(), codeText.get(), valueText.get());
    });
}

// reissue and check: (user_id, identity_form, code_text, value_text).
template <otpcli_status (*Call)(otpcli_client*, const char*, int, const char*, const char*)>
PyObject* identityWithPair(PyObject* self, PyObject* args) {
    PyObject* objects[3] = {};
    int form = 0;
    if (!PyArg_ParseTuple(args, "OiOO", &objects[0], &form, &objects[1], &objects[2])) {
        return nullptr;
    }
    TextArgument userId;
    TextArgument codeText;
    TextArgument valueText;
    PyObject* refusal = nullptr;
    if (!takeText(userId, objects[0], "user_id", TextKind::strOnly, &refusal) ||
        !takeText(codeText, objects[1], "code_text", TextKind::strOnly, &refusal) ||
        !takeText(valueText, objects[2], "value_text", TextKind::strOnly, &refusal)) {
        return refusal;
    }
    return request(self, [&](otpcli_client* client) {
        return Call(client, userId.get(), form, codeText.get(), valueText.get());
    });
}

PyObject* addsvcCheck(PyObject* self, PyObject* args) {
    PyObject* objects[2] = {};
    if (!PyArg_ParseTuple(args, "OO:addsvc_check", &objects[0], &objects[1])) {
        return nullptr;
    }
    TextArgument codeText;
    TextArgument valueText;
    PyObject* refusal = nullptr;
    if (!takeText(codeText, objects[0], "code_text", TextKind::strOnly, &refusal) ||
        !takeText(valueText, objects[1], "value_text", TextKind::strOnly, &refusal)) {
        return refusal;
    }
    return request(self, [&](otpcli_client* client) {
        return otpcli_addsvc_check(client, codeText.get(), valueText.get());
    });
}

PyObject* auth(PyObject* self, PyObject* args) {
    PyObject* objects[2] = {};
    int form = 0;
    int otp = 0;
    int level = 0;
    if (!PyArg_ParseTuple(args, "OiiiO:auth", &objects[0], &form, &otp, &level, &objects[1])) {
        return nullptr;
    }
    TextArgument userId;
    TextArgument extraText;
    PyObject* refusal = nullptr;
    if (!takeText(userId, objects[0], "user_id", TextKind::strOnly, &refusal) ||
        !takeText(extraText, objects[1], "extra_text", TextKind::strOnly, &refusal)) {
        return refusal;
    }
    return request(self, [&](otpcli_client* client) {
        return otpcli_auth(client, userId.get(), form, otp, level, extraText.get());
    });
}

// join, close_membership and init_auth_err: (user_id, identity_form).
template <otpcli_status (*Call)(otpcli_client*, const char*, int)>
PyObject* identityOnly(PyObject* self, PyObject* args) {
    PyObject* object = nullptr;
    int form = 0;
    if (!PyArg_ParseTuple(args, "Oi", &object, &form)) {
        return nullptr;
    }
    TextArgument userId;
    PyObject* refusal = nullptr;
    if (!takeText(userId, object, "user_id", TextKind::strOnly, &refusal)) {
        return refusal;
    }
    return request(self, [&](otpcli_client* client) { return Call(client, userId.get(), form); });
}

PyMethodDef methods[] = {
    {"configure", configure, METH_VARARGS,
     "configure(port, site, key) -> (status, refused): otpcli_init; refused names the text."},
    {"set_connect_timeout", setConnectTimeout, METH_VARARGS, "otpcli_set_connect_timeout."},
    {"connect_timeout", connectTimeout, METH_NOARGS, "otpcli_get_connect_timeout."},
    {"port", port, METH_NOARGS, "otpcli_get_port."},
    {"host", host, METH_NOARGS, "otpcli_host."},
    {"close", close, METH_NOARGS, "Destroys the C handle (wiping its key); idempotent."},
    {"is_closed", isClosed, METH_NOARGS, "True after close()."},
    {"issue", issue, METH_VARARGS, "issue(user_id, code_text, value_text) -> request tuple."},
    {"reissue", identityWithPair<otpcli_reissue>, METH_VARARGS,
     "reissue(user_id, form, code_text, value_text) -> request tuple."},
    {"check", identityWithPair<otpcli_check>, METH_VARARGS,
     "check(user_id, form, code_text, value_text) -> request tuple."},
    {"addsvc_check", addsvcCheck, METH_VARARGS,
     "addsvc_check(code_text, value_text) -> request tuple."},
    {"auth", auth, METH_VARARGS, "auth(user_id, form, otp, level, extra_text) -> request tuple."},
    {"join", identityOnly<otpcli_join>, METH_VARARGS, "join(user_id, form) -> request tuple."},
    {"close_membership", identityOnly<otpcli_close>, METH_VARARGS,
     "close_membership(user_id, form) -> request tuple."},
    {"init_auth_err", identityOnly<otpcli_init_auth_err>, METH_VARARGS,
     "init_auth_err(user_id, form) -> request tuple."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(handleNew)},
    {Py_tp_dealloc, reinterpret_cast<void*>(handleDealloc)},
    {Py_tp_methods, static_cast<void*>(methods)},
    {Py_tp_doc,
     const_cast<char*>("One client handle of the C interface (internal; use otpcli.Client). "
                       "Requests return (status, code, message, host).")},
    {0, nullptr},
};

PyType_Spec spec = {"otpcli._native.Handle", sizeof(HandleObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* makeHandleType() {
    return PyType_FromSpec(&spec);
}

}  // namespace otpcli::python
