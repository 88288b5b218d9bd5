package org.otpcli;

/**
 * The service answered with a result code of its own other than "0000": a wrong OTP, a subscriber
 * who is not a member, a locked subscriber, an unknown site, and so on.
 */
public class OtpRefusedException extends OtpException {
    private static final long serialVersionUID = 1L;

    OtpRefusedException(String code, String message) {
        super(code, message);
    }
}
