"""The small types of the package: identity forms, authentication levels, results."""

from __future__ import annotations

import dataclasses
import enum

from . import _native


class IdentityForm(enum.IntEnum):
    """How a request's ``user_id`` names the subscriber."""

    NUMBER = _native.IDENTITY_NUMBER
    """A 13-digit resident registration number: its check digit is tested, then it is hashed."""

    TEXT = _native.IDENTITY_TEXT
    """The 40-character identity text that :func:`otpcli.hash_value` gives for the number."""

    UNCHECKED = 2
    """Any text, hashed without the number check (``check`` tests the number all the same)."""


class AuthLevel(enum.IntEnum):
    """The authentication level of :meth:`otpcli.Client.auth`."""

    LEVEL_1 = _native.AUTH_LEVEL_1
    LEVEL_2 = _native.AUTH_LEVEL_2


@dataclasses.dataclass(frozen=True)
class Result:
    """What a successful request returns.

    ``code`` is ``"0000"``; ``message`` is empty, or ``"서비스가 가능합니다."``
    ("the service is available") for the two service checks; ``host`` is the
    server that answered.
    """

    code: str
    message: str
    host: str
