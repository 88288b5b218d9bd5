#include "arguments.h"

#include <string_view>

namespace otpcli::pam {

bool parseArguments(int argc, const char** argv, Arguments& arguments, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        if (argv == nullptr || argv[i] == nullptr) {
            error = "missing argument";
            return false;
        }
        const std::string_view argument = argv[i];
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : argument.substr(equals + 1);
        const bool hasValue = equals != std::string_view::npos;
        if (name == "config" && hasValue && !value.empty() && value.front() == '/') {
            arguments.config = value;
        } else if (name == "prompt" && hasValue && value.size() <= 200) {
            arguments.prompt = value;
        } else if (name == "deliver" && !hasValue) {
            arguments.deliver = true;
        } else if (name == "unknown_user" && value == "fail") {
            arguments.unknownUser = UnknownUser::Fail;
        } else if (name == "unknown_user" && value == "ignore") {
            arguments.unknownUser = UnknownUser::Ignore;
        } else if (name == "try_first_pass" && !hasValue) {
            arguments.firstPass = FirstPass::Try;
        } else if (name == "use_first_pass" && !hasValue) {
            arguments.firstPass = FirstPass::Use;
        } else {
            error = "unknown or malformed argument '" + std::string(argument.substr(0, 64)) + "'";
            return false;
        }
    }
    return true;
}

}  // namespace otpcli::pam
