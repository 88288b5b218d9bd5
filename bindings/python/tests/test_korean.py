"""Korean text both ways: site, key, arguments, messages."""

from __future__ import annotations

import otpcli

from conftest import KOREAN_KEY, KOREAN_SITE, NUMBER, Otpd


def test_korean_site_and_key(otpd: Otpd) -> None:
    for key in (KOREAN_KEY, KOREAN_KEY.encode(), bytearray(KOREAN_KEY.encode())):
        with otpcli.Client(port=otpd.port, site=KOREAN_SITE, key=key) as client:
            client.join(NUMBER)
            client.close_membership(NUMBER)
    # Sixteen Korean characters are 32 bytes of code page 949: the limit.
    with otpcli.Client(port=otpd.port, site="가" * 16, key="열여섯 글자 사이트의 키") as client:
        assert client.site == "가" * 16
        client.join(NUMBER)


def test_korean_arguments_and_messages(otpd: Otpd) -> None:
    with otpcli.Client(port=otpd.port, site=KOREAN_SITE, key=KOREAN_KEY) as client:
        client.join(NUMBER)
        # The value text is cut at 11 bytes: five Korean characters and a space.
        # The code text gives its first three bytes: one Korean character and A.
        client.issue(NUMBER, code_text="문AB", value_text="홍길동에게 보냄")
        otp, *fields = otpd.outbox_lines()[-1]
        assert fields == [otpcli.hash_value(NUMBER), "문A", "홍길동에게"]
        assert client.auth(NUMBER, otp=int(otp), extra_text="한글 부가 정보").code == "0000"
        result = client.check(NUMBER, code_text="문자", value_text="홍길동")
        assert result.message == "서비스가 가능합니다."
        try:
            client.auth(NUMBER, otp=int(otp))
        except otpcli.ServiceError as error:
            assert error.message == "발급된 OTP가 없습니다."
        else:
            raise AssertionError("a used OTP was accepted")
