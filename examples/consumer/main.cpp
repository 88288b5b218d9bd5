// Hashes an identity and reads the state of a fresh client object through the
// C++ companion header.
#include <cstdio>

#include <otpcli/otpcli.hpp>

int main() {
    OTPCLI client;
    if (client.init(9100, otpcli::Text("CONSUMER"), otpcli::Text("consumer key")) != S_OK) {
        return 1;
    }
    const std::string hash = otpcli::hashValue(client, otpcli::Text("abc"));
    std::printf("hash of abc: %s\n", hash.c_str());
    otpcli::ReturnedString host;
    client.getHost(host.out());
    std::printf("server: %s\n", host.utf8().c_str());
    return hash == "a9993e364706816aba3e25717850c26c9cd0d89d" ? 0 : 1;
}
