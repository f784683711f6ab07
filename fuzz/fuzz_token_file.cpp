// Fuzz target: the token file. The input is a token file's bytes: its first field is checked
// against the file rules, and the bytes go through a real token file in a temporary folder and
// back.

#include "common/testdoubles.h"
#include "fuzzcheck.h"
#include "gateway/tokenfile.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

using namespace quorvane;

// Only the first 64 KiB of a token file are read.
constexpr std::size_t kReadLimit = 64 * 1024;

// One folder for the whole run: a fresh folder per input would cost more than the work.
const std::filesystem::path& tokenPath() {
    static const testing::TempDir folder;
    static const std::filesystem::path path = folder / std::string(gateway::kTokenFileName);
    return path;
}

bool hasAny(std::string_view text, std::string_view bytes) {
    return text.find_first_of(bytes) != std::string_view::npos;
}

// Bytes that the file can hold and give back unchanged: no field break or quote in them, nothing
// skipped in front, nothing cut off at the end.
bool keptWhole(std::string_view token) {
    if (token.empty() || token.front() == ' ' || token.front() == '"' ||
        hasAny(token, std::string_view(",\r\n", 3)) || token.size() > kReadLimit) {
        return false;
    }
#ifdef _WIN32
    // The file is in the ANSI code page, which holds only part of what UTF-8 can say.
    return std::all_of(token.begin(), token.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
#else
    return true;
#endif
}

void checkFirstField(std::string_view bytes) {
    const std::string field = gateway::firstField(bytes);
    const std::string detail = "first field \"" + field + "\"";
    QUORVANE_FUZZ_CHECK(field.size() <= bytes.size() && bytes.find(field) != std::string::npos,
                        detail);
    const auto start = bytes.find_first_not_of(' ');
    const bool quoted = start != std::string_view::npos && bytes[start] == '"';
    if (quoted) {
        QUORVANE_FUZZ_CHECK(field.find('"') == std::string::npos, detail);
    } else {
        QUORVANE_FUZZ_CHECK(!hasAny(field, std::string_view(",\r\n", 3)), detail);
        QUORVANE_FUZZ_CHECK(field.empty() || field.front() != ' ', detail);
    }

    const auto header = gateway::headerToken(field);
    if (header) {
        const bool clean = std::none_of(header->begin(), header->end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte <= 0x20 || byte == 0x7F;
        });
        QUORVANE_FUZZ_CHECK(clean && field.find(*header) != std::string::npos,
                            "header token \"" + *header + "\" of " + detail);
    }
}

void checkRoundTrip(std::string_view bytes) {
    const auto& path = tokenPath();
    gateway::writeTokenFile(path, bytes);
    const auto read = gateway::readTokenFile(path);
    QUORVANE_FUZZ_CHECK(read && read->problem.empty(),
                        read ? read->problem : std::string("the written file is missing"));
    if (keptWhole(bytes)) {
        QUORVANE_FUZZ_CHECK(read->token == bytes, "read back as \"" + read->token + "\"");
    }
#ifndef _WIN32
    // Elsewhere the code page is UTF-8 and the file gives back the first field of what was
    // written, as far as it is read.
    QUORVANE_FUZZ_CHECK(read->token == gateway::firstField(bytes.substr(0, kReadLimit)),
                        "read back as \"" + read->token + "\"");
    std::error_code error;
    const auto permissions = std::filesystem::status(path, error).permissions();
    QUORVANE_FUZZ_CHECK(!error && (permissions & (std::filesystem::perms::group_all |
                                                  std::filesystem::perms::others_all)) ==
                                      std::filesystem::perms::none,
                        "the token file is readable by others");
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = quorvane::fuzz::inputText(data, size);
    checkFirstField(bytes);
    checkRoundTrip(bytes);
    return 0;
}
