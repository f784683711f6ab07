#pragma once

// The ASCII character classes that the program reads its texts by (numbers, HTTP messages),
// whatever the C library's locale would say.
namespace quorvane::support {

// '0' to '9'.
constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A blank or a tab.
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace quorvane::support
