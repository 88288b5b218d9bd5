// Creates a client object, configures it and prints its state.
#include <cstdio>
#include <string>

#include <otpcli/otpcli.h>

namespace {

std::string narrow(BSTR text) {
    std::string out;
    if (text != nullptr) {
        for (unsigned int i = 0; i < SysStringLen(text); ++i) {
            out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
        }
        SysFreeString(text);
    }
    return out;
}

}  // namespace

int main() {
    OTPCLI client;
    const std::u16string site = u"DEMO-SITE";
    const std::u16string key = u"demo key material";
    const HRESULT status = client.init(9100, reinterpret_cast<const unsigned short*>(site.c_str()),
                                       reinterpret_cast<const unsigned short*>(key.c_str()));
    int port = 0;
    int timeout = 0;
    client.getPort(&port);
    client.getConnectTimeout(&timeout);
    BSTR host = nullptr;
    client.getHost(&host);
    std::printf("init status: 0x%08x\n", static_cast<unsigned int>(status));
    std::printf("port: %d\nconnect timeout: %d s\nserver: %s\n", port, timeout,
                narrow(host).c_str());
    return status == S_OK ? 0 : 1;
}
