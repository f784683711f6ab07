#include "support/failure.h"
#include "support/systemtext.h"

#include <climits>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>
#include <optional>

namespace quorvane::support {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastCharacter = 0x10FFFF;

void appendUtf8(std::string& text, char32_t character) {
    if (character < 0x80) {
        text += static_cast<char>(character);
    } else if (character < 0x800) {
        text += static_cast<char>(0xC0 | (character >> 6));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        text += static_cast<char>(0xE0 | (character >> 12));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (character >> 18));
        text += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    }
}

// The character that starts at `at` in a UTF-8 text, and moves `at` past it; nothing for a byte
// that starts no well-formed character (overlong forms and surrogates included), which is then
// passed alone.
std::optional<char32_t> nextCharacter(std::string_view utf8, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(utf8[at++]);
    if (lead < 0x80) {
        return lead;
    }
    std::size_t length = 0;
    char32_t character = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 1;
        character = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 2;
        character = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 3;
        character = lead & 0x07;
        smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (utf8.size() - at < length) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const auto next = static_cast<unsigned char>(utf8[at + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        character = character << 6 | (next & 0x3F);
    }
    if (character < smallest || character > kLastCharacter ||
        (character >= 0xD800 && character <= 0xDFFF)) {
        return std::nullopt;
    }
    at += length;
    return character;
}

// The C library's character conversions in the locale the environment names, for the time of
// one call: the program's texts follow the environment, as setlocale(LC_ALL, "") does, without
// the process's locale being changed under the rest of the program.
class EnvironmentLocale {
public:
    EnvironmentLocale() : m_locale(newlocale(LC_CTYPE_MASK, "", locale_t{})) {
        if (m_locale != locale_t{}) {
            m_previous = uselocale(m_locale);
        }
    }
    ~EnvironmentLocale() {
        if (m_locale != locale_t{}) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

    // Whether texts stay UTF-8: in a UTF-8 locale, and in a plain-ASCII one (C, POSIX, or a
    // locale the system does not have), which has no other letters and where Qt takes file
    // names as UTF-8 too.
    bool keepsUtf8() const {
        if (m_locale == locale_t{}) {
            return true;
        }
        const std::string_view codeset = nl_langinfo_l(CODESET, m_locale);
        return codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
               codeset == "US-ASCII";
    }

    // A UTF-8 text in the locale's encoding, a character it cannot hold as `replacement`, or
    // nothing then when `replacement` is empty.
    std::optional<std::string> encoded(std::string_view utf8,
                                       std::optional<char> replacement) const {
        std::string result;
        std::mbstate_t state{};
        char bytes[MB_LEN_MAX];
        for (std::size_t at = 0; at < utf8.size();) {
            const std::optional<char32_t> character = nextCharacter(utf8, at);
            const std::size_t length =
                character ? std::wcrtomb(bytes, static_cast<wchar_t>(*character), &state)
                          : static_cast<std::size_t>(-1);
            if (length == static_cast<std::size_t>(-1)) {
                if (!replacement) {
                    return std::nullopt;
                }
                result += *replacement;
                state = std::mbstate_t{};
                continue;
            }
            result.append(bytes, length);
        }
        // A stateful encoding ends in its initial shift state.
        const std::size_t end = std::wcrtomb(bytes, L'\0', &state);
        if (end != static_cast<std::size_t>(-1) && end > 1) {
            result.append(bytes, end - 1);
        }
        return result;
    }

    // A text in the locale's encoding as UTF-8.
    std::string decoded(std::string_view bytes) const {
        std::string result;
        std::mbstate_t state{};
        for (std::size_t at = 0; at < bytes.size();) {
            wchar_t character = 0;
            std::size_t length =
                std::mbrtowc(&character, bytes.data() + at, bytes.size() - at, &state);
            if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
                appendUtf8(result, kReplacement);
                state = std::mbstate_t{};
                ++at;
                continue;
            }
            if (length == 0) {
                // A NUL byte.
                length = 1;
            }
            const auto code = static_cast<char32_t>(character);
            appendUtf8(result, code <= kLastCharacter ? code : kReplacement);
            at += length;
        }
        return result;
    }

private:
    locale_t m_locale;
    locale_t m_previous{};
};

} // namespace

std::string toSystemCodePage(std::string_view utf8) {
    const EnvironmentLocale locale;
    if (locale.keepsUtf8()) {
        return std::string(utf8);
    }
    return locale.encoded(utf8, '?').value_or(std::string());
}

std::string fromSystemCodePage(std::string_view bytes) {
    const EnvironmentLocale locale;
    if (locale.keepsUtf8()) {
        return std::string(bytes);
    }
    return locale.decoded(bytes);
}

std::filesystem::path pathFromText(std::string_view utf8) {
    if (utf8.find('\0') != std::string_view::npos) {
        raise(errors::kBadFileName);
    }
    const EnvironmentLocale locale;
    if (locale.keepsUtf8()) {
        return std::filesystem::path(std::string(utf8));
    }
    const std::optional<std::string> native = locale.encoded(utf8, std::nullopt);
    if (!native) {
        raise(errors::kBadFileName);
    }
    return std::filesystem::path(*native);
}

std::string textOfPath(const std::filesystem::path& path) {
    return fromSystemCodePage(path.native());
}

} // namespace quorvane::support
