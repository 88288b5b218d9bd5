package org.otpcli;

/**
 * An argument refused before anything was sent: a null text (P001), an OTP out of range (P002), an
 * identity of the wrong form (P003), a text holding NUL (J001), a configuration text the library
 * refused (J002).
 */
public class OtpArgumentException extends OtpException {
    private static final long serialVersionUID = 1L;

    OtpArgumentException(String code, String message) {
        super(code, message);
    }
}
