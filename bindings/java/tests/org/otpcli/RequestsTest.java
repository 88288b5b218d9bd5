package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;

/** Every request through the jar against a real otpd, with the outcomes the service gives. */
class RequestsTest extends WithOtpd {

    @Test
    void configurationReadsBack() {
        try (OtpClient client = OtpClient.builder().port(otpd.port).site(Otpd.SITE)
                .keyMaterial(Otpd.KEY).connectTimeout(3).build()) {
            assertEquals(otpd.port, client.port());
            assertEquals(3, client.connectTimeout());
            assertEquals("127.0.0.1", client.host());
        }
        try (OtpClient client = otpd.client()) {
            assertEquals(OtpClient.DEFAULT_CONNECT_TIMEOUT, client.connectTimeout());
        }
    }

    @Test
    void aSubscribersWholeLife() throws Exception {
        final String number = Numbers.fresh();
        try (OtpClient client = otpd.client()) {
            // Not yet a member: the service refuses the check.
            OtpRefusedException e = assertThrows(OtpRefusedException.class,
                    () -> client.check(number, IdentityForm.NUMBER, "SMS", "01012345678"));
            assertEquals("S101", e.getCode());

            client.join(number, IdentityForm.NUMBER);
            e = assertThrows(OtpRefusedException.class,
                    () -> client.join(number, IdentityForm.NUMBER));
            assertEquals("S102", e.getCode());
            client.check(number, IdentityForm.NUMBER, "SMS", "01012345678");
            client.checkAdditionalService("ADD", "01012345678");

            client.issue(number, "SMS", "01012345678");
            final String[] delivery = otpd.lastDelivery(OtpClient.hashValue(number));
            assertEquals("SMS", delivery[2]);
            assertEquals("01012345678", delivery[3]);
            final int otp = Integer.parseInt(delivery[0]);
            e = assertThrows(OtpRefusedException.class, () -> client.authenticate(
                    number, IdentityForm.NUMBER, (otp + 1) % 1000000, AuthLevel.LEVEL_1, null));
            assertEquals("S103", e.getCode());
            client.authenticate(number, IdentityForm.NUMBER, otp, AuthLevel.LEVEL_1, "web login");
            assertEquals("127.0.0.1", client.host());
            // An OTP is used up by its success.
            e = assertThrows(OtpRefusedException.class, () -> client.authenticate(
                    number, IdentityForm.NUMBER, otp, AuthLevel.LEVEL_1, null));
            assertEquals("S104", e.getCode());

            // The identity text stands for the number.
            final String identity = OtpClient.hashValue(number);
            client.reissue(identity, IdentityForm.IDENTITY_TEXT, "SMS", "01012345678");
            client.authenticate(identity, IdentityForm.IDENTITY_TEXT, otpd.lastOtp(number),
                    AuthLevel.LEVEL_2, null);

            client.closeMembership(number, IdentityForm.NUMBER);
            e = assertThrows(OtpRefusedException.class,
                    () -> client.issue(number, "SMS", "01012345678"));
            assertEquals("S101", e.getCode());
        }
    }

    @Test
    void resetAuthErrorsLiftsTheLock() throws Exception {
        final String number = Numbers.fresh();
        try (OtpClient client = otpd.client()) {
            client.join(number, IdentityForm.NUMBER);
            client.issue(number, "SMS", "01012345678");
            final int wrong = (otpd.lastOtp(number) + 1) % 1000000;
            for (int i = 0; i < 5; ++i) {
                assertThrows(OtpRefusedException.class, () -> client.authenticate(
                        number, IdentityForm.NUMBER, wrong, AuthLevel.LEVEL_1, null));
            }
            final OtpRefusedException locked = assertThrows(OtpRefusedException.class,
                    () -> client.issue(number, "SMS", "01012345678"));
            assertEquals("S106", locked.getCode());

            client.resetAuthErrors(number, IdentityForm.NUMBER);
            client.issue(number, "SMS", "01012345678");
            client.authenticate(number, IdentityForm.UNCHECKED, otpd.lastOtp(number),
                    AuthLevel.LEVEL_1, null);
        }
    }

    @Test
    void hashValueIsTheSha1HexOfTheText() {
        assertEquals("a9993e364706816aba3e25717850c26c9cd0d89d", OtpClient.hashValue("abc"));
        assertEquals("da39a3ee5e6b4b0d3255bfef95601890afd80709", OtpClient.hashValue(""));
    }

    @Test
    void theKeyMaterialMayBeAStringACharArrayOrUtf8Bytes() throws Exception {
        final String number = Numbers.fresh();
        final char[] chars = Otpd.KEY.toCharArray();
        final byte[] bytes = Otpd.KEY.getBytes(java.nio.charset.StandardCharsets.UTF_8);
        final OtpClient.Builder[] builders = {
            OtpClient.builder().keyMaterial(Otpd.KEY),
            OtpClient.builder().keyMaterial(chars),
            OtpClient.builder().keyMaterial(bytes),
        };
        for (OtpClient.Builder builder : builders) {
            // A sealed request the service can open only with the right key.
            try (OtpClient client = builder.port(otpd.port).site(Otpd.SITE).build()) {
                client.join(number, IdentityForm.NUMBER);
                client.closeMembership(number, IdentityForm.NUMBER);
            }
        }
        // The caller's arrays are the caller's: the binding wiped only its copies.
        assertEquals(Otpd.KEY, new String(chars));
        assertEquals(Otpd.KEY, new String(bytes, java.nio.charset.StandardCharsets.UTF_8));

        try (OtpClient wrongKey = OtpClient.builder().port(otpd.port).site(Otpd.SITE)
                .keyMaterial("another key").build()) {
            final OtpRefusedException e = assertThrows(OtpRefusedException.class,
                    () -> wrongKey.join(number, IdentityForm.NUMBER));
            assertEquals("S202", e.getCode());
        }
    }
}
