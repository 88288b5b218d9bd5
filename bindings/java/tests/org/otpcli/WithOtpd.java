package org.otpcli;

import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;

/** Base of the test classes that run against one real otpd, started once for the class. */
abstract class WithOtpd {
    static Otpd otpd;

    @BeforeAll
    static void startService() throws Exception {
        OtpClient.setServerHosts("127.0.0.1", "127.0.0.1");
        otpd = Otpd.start();
    }

    @AfterAll
    static void stopService() throws Exception {
        otpd.close();
    }
}
