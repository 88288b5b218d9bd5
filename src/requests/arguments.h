// Conversion of a request's text arguments.
#pragma once

#include "client/ansi_text.h"
#include "requests/outcome.h"

namespace otpcli {

// Converts a text argument (not null); sets out to A001 when its memory cannot
// be had, to E001 when it cannot be converted (no converter for a character
// beyond ASCII, or a length beyond what a conversion takes).
inline bool convertArgument(AnsiText& text, const unsigned short* argument, Outcome& out) noexcept {
    switch (text.assign(argument)) {
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

// Converts the identity argument and, when a resident registration number is
// expected, tests it with checkNumber (P003 when it fails).
template <typename CheckNumber>
bool convertIdentity(AnsiText& id, const unsigned short* userId, bool numberExpected,
                     CheckNumber checkNumber, Outcome& out) noexcept {
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
inline bool convertCodeAndValue(AnsiText& code, AnsiText& value, const unsigned short* codeText,
                                const unsigned short* valueText, Outcome& out) noexcept {
    return convertArgument(code, codeText, out) && convertArgument(value, valueText, out);
}

}  // namespace otpcli
