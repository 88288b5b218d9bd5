// Conversion of a request's text arguments.
#pragma once

#include "client/ansi_text.h"
#include "requests/outcome.h"
#include "requests/text_argument.h"

namespace otpcli {

// Converts a text argument (not null); sets out to A001 when its memory cannot
// be had, to E001 when it cannot be converted (no converter for a character
// beyond ASCII, or a length beyond what a conversion takes). A UTF-8 argument
// that is not well-formed leaves an empty code and message with E_INVALIDARG.
inline bool convertArgument(AnsiText& text, TextArgument argument, Outcome& out) noexcept {
    if (argument.utf8() == nullptr) {
        switch (text.assign(argument.utf16())) {
            case Conversion::done:
                return true;
            case Conversion::noMemory:
                out.set(kOutOfMemory);
                return false;
            case Conversion::tooLong:
            case Conversion::failed:
                break;
        }
        out.set(kConversionFailed);
        return false;
    }
    switch (text.assignUtf8(argument.utf8())) {
        case AnsiText::Utf8Status::converted:
            return true;
        case AnsiText::Utf8Status::noMemory:
            out.set(kOutOfMemory);
            break;
        case AnsiText::Utf8Status::malformed:
            out.set(Result{"", ""}, E_INVALIDARG);
            break;
        case AnsiText::Utf8Status::unavailable:
            out.set(kConversionFailed);
            break;
    }
    return false;
}

// Converts the identity argument and, when a resident registration number is
// expected, tests it with checkNumber (P003 when it fails).
inline bool convertIdentity(AnsiText& id, TextArgument userId, bool numberExpected,
                            NumberCheck checkNumber, Outcome& out) noexcept {
    if (!convertArgument(id, userId, out)) {
        return false;
    }
    if (numberExpected && !checkNumber(id.c_str())) {
        out.set(kBadResidentNumber);
        return false;
    }
    return true;
}

// Converts the two texts of the code-and-value pair.
inline bool convertCodeAndValue(AnsiText& code, AnsiText& value, TextArgument codeText,
                                TextArgument valueText, Outcome& out) noexcept {
    return convertArgument(code, codeText, out) && convertArgument(value, valueText, out);
}

}  // namespace otpcli
