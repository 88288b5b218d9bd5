package org.otpcli;

import java.util.Set;

/**
 * A request or a configuration that did not succeed, with its four-character result code and
 * message.
 *
 * <p>Unchecked: a method returns normally only when the service answered "0000", so a failure that
 * a caller does not catch can never read as success; web applications translate these exceptions
 * in one place (a handler or a filter) rather than at every call; and the pure functions ({@link
 * OtpClient#hashValue}) stay usable in lambdas. The subclasses tell the kinds apart:
 *
 * <ul>
 *   <li>{@link OtpArgumentException}: an argument was refused before anything was sent;
 *   <li>{@link OtpConnectionException}: no server could be reached, or the exchange broke off;
 *   <li>{@link OtpRefusedException}: the service answered with a code of its own.
 * </ul>
 *
 * This class itself is thrown for the library's remaining failures: memory that could not be had
 * (A001), an identity that could not be sealed (C001), a code page converter that could not be had
 * (E001), a reply without a result code (Z001).
 */
public class OtpException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** A text argument holds the NUL character (the binding's own code). */
    public static final String TEXT_WITH_NUL = "J001";
    /**
     * A configuration value refused: a text too long, empty or malformed, a port outside 0 to
     * 65535 (the binding's own code).
     */
    public static final String VALUE_REFUSED = "J002";

    private static final Set<String> ARGUMENT_CODES = Set.of("P001", "P002", "P003");
    private static final Set<String> CONNECTION_CODES = Set.of("N001", "N002");
    private static final Set<String> LIBRARY_CODES = Set.of("A001", "C001", "E001", "Z001");

    private final String code;
    private final String resultMessage;

    OtpException(String code, String resultMessage) {
        super(code + ": " + resultMessage);
        this.code = code;
        this.resultMessage = resultMessage;
    }

    /** The result code: the library's (P001...Z001), the binding's (J001, J002) or the service's. */
    public String getCode() {
        return code;
    }

    /** The message that came with the code (the library's and the service's are Korean). */
    public String getResultMessage() {
        return resultMessage;
    }

    /** The exception of the kind that the code names. */
    static OtpException of(String code, String message) {
        if (ARGUMENT_CODES.contains(code) || code.startsWith("J")) {
            return new OtpArgumentException(code, message);
        }
        if (CONNECTION_CODES.contains(code)) {
            return new OtpConnectionException(code, message);
        }
        if (LIBRARY_CODES.contains(code) || code.isEmpty()) {
            return new OtpException(code.isEmpty() ? "Z001" : code, message);
        }
        return new OtpRefusedException(code, message);
    }
}
