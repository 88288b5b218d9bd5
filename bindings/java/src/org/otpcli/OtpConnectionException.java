package org.otpcli;

/**
 * No server could be connected (N001), or the request or the reply did not go through whole
 * (N002).
 */
public class OtpConnectionException extends OtpException {
    private static final long serialVersionUID = 1L;

    OtpConnectionException(String code, String message) {
        super(code, message);
    }
}
