#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::gateway {

// The token file's name, looked up in the current folder.
inline constexpr std::string_view kTokenFileName = "mytoken.txt";

// The first field of a token file's bytes: leading blanks skipped; it ends at the first comma,
// CR, LF or the end; a field opening with a double quote runs to the next quote, quotes dropped.
std::string firstField(std::string_view bytes);

// The result of reading the token file.
struct TokenRead {
    // The token; empty for an empty file.
    std::string token;
    // Set when something of that name exists but could not be read (also a folder): one line
    // naming the file and the cause.
    std::string problem;
};

// Reads the first field of the first 64 KiB of the token file at `path` (UTF-8 from the system
// code page). nullopt when nothing of that name exists.
std::optional<TokenRead> readTokenFile(const std::filesystem::path& path);

// Replaces the token file with exactly the token's bytes, no line end, readable by its owner
// only. Raises a file failure and keeps the old file when it cannot.
void writeTokenFile(const std::filesystem::path& path, std::string_view token);

// The token as it goes into the Authorization header: leading and trailing blanks, tabs, CR
// and LF left out. nullopt when white space or a control character stands inside it, so a
// token can never break a header line.
std::optional<std::string> headerToken(std::string_view token);

} // namespace quorvane::gateway
