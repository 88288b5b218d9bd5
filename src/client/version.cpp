// The library's version, kept in the binary for `strings` and crash reports.
extern "C" const char otpcli_version[] = "otpcli " OTPCLI_VERSION;
