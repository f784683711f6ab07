#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// What the fuzz targets share: the libFuzzer entry point, which the replay program calls too,
// and the check that stops a run when one of the program's rules does not hold.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace quorvane::fuzz {

// Prints the broken rule and aborts, so that libFuzzer keeps the input as a crash and the
// replay test fails.
[[noreturn]] inline void ruleBroken(const char* rule, const std::string& detail, const char* file,
                                    int line) {
    std::fprintf(stderr, "%s:%d: rule broken: %s\n", file, line, rule);
    if (!detail.empty()) {
        std::fprintf(stderr, "    %s\n", detail.c_str());
    }
    std::abort();
}

// The input's bytes as text.
inline std::string_view inputText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The display pattern "#,##0.0": an optional minus, digits grouped by three with commas and no
// leading zero, a point and one digit; a zero carries no sign.
inline bool isDisplayPattern(std::string_view text) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    if (text.size() < 3 || text[text.size() - 2] != '.' || !isDigit(text.back())) {
        return false;
    }
    const std::string_view whole = text.substr(0, text.size() - 2);
    for (std::size_t fromRight = 0; fromRight < whole.size(); ++fromRight) {
        const char c = whole[whole.size() - 1 - fromRight];
        if (fromRight % 4 == 3 ? c != ',' : !isDigit(c)) {
            return false;
        }
    }
    if (whole.size() % 4 == 0 || (whole.size() > 1 && whole.front() == '0')) {
        return false;
    }
    return !negative || text.find_first_not_of("0,.") != std::string_view::npos;
}

} // namespace quorvane::fuzz

// Checks `condition`; `detail` (a std::string expression) is built only when it fails.
#define QUORVANE_FUZZ_CHECK(condition, detail)                                                     \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            ::quorvane::fuzz::ruleBroken(#condition, (detail), __FILE__, __LINE__);                \
        }                                                                                          \
    } while (false)
