"""The exceptions of the package: one hierarchy under OtpError."""

from __future__ import annotations

import builtins

from . import _native


class OtpError(Exception):
    """A request or a call of the library that did not succeed.

    ``code`` is the four-character result code (``"P001"``, ``"N001"``,
    ``"S101"``, ...), or ``""`` for an argument refused before any request
    (a text the C interface cannot carry, a configuration text over its
    limit); ``message`` is the library's or the service's message (Korean for
    result codes), or the binding's own English text when ``code`` is empty;
    ``status`` is the C interface's status (``E_FAIL`` for a failed request,
    ``E_INVALIDARG`` or ``E_POINTER`` for a refused argument).
    """

    code: str
    message: str
    status: int

    def __init__(self, code: str, message: str, status: int = _native.E_FAIL) -> None:
        super().__init__(code, message)
        self.code = code
        self.message = message
        self.status = status

    def __str__(self) -> str:
        return f"{self.code} {self.message}" if self.code else self.message

    def __reduce__(self):  # type: ignore[no-untyped-def]
        return (type(self), (self.code, self.message, self.status))


class ArgumentError(OtpError, ValueError):
    """An argument refused before anything was sent.

    The library's codes P001 (a text is None), P002 (an OTP of more than seven
    digits, or a negative one), P003 (a malformed resident registration number
    or identity text), and, with ``code == ""``, what the binding or the C
    interface refuses itself: a NUL character or an unpaired surrogate in a
    text, a site or key over 32 bytes of code page 949, a key that is not UTF-8,
    a port outside 1 to 65535, an empty or over-long server host name.
    """


class NetworkError(OtpError, builtins.ConnectionError):
    """No connection could be made to a server (N001), or the exchange broke off (N002).

    Also a :class:`ConnectionError` (and so an :class:`OSError`), so that code
    that handles network failures in general catches it too.
    """


class ServiceError(OtpError):
    """The service answered and refused: ``code`` is the service's own result code.

    For instance S101 (not a member), S103 (wrong OTP), S106 (locked after too
    many wrong OTPs); the message is the service's.
    """


class InternalError(OtpError):
    """The library could not finish the request for a reason of its own.

    A001 (memory could not be had), C001 (the sealing failed), E001 (the code
    page 949 converter is missing from the system), Z001 (the reply carried no
    readable result code); with ``code == ""``, a configuration call that failed
    for want of memory or of the converter.
    """


# The library's own result codes; every other code is the service's.
_LIBRARY_CODES: dict[str, type[OtpError]] = {
    "P001": ArgumentError,
    "P002": ArgumentError,
    "P003": ArgumentError,
    "N001": NetworkError,
    "N002": NetworkError,
    "A001": InternalError,
    "C001": InternalError,
    "E001": InternalError,
    "Z001": InternalError,
}


def error_for(status: int, code: str, message: str) -> OtpError:
    """The exception for a failed call: by result code, or by status when there is none."""
    if not code:
        if status in (_native.E_INVALIDARG, _native.E_POINTER):
            return ArgumentError("", message, status)
        return InternalError("", message or "the library failed without a result code", status)
    return _LIBRARY_CODES.get(code, ServiceError)(code, message, status)
