#pragma once
// Names for parameterised cases, so that a case is listed by what it shows
// rather than by the bytes of its parameter.

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>

namespace testsupport {

// `text` as a test name: ASCII letters and digits kept, every run of other
// characters between them one '_' ("a:X / b" gives "a_X_b").
inline std::string identifier(std::string_view text)
{
    std::string name;
    bool gap = false;
    for (const char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            if (gap && !name.empty())
                name += '_';
            name += c;
            gap = false;
        } else {
            gap = true;
        }
    }
    return name;
}

// A number as a test name, to 15 digits: -21.05 gives "minus21_05".
inline std::string numberName(double value)
{
    std::ostringstream text;
    text << std::setprecision(15) << value;
    const std::string digits = text.str();
    return digits.starts_with('-') ? "minus" + identifier(digits.substr(1)) : identifier(digits);
}

// Names a case after its `name` member.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return identifier(info.param.name);
    }
};

}  // namespace testsupport
