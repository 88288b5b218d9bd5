package org.otpcli;

import java.nio.file.Path;

/**
 * A program for LoadingTest's child JVMs: loads the library from the path in its argument, if any,
 * and prints the library's version and a hash.
 */
public final class LoadProbe {
    private LoadProbe() {}

    public static void main(String[] args) {
        try {
            if (args.length > 0) {
                OtpClient.loadLibrary(Path.of(args[0]));
                OtpClient.loadLibrary(Path.of(args[0]));  // the same path again does nothing
            }
            System.out.println(OtpClient.libraryVersion() + " " + OtpClient.hashValue("abc"));
        } catch (UnsatisfiedLinkError | IllegalArgumentException e) {
            System.out.println(e.getClass().getSimpleName() + ": " + e.getMessage());
            System.exit(3);
        }
    }
}
