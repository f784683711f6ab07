#include "gateway/tokenfile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "support/filereplace.h"
#include "support/systemtext.h"

namespace quorvane::gateway {

namespace {

// Only this much of the file is looked at: a token is a few hundred bytes, and a huge file
// put there by mistake must not fill memory.
constexpr std::size_t kReadLimit = 64 * 1024;

bool isBreak(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

// A byte that must not stand inside a header value: blanks, tabs, line ends, other controls.
bool isBlankOrControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

bool isTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string firstField(std::string_view bytes) {
    std::size_t start = bytes.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return {};
    }
    if (bytes[start] == '"') {
        const std::size_t close = bytes.find('"', start + 1);
        return std::string(bytes.substr(start + 1, close == std::string_view::npos
                                                       ? std::string_view::npos
                                                       : close - start - 1));
    }
    std::size_t end = start;
    while (end < bytes.size() && !isBreak(bytes[end])) {
        ++end;
    }
    return std::string(bytes.substr(start, end - start));
}

std::optional<TokenRead> readTokenFile(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return std::nullopt;
    }
    TokenRead result;
    if (!std::filesystem::is_regular_file(status)) {
        result.problem =
            "Cannot read the token file " + support::textOfPath(path) + ": " +
            (std::filesystem::is_directory(status) ? "it is a folder" : "it is not a file");
        return result;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        const int cause = errno;
        result.problem = "Cannot read the token file " + support::textOfPath(path) + ": " +
                         (cause != 0 ? std::strerror(cause) : "cannot open it");
        return result;
    }
    std::string bytes(kReadLimit, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) {
        result.problem = "Cannot read the token file " + support::textOfPath(path) + ": read error";
        return result;
    }
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    result.token = support::fromSystemCodePage(firstField(bytes));
    return result;
}

void writeTokenFile(const std::filesystem::path& path, std::string_view token) {
    support::replaceFile(path, support::toSystemCodePage(token), support::FileAccess::OwnerOnly);
}

std::optional<std::string> headerToken(std::string_view token) {
    std::size_t begin = 0;
    std::size_t end = token.size();
    while (begin < end && isTrimmed(token[begin])) {
        ++begin;
    }
    while (end > begin && isTrimmed(token[end - 1])) {
        --end;
    }
    const std::string_view inner = token.substr(begin, end - begin);
    for (char c : inner) {
        if (isBlankOrControl(c)) {
            return std::nullopt;
        }
    }
    return std::string(inner);
}

} // namespace quorvane::gateway
