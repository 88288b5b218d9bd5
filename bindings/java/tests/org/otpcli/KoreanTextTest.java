package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.nio.charset.Charset;
import java.security.MessageDigest;
import java.util.HexFormat;
import org.junit.jupiter.api.Test;

/** Korean and other non-ASCII text, both ways, against a real otpd. */
class KoreanTextTest extends WithOtpd {
    private static final Charset CP949 = Charset.forName("x-windows-949");

    @Test
    void aKoreanSiteWithAKoreanKeyOfThirtyTwoBytes() throws Exception {
        final String number = Numbers.fresh();
        try (OtpClient client = OtpClient.builder().port(otpd.port).site(Otpd.KOREAN_SITE)
                .keyMaterial(Otpd.KOREAN_KEY.toCharArray()).build()) {
            client.join(number, IdentityForm.NUMBER);
            client.issue(number, "SMS", "홍길동 010");
            client.authenticate(number, IdentityForm.NUMBER, otpd.lastOtp(number),
                    AuthLevel.LEVEL_1, "한글 부가정보");
        }
    }

    @Test
    void textsReachTheServiceAsTheyWereWritten() throws Exception {
        final String number = Numbers.fresh();
        try (OtpClient client = otpd.client()) {
            client.join(number, IdentityForm.NUMBER);
            // Five Korean characters are ten bytes: within the eleven the value field holds.
            client.issue(number, "SMS", "홍길동전화");
            assertEquals("홍길동전화", otpd.lastDelivery(OtpClient.hashValue(number))[3]);
            // A character beyond U+FFFF crosses JNI as standard UTF-8 and, lacking in code page
            // 949, is sent as '?'; an unpaired surrogate likewise.
            client.reissue(number, IdentityForm.NUMBER, "SMS", "A\uD83D\uDE00B\uD800C");
            assertEquals("A?B?C", otpd.lastDelivery(OtpClient.hashValue(number))[3]);
        }
    }

    @Test
    void koreanMessagesComeBackWhole() {
        try (OtpClient client = otpd.client()) {
            final String number = Numbers.fresh();
            final OtpRefusedException e = assertThrows(OtpRefusedException.class,
                    () -> client.reissue(number, IdentityForm.NUMBER, "SMS", "010"));
            assertEquals("가입되지 않은 사용자입니다.", e.getResultMessage());
            client.join(number, IdentityForm.NUMBER);
            client.check(number, IdentityForm.NUMBER, "SMS", "010");
        }
    }

    @Test
    void hashValueHashesTheCodePage949Bytes() throws Exception {
        for (String text : new String[] {"홍길동", "8505031234565", "가나다라 ABC", "똠방각하"}) {
            final String expected = HexFormat.of().formatHex(
                    MessageDigest.getInstance("SHA-1").digest(text.getBytes(CP949)));
            assertEquals(expected, OtpClient.hashValue(text), text);
        }
    }
}
