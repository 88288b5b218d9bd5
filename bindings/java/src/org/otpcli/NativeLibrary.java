package org.otpcli;

import java.nio.file.Path;

/**
 * Loads libotpcli_jni once per JVM: from the absolute path given to {@link OtpClient#loadLibrary}
 * or in the system property {@value #PATH_PROPERTY}, else by name from {@code java.library.path}.
 */
final class NativeLibrary {
    static final String PATH_PROPERTY = "org.otpcli.library";
    static final String NAME = "otpcli_jni";

    /** Where the library came from; null until it is loaded. */
    private static String loadedFrom;

    private NativeLibrary() {}

    static synchronized void load(Path file) {
        if (!file.isAbsolute()) {
            throw new IllegalArgumentException("not an absolute path: " + file);
        }
        final String path = file.normalize().toString();
        if (loadedFrom != null) {
            if (loadedFrom.equals(path)) {
                return;
            }
            throw new IllegalStateException("the otpcli native library is already loaded from "
                    + loadedFrom);
        }
        System.load(path);
        loadedFrom = path;
    }

    static synchronized void ensureLoaded() {
        if (loadedFrom != null) {
            return;
        }
        final String property = System.getProperty(PATH_PROPERTY);
        if (property != null && !property.isEmpty()) {
            load(Path.of(property));
            return;
        }
        try {
            System.loadLibrary(NAME);
        } catch (UnsatisfiedLinkError e) {
            final UnsatisfiedLinkError error = new UnsatisfiedLinkError(
                    System.mapLibraryName(NAME) + " is not on java.library.path ("
                    + System.getProperty("java.library.path") + "); set java.library.path, the"
                    + " system property " + PATH_PROPERTY + " to its absolute path, or call"
                    + " OtpClient.loadLibrary");
            error.initCause(e);
            throw error;
        }
        loadedFrom = "java.library.path";
    }
}
