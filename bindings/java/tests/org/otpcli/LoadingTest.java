package org.otpcli;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/** The ways the native library is found, each in a JVM of its own. */
class LoadingTest {
    private static final String HASH = "a9993e364706816aba3e25717850c26c9cd0d89d";

    private record Run(int exit, String output) {}

    private static Path jniLibrary() {
        return Path.of(System.getProperty("otpcli.test.jni")).toAbsolutePath();
    }

    private static Run java(List<String> options, String... args) throws IOException,
            InterruptedException {
        final List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        command.addAll(options);
        command.add("-cp");
        command.add(System.getProperty("java.class.path"));
        command.add(LoadProbe.class.getName());
        command.addAll(List.of(args));
        final Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        final String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(30, TimeUnit.SECONDS), "the child JVM did not end");
        return new Run(p.exitValue(), output.strip());
    }

    @Test
    void fromJavaLibraryPath() throws Exception {
        final Run run = java(List.of("-Djava.library.path=" + jniLibrary().getParent()));
        assertEquals(0, run.exit, run.output);
        assertEquals(OtpClient.libraryVersion() + " " + HASH, run.output);
    }

    @Test
    void fromAnAbsolutePathInTheSystemProperty() throws Exception {
        final Run run = java(List.of("-Djava.library.path=/nonexistent",
                "-Dorg.otpcli.library=" + jniLibrary()));
        assertEquals(0, run.exit, run.output);
        assertTrue(run.output.endsWith(HASH), run.output);
    }

    @Test
    void fromAnAbsolutePathGivenOnce() throws Exception {
        final Run run = java(List.of("-Djava.library.path=/nonexistent"), jniLibrary().toString());
        assertEquals(0, run.exit, run.output);
        assertTrue(run.output.endsWith(HASH), run.output);
    }

    @Test
    void notFoundSaysWhereItLooked() throws Exception {
        final Run missing = java(List.of("-Djava.library.path=/nonexistent"));
        assertEquals(3, missing.exit, missing.output);
        assertTrue(missing.output.contains("org.otpcli.library"), missing.output);
        final Run relative = java(List.of(), "libotpcli_jni.so");
        assertEquals(3, relative.exit, relative.output);
        assertTrue(relative.output.startsWith("IllegalArgumentException"), relative.output);
    }

    @Test
    void anotherPathOnceLoadedIsRefused() {
        OtpClient.libraryVersion();
        assertThrows(IllegalStateException.class,
                () -> OtpClient.loadLibrary(Path.of("/elsewhere/libotpcli_jni.so")));
    }
}
