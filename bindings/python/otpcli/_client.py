"""The client: one configured connection profile of the service and its requests."""

from __future__ import annotations

import operator
from typing import NoReturn, Union

from . import _native
from ._errors import ArgumentError, error_for
from ._types import AuthLevel, IdentityForm, Result

Key = Union[str, bytes, bytearray, memoryview]

_INT32_MIN = -(2**31)
_INT32_MAX = 2**31 - 1


def _int32(name: str, value: int) -> int:
    value = operator.index(value)
    if not _INT32_MIN <= value <= _INT32_MAX:
        raise ArgumentError("", f"{name} must fit in 32 bits, not {value}", _native.E_INVALIDARG)
    return value


def _otp(value: int) -> int:
    # Any OTP beyond 32 bits has more than seven digits too: the library
    # refuses it with its own P002, as it does 10,000,000 and up.
    value = operator.index(value)
    return max(_INT32_MIN, min(_INT32_MAX, value))


def _outcome(reply: tuple[int, str, str, str]) -> Result:
    status, code, message, host = reply
    if status != _native.OK:
        raise error_for(status, code, message)
    return Result(code, message, host)


class Client:
    """A client of the OTP service: one site's port, identifier and key.

    >>> client = otpcli.Client(port=9100, site="MYSITE", key=key)
    >>> client.join("8505031234565")
    Result(code='0000', message='', host='127.0.0.1')

    Every request blocks until the service answers (the GIL is released
    meanwhile, so other threads run) and returns a :class:`Result`, or raises
    an :class:`OtpError`: :class:`ArgumentError`, :class:`NetworkError`,
    :class:`ServiceError` or :class:`InternalError`.

    A Client may be shared by threads: its calls are serialised, each waiting
    for the one before it on the same Client. Threads that are to send
    requests at the same time use a Client each.

    ``close()`` (or leaving a ``with`` block) wipes the key material that the
    library holds and releases the client; so does garbage collection.
    """

    __slots__ = ("_handle", "_site")

    def __init__(
        self,
        *,
        port: int,
        site: str,
        key: Key,
        connect_timeout: int = 5,
    ) -> None:
        """Configures a client.

        ``port``: the service's TCP port, 1 to 65535. ``site``: the site
        identifier, at most 32 bytes of code page 949 (16 Korean
        characters). ``key``: the site's key material, a str, or bytes-like
        UTF-8 (a bytearray can be wiped by the caller afterwards), at most 32
        bytes of code page 949; it is not kept by the Python object.
        ``connect_timeout``: the connect time limit in one-second waits (0 or
        less: no connect is tried).
        """
        port = operator.index(port)
        if not 1 <= port <= 65535:
            raise ArgumentError("", f"port must be 1 to 65535, not {port}", _native.E_INVALIDARG)
        timeout = _int32("connect_timeout", connect_timeout)
        handle = _native.Handle()
        status, why = handle.configure(port, site, key)
        if status != _native.OK:
            handle.close()
            if status == _native.E_FAIL:
                why = "the library cannot convert texts (memory, or the code page 949 converter)"
            raise error_for(status, "", why)
        handle.set_connect_timeout(timeout)
        self._handle = handle
        self._site = site

    # Configuration and state.

    @property
    def port(self) -> int:
        """The service's TCP port."""
        return self._handle.port()

    @property
    def site(self) -> str:
        """The site identifier."""
        return self._site

    @property
    def connect_timeout(self) -> int:
        """The connect time limit, in one-second waits; settable."""
        return self._handle.connect_timeout()

    @connect_timeout.setter
    def connect_timeout(self, value: int) -> None:
        self._handle.set_connect_timeout(_int32("connect_timeout", value))

    @property
    def host(self) -> str:
        """The server that took the last successful connection (the primary before any)."""
        return self._handle.host()

    @property
    def closed(self) -> bool:
        """True once :meth:`close` has run."""
        return self._handle.is_closed()

    def close(self) -> None:
        """Wipes the key material the library holds and releases the client.

        Waits for a request in flight on another thread. Any later request
        raises :class:`ValueError`; closing again does nothing.
        """
        self._handle.close()

    def __enter__(self) -> Client:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        if self.closed:
            return f"<otpcli.Client site={self._site!r} closed>"
        return (
            f"<otpcli.Client port={self.port} site={self._site!r}"
            f" connect_timeout={self.connect_timeout}>"
        )

    def __reduce__(self) -> NoReturn:
        raise TypeError("an otpcli.Client holds key material and is neither copied nor pickled")

    # Requests. Texts are str (None is refused by the library with P001);
    # limits count bytes of code page 949, where a Korean character takes two.

    def issue(self, user_id: str, *, code_text: str, value_text: str) -> Result:
        """Has the service issue an OTP to the subscriber.

        ``user_id``: the resident registration number (always checked).
        ``code_text``: its first three bytes are sent; ``value_text``: its
        first 11 bytes (for instance a delivery channel and an address).
        """
        return _outcome(self._handle.issue(user_id, code_text, value_text))

    def reissue(
        self,
        user_id: str,
        *,
        code_text: str,
        value_text: str,
        identity_form: IdentityForm = IdentityForm.NUMBER,
    ) -> Result:
        """Has the service issue a new OTP in place of an earlier one."""
        form = _int32("identity_form", identity_form)
        return _outcome(self._handle.reissue(user_id, form, code_text, value_text))

    def check(
        self,
        user_id: str,
        *,
        code_text: str,
        value_text: str,
        identity_form: IdentityForm = IdentityForm.NUMBER,
    ) -> Result:
        """Asks whether the service is available for the subscriber.

        Success carries the message ``"서비스가 가능합니다."``. The number is
        checked whatever the form; :attr:`IdentityForm.TEXT` takes the identity
        text instead.
        """
        form = _int32("identity_form", identity_form)
        return _outcome(self._handle.check(user_id, form, code_text, value_text))

    def addsvc_check(self, *, code_text: str, value_text: str) -> Result:
        """Asks whether an additional service is available (no subscriber)."""
        return _outcome(self._handle.addsvc_check(code_text, value_text))

    def auth(
        self,
        user_id: str,
        *,
        otp: int,
        identity_form: IdentityForm = IdentityForm.NUMBER,
        auth_level: AuthLevel = AuthLevel.LEVEL_1,
        extra_text: str | None = None,
    ) -> Result:
        """Authenticates the OTP that the subscriber entered.

        ``otp``: the password as a number, 0 to 9,999,999 (P002 otherwise).
        ``auth_level``: sent as its last decimal digit. ``extra_text``: at
        most 20 bytes are sent; None sends none.
        """
        form = _int32("identity_form", identity_form)
        level = _int32("auth_level", auth_level)
        return _outcome(self._handle.auth(user_id, form, _otp(otp), level, extra_text))

    def join(self, user_id: str, *, identity_form: IdentityForm = IdentityForm.NUMBER) -> Result:
        """Makes the subscriber a member of the service."""
        form = _int32("identity_form", identity_form)
        return _outcome(self._handle.join(user_id, form))

    def close_membership(
        self, user_id: str, *, identity_form: IdentityForm = IdentityForm.NUMBER
    ) -> Result:
        """Ends the subscriber's membership (the C interface's ``otpcli_close``)."""
        form = _int32("identity_form", identity_form)
        return _outcome(self._handle.close_membership(user_id, form))

    def init_auth_err(
        self, user_id: str, *, identity_form: IdentityForm = IdentityForm.NUMBER
    ) -> Result:
        """Resets the subscriber's count of wrong OTPs, and with it a lock."""
        form = _int32("identity_form", identity_form)
        return _outcome(self._handle.init_auth_err(user_id, form))


def hash_value(text: str) -> str:
    """The 40-character lower-case SHA-1 hex text of ``text`` in code page 949.

    For a resident registration number this is the identity text that
    :attr:`IdentityForm.TEXT` takes. A character that code page 949 lacks
    counts as ``?``.
    """
    status, result = _native.hash_value(text)
    if status == _native.E_POINTER:
        result = "text is None"
    if status != _native.OK:
        raise error_for(status, "", result)
    return result


def set_server_hosts(primary: str, backup: str) -> None:
    """Replaces the primary and backup servers for the whole process.

    Host names or dotted IPv4 addresses, 1 to 255 bytes each; requests then
    go to the primary first, and to the backup after five failed connects in
    a row.
    """
    status, why = _native.set_server_hosts(primary, backup)
    if status == _native.E_POINTER:
        why = "primary and backup must not be None"
    elif status == _native.E_INVALIDARG and not why:
        why = "primary and backup must be host names of 1 to 255 bytes"
    if status != _native.OK:
        raise error_for(status, "", why)
