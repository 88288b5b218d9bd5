// otpcli: one OTP service request from the command line, through the client
// library. Exit status 0: the service answered "0000"; 1: the request failed;
// 2: the command line was wrong.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>

#include <otpcli/otpcli.h>

#include "key_source.h"
#include "report.h"
#include "utf.h"

namespace {

using otpcli_tool::utf16ToUtf8;
using otpcli_tool::utf8ToUtf16;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kMaxOtpDigits = 9;

struct UsageError {
    std::string message;
};

struct Arguments {
    int port = -1;
    std::string site;
    std::string keyFile;
    std::string hosts;
    std::optional<int> timeout;
    bool json = false;

    std::string userId;
    int form = 0;
    std::string code;
    std::string value;
    std::string otp;
    int level = OTPCLI::AUTH_LEVEL_1;
    std::optional<std::string> extra;
    std::string text;
};

// The arguments of a request as the library takes them.
struct WideArguments {
    std::u16string userId;
    std::u16string code;
    std::u16string value;
    std::optional<std::u16string> extra;
    int otp = 0;
};

const unsigned short* w(const std::u16string& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}

std::u16string wide(std::string_view utf8, const char* what) {
    std::optional<std::u16string> text = utf8ToUtf16(utf8);
    if (!text) {
        throw UsageError{std::string(what) + " is not valid UTF-8"};
    }
    return *text;
}

// The text of a returned string, which it frees.
std::string take(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    const std::u16string units(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    SysFreeString(text);
    return utf16ToUtf8(units);
}

int parseOtp(const std::string& digits) {
    if (digits.empty() || digits.size() > kMaxOtpDigits ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError{"--otp takes 1 to 9 decimal digits"};
    }
    return std::stoi(digits);
}

struct Command {
    bool needsKey;
    std::function<HRESULT(OTPCLI&, const Arguments&, const WideArguments&)> run;
};

const std::map<std::string, Command, std::less<>>& commands() {
    static const std::map<std::string, Command, std::less<>> table{
        {"issue",
         {true,
          [](OTPCLI& c, const Arguments&, const WideArguments& a) {
              return c.reqIssue(w(a.userId), w(a.code), w(a.value));
          }}},
        {"reissue",
         {true,
          [](OTPCLI& c, const Arguments& p, const WideArguments& a) {
              return c.reqReissue(w(a.userId), p.form, w(a.code), w(a.value));
          }}},
        {"check",
         {false,
          [](OTPCLI& c, const Arguments& p, const WideArguments& a) {
              return c.reqCheck(w(a.userId), p.form, w(a.code), w(a.value));
          }}},
        {"addsvc-check",
         {false, [](OTPCLI& c, const Arguments&,
                    const WideArguments& a) { return c.reqAddsvcCheck(w(a.code), w(a.value)); }}},
        {"auth",
         {true,
          [](OTPCLI& c, const Arguments& p, const WideArguments& a) {
              return c.reqAuth(w(a.userId), p.form, a.otp, p.level,
                               a.extra ? w(*a.extra) : nullptr);
          }}},
        {"join",
         {true, [](OTPCLI& c, const Arguments& p,
                   const WideArguments& a) { return c.reqJoin(w(a.userId), p.form); }}},
        {"close",
         {true, [](OTPCLI& c, const Arguments& p,
                   const WideArguments& a) { return c.reqClose(w(a.userId), p.form); }}},
        {"init-auth-err",
         {true, [](OTPCLI& c, const Arguments& p,
                   const WideArguments& a) { return c.reqInitAuthErr(w(a.userId), p.form); }}},
    };
    return table;
}

constexpr char kFormHelp[] =
    "Identity form: 0 number, 1 the 40-character hash, other: unchecked number";
// check tests the number under every form but 1.
constexpr char kCheckFormHelp[] =
    "Identity form: 1 the 40-character hash, any other: number (checked)";

// formHelp: the help of --form, or null for a subcommand without it.
void addIdentity(CLI::App* sub, Arguments& args, const char* formHelp) {
    sub->add_option("id", args.userId, "Resident registration number, or with --form 1 its hash")
        ->required();
    if (formHelp != nullptr) {
        sub->add_option("--form", args.form, formHelp)->capture_default_str();
    }
}

void addCodeValue(CLI::App* sub, Arguments& args) {
    sub->add_option("--code", args.code, "Code text (its first 3 bytes are sent)")->required();
    sub->add_option("--value", args.value, "Value text (its first 11 bytes are sent)")->required();
}

void defineCommandLine(CLI::App& app, Arguments& args) {
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--port", args.port, "TCP port of the service")->check(CLI::Range(0, 65535));
    app.add_option("--site", args.site, "Site identifier");
    app.add_option("--key-file", args.keyFile,
                   "File holding the site's key material (else $OTPCLI_KEY)");
    app.add_option("--hosts", args.hosts, "Servers as PRIMARY[,BACKUP]");
    app.add_option("--timeout", args.timeout, "Connect time limit in seconds")
        ->check(CLI::Range(1, 3600));
    app.add_flag("--json", args.json, "Print the result as a JSON object");

    CLI::App* issue = app.add_subcommand("issue", "Have an OTP issued to a subscriber");
    addIdentity(issue, args, nullptr);
    addCodeValue(issue, args);
    CLI::App* reissue = app.add_subcommand("reissue", "Have the OTP issued again");
    addIdentity(reissue, args, kFormHelp);
    addCodeValue(reissue, args);
    CLI::App* check = app.add_subcommand("check", "Ask whether the service is available");
    addIdentity(check, args, kCheckFormHelp);
    addCodeValue(check, args);
    CLI::App* addsvc = app.add_subcommand(
        "addsvc-check", "Ask whether the service is available for an additional service");
    addCodeValue(addsvc, args);
    CLI::App* auth = app.add_subcommand("auth", "Authenticate a one-time password");
    addIdentity(auth, args, kFormHelp);
    auth->add_option("--otp", args.otp, "The one-time password (decimal digits)")->required();
    auth->add_option("--level", args.level, "Authentication level")->capture_default_str();
    auth->add_option("--extra", args.extra, "Extra text (its first 20 bytes are sent)");
    addIdentity(app.add_subcommand("join", "Join a subscriber to the service"), args, kFormHelp);
    addIdentity(app.add_subcommand("close", "Close a subscriber's membership"), args, kFormHelp);
    addIdentity(app.add_subcommand("init-auth-err", "Reset a subscriber's authentication errors"),
                args, kFormHelp);
    app.add_subcommand("hash", "Print the identity text of a resident registration number")
        ->add_option("text", args.text, "The text to hash")
        ->required();
}

int runHash(const Arguments& args) {
    OTPCLI client;
    BSTR hash = nullptr;
    if (client.hashValue(w(wide(args.text, "the text")), &hash) != S_OK) {
        return kExitFailed;
    }
    std::cout << otpcli_tool::formatHash(take(hash), args.json);
    return kExitOk;
}

void configureHosts(const std::string& hosts) {
    if (hosts.empty()) {
        return;
    }
    const std::size_t comma = hosts.find(',');
    const std::string primary = hosts.substr(0, comma);
    const std::string backup = comma == std::string::npos ? primary : hosts.substr(comma + 1);
    if (backup.find(',') != std::string::npos ||
        OTPCLI::setServerHosts(w(wide(primary, "--hosts")), w(wide(backup, "--hosts"))) != S_OK) {
        throw UsageError{"--hosts takes PRIMARY[,BACKUP], each a host name of 1 to 255 bytes"};
    }
}

int runRequest(const std::string& name, const Arguments& args) {
    const Command& command = commands().find(name)->second;
    if (args.port < 0) {
        throw UsageError{"--port is required"};
    }
    if (args.site.empty()) {
        throw UsageError{"--site is required"};
    }
    std::string key;
    if (command.needsKey || !args.keyFile.empty() ||
        std::getenv(otpcli_tool::kKeyVariable) != nullptr) {
        std::string error;
        std::string warning;
        std::optional<std::string> material =
            otpcli_tool::readKeyMaterial(args.keyFile, error, warning);
        if (!warning.empty()) {
            std::cerr << "otpcli: warning: " << warning << '\n';
        }
        if (!material) {
            throw UsageError{error};
        }
        key = std::move(*material);
    }
    configureHosts(args.hosts);

    OTPCLI client;
    std::optional<std::u16string> wideKey = utf8ToUtf16(key);
    otpcli_tool::wipe(key);
    if (!wideKey) {
        throw UsageError{"the key material is not valid UTF-8"};
    }
    const HRESULT configured = client.init(args.port, w(wide(args.site, "--site")), w(*wideKey));
    otpcli_tool::wipe(*wideKey);
    if (configured != S_OK) {
        throw UsageError{"the site identifier and the key material take at most 32 bytes each"};
    }
    if (args.timeout) {
        client.setConnectTimeout(*args.timeout);
    }
    WideArguments wideArgs{wide(args.userId, "the identity"), wide(args.code, "--code"),
                           wide(args.value, "--value"), std::nullopt, 0};
    if (args.extra) {
        wideArgs.extra = wide(*args.extra, "--extra");
    }
    if (name == "auth") {
        wideArgs.otp = parseOtp(args.otp);
    }

    const HRESULT status = command.run(client, args, wideArgs);
    otpcli_tool::RequestReport report{name, status == S_OK, {}, {}, {}};
    BSTR text = nullptr;
    client.getErrorCode(&text);
    report.code = take(text);
    client.getErrorMesg(&text);
    report.message = take(text);
    client.getHost(&text);
    report.host = take(text);
    std::cout << otpcli_tool::formatRequest(report, args.json);
    return status == S_OK ? kExitOk : kExitFailed;
}

int run(int argc, char** argv) {
    CLI::App app{"Sends one request to the OTP service and prints its result code and message."};
    app.name("otpcli");
    Arguments args;
    defineCommandLine(app, args);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }
    try {
        const std::string name = app.get_subcommands().front()->get_name();
        return name == "hash" ? runHash(args) : runRequest(name, args);
    } catch (const UsageError& e) {
        std::cerr << "otpcli: " << e.message << '\n';
        return kExitUsage;
    }
}
}  // namespace

int main(int argc, char** argv) {
    // Nothing the tool does should throw past here; if something does, say so
    // instead of terminating without a word.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "error: unexpected failure\n";
    }
    return 1;
}
