// The floor for the example program's peak resident size: a C++ program that
// links the same C++ runtime and prints a few lines, without the library.
#include <cstdio>
#include <string>

int main() {
    const std::u16string site = u"DEMO-SITE";
    std::printf("a program without the library: %zu\n", site.size());
    return 0;
}
