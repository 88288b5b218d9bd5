// The library's version, kept in the binary for `strings` and crash reports
// and handed out by the C interface.
#include <cstdint>
#include <string_view>

#include <otpcli/otpcli_c.h>

#define OTPCLI_TEXT(x) #x
#define OTPCLI_DOTTED(major, minor, patch) \
    OTPCLI_TEXT(major) "." OTPCLI_TEXT(minor) "." OTPCLI_TEXT(patch)

static_assert(std::string_view(OTPCLI_VERSION) ==
                  OTPCLI_DOTTED(OTPCLI_VERSION_MAJOR, OTPCLI_VERSION_MINOR, OTPCLI_VERSION_PATCH),
              "the version macros of <otpcli/otpcli_c.h> differ from the project's version");

namespace {
constexpr char kPrefix[] = "otpcli ";
}

extern "C" {

const char otpcli_version[] = "otpcli " OTPCLI_VERSION;

uint32_t OTPCLI_CALL otpcli_version_number(void) {
    return OTPCLI_VERSION_NUMBER;
}

const char* OTPCLI_CALL otpcli_version_string(void) {
    return otpcli_version + sizeof kPrefix - 1;
}

}  // extern "C"
