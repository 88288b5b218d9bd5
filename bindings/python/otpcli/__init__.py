"""Client of the one-time-password (OTP) authentication service.

>>> import otpcli
>>> with otpcli.Client(port=9100, site="MYSITE", key=key) as client:
...     client.join("8505031234565")
...     client.issue("8505031234565", code_text="SMS", value_text="01012345678")
...     client.auth("8505031234565", otp=123456)

A :class:`Client` holds the service's port, the site identifier and the key
material; it sends one request per method call and returns a :class:`Result`
on success. Every failure raises an :class:`OtpError`, by kind:
:class:`ArgumentError` (P001-P003, and arguments refused before any request),
:class:`NetworkError` (N001, N002), :class:`ServiceError` (the service's own
codes) and :class:`InternalError` (A001, C001, E001, Z001); each carries ``code``,
``message`` and ``status``.

The package is built on the C interface of libotpcli (``<otpcli/otpcli_c.h>``):
texts go in and come back as str, converted to and from code page 949 by the
library.
"""

from . import _native
from ._client import Client, Key, hash_value, set_server_hosts
from ._errors import ArgumentError, InternalError, NetworkError, OtpError, ServiceError
from ._types import AuthLevel, IdentityForm, Result

__all__ = [
    "ArgumentError",
    "AuthLevel",
    "Client",
    "IdentityForm",
    "InternalError",
    "Key",
    "NetworkError",
    "OtpError",
    "Result",
    "ServiceError",
    "hash_value",
    "library_version",
    "set_server_hosts",
]


# The public names show as otpcli.X in tracebacks, reprs and help().
for _public in (ArgumentError, AuthLevel, Client, IdentityForm, InternalError, NetworkError,
                OtpError, Result, ServiceError, hash_value, set_server_hosts):
    _public.__module__ = __name__
del _public


def library_version() -> str:
    """The version of the libotpcli that is running, for instance ``"1.1.0"``."""
    return _native.version()


__version__: str = library_version()
