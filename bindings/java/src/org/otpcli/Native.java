package org.otpcli;

/**
 * The library's C interface, one native method per function. Texts go both ways as UTF-8 byte
 * arrays without a terminator (null for a null text); statuses are the C interface's. Callers load
 * the library first ({@link NativeLibrary#ensureLoaded}) and never call with a released handle.
 */
final class Native {
    static final int OK = 0;
    static final int E_POINTER = 0x80004003;
    static final int E_INVALIDARG = 0x80070057;
    static final int E_FAIL = 0x80004005;

    private Native() {}

    /** A new handle; throws OutOfMemoryError when the library cannot make one. */
    static native long create();

    static native void destroy(long handle);

    static native int init(long handle, int port, byte[] siteId, byte[] keyMaterial);

    static native int setConnectTimeout(long handle, int timeout);

    static native int connectTimeout(long handle);

    static native int port(long handle);

    static native int issue(long handle, byte[] userId, byte[] codeText, byte[] valueText);

    static native int reissue(
            long handle, byte[] userId, int identityForm, byte[] codeText, byte[] valueText);

    static native int check(
            long handle, byte[] userId, int identityForm, byte[] codeText, byte[] valueText);

    static native int addsvcCheck(long handle, byte[] codeText, byte[] valueText);

    static native int auth(
            long handle,
            byte[] userId,
            int identityForm,
            int otpValue,
            int authLevel,
            byte[] extraText);

    static native int join(long handle, byte[] userId, int identityForm);

    static native int close(long handle, byte[] userId, int identityForm);

    static native int initAuthErr(long handle, byte[] userId, int identityForm);

    static native byte[] resultCode(long handle);

    static native byte[] resultMessage(long handle);

    static native byte[] host(long handle);

    /** The 40 hex characters, or null when the library refuses the text. */
    static native byte[] hashValue(byte[] text);

    static native int setServerHosts(byte[] primary, byte[] backup);

    static native byte[] versionString();
}
