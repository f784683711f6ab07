#include "gateway/httpreply.h"

#include <algorithm>
#include <limits>

#include "quorvane/version.h"
#include "support/asciichars.h"

namespace quorvane::gateway {

namespace {

using support::isBlank;
using support::isDigit;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

// The characters of a header name (RFC 9110's "token").
bool isTokenCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
        return false;
    }
    return std::string_view("\"(),/:;<=>?@[\\]{}").find(c) == std::string_view::npos;
}

// Calls `each` with every comma-separated element of `list`, trimmed; empty elements are left
// out, as the list syntax allows.
template <typename Each>
void forEachElement(std::string_view list, Each each) {
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view element = trimmed(list.substr(0, comma));
        if (!element.empty()) {
            each(element);
        }
        if (comma == std::string_view::npos) {
            return;
        }
        list.remove_prefix(comma + 1);
    }
}

// A length that no body reaches: what a longer number counts as, so that it is refused as too
// large and not as malformed.
constexpr std::uint64_t kEndlessLength = std::numeric_limits<std::uint64_t>::max();

// A decimal length; one of more than 18 digits after its leading zeros counts as endless.
std::optional<std::uint64_t> decimalLength(std::string_view text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit)) {
        return std::nullopt;
    }
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
    if (text.size() > 18) {
        return kEndlessLength;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

int hexDigit(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    const char l = lower(c);
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

// The most room set aside for a body before it arrives: a larger one grows as it comes in, so
// that a large limit and a false Content-Length cannot ask for memory that is never used.
constexpr std::uint64_t kMostReserved = 4 * 1024 * 1024;

} // namespace

std::string getRequestBytes(std::string_view target, std::string_view host,
                            std::string_view token) {
    std::string request;
    request.reserve(200 + target.size() + token.size());
    request.append("GET ").append(target).append(" HTTP/1.1\r\n");
    request.append("Host: ").append(host).append("\r\n");
    if (!token.empty()) {
        request.append("Authorization: Bearer ").append(token).append("\r\n");
    }
    request.append("Accept: application/json\r\n");
    request.append("User-Agent: Quorvane/").append(kVersionText).append("\r\n");
    request.append("Connection: keep-alive\r\n\r\n");
    return request;
}

std::string queryValue(std::string_view text) {
    static constexpr std::string_view kKept = "-._~:@/?!$'()*,";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string value;
    value.reserve(text.size());
    for (const char c : text) {
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c);
        if (alphanumeric || kKept.find(c) != std::string_view::npos) {
            value.push_back(c);
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        value.push_back('%');
        value.push_back(kHex[byte >> 4]);
        value.push_back(kHex[byte & 0x0F]);
    }
    return value;
}

HttpReplyReader::HttpReplyReader(std::size_t maxBodyBytes) : m_maxBodyBytes(maxBodyBytes) {}

HttpReplyReader::State HttpReplyReader::append(std::string_view bytes) {
    if (bytes.empty()) {
        return m_state;
    }
    m_started = true;
    if (m_state != State::Incomplete) {
        // Only a complete reply has an end to count from; after a fault the count would depend
        // on how the bytes happened to arrive.
        if (m_state == State::Complete) {
            m_trailingBytes += bytes.size();
        }
        return m_state;
    }
    if (m_consumed > 0 && m_consumed >= m_pending.size() / 2) {
        m_pending.erase(0, m_consumed);
        m_consumed = 0;
    }
    m_pending.append(bytes);
    run();
    return m_state;
}

HttpReplyReader::State HttpReplyReader::finish() {
    if (m_state == State::Incomplete && m_step == Step::BodyToEnd) {
        m_step = Step::Done;
        m_state = State::Complete;
    }
    return m_state;
}

std::optional<std::string_view> HttpReplyReader::header(std::string_view name) const {
    for (const auto& [key, value] : m_headers) {
        if (sameName(key, name)) {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

bool HttpReplyReader::keepAlive() const {
    return m_state == State::Complete && !m_connectionClose &&
           (m_minorVersion >= 1 || m_connectionKeepAlive) && m_trailingBytes == 0 &&
           m_pending.size() == m_consumed;
}

HttpReplyReader::State HttpReplyReader::fail(State state, std::string problem) {
    m_state = state;
    m_problem = std::move(problem);
    m_body.clear();
    return m_state;
}

std::optional<std::string> HttpReplyReader::takeLine() {
    const std::size_t end = m_pending.find('\n', m_consumed);
    const std::size_t available = (end == std::string::npos ? m_pending.size() : end + 1) -
                                  m_consumed;
    if (m_headBytes + available > kMaxHeadBytes) {
        fail(State::Malformed, "the header lines are longer than 64 KiB");
        return std::nullopt;
    }
    if (end == std::string::npos) {
        return std::nullopt;
    }
    m_headBytes += available;
    std::size_t lineEnd = end;
    if (lineEnd > m_consumed && m_pending[lineEnd - 1] == '\r') {
        --lineEnd;
    }
    std::string line = m_pending.substr(m_consumed, lineEnd - m_consumed);
    m_consumed = end + 1;
    if (line.find_first_of(std::string_view("\r\0", 2)) != std::string::npos) {
        fail(State::Malformed, "a line holds a stray CR or NUL");
        return std::nullopt;
    }
    return line;
}

bool HttpReplyReader::readStatusLine(const std::string& line) {
    // "HTTP/1.1 200 OK": the version, a blank, three digits, then a blank and a phrase.
    const bool shaped = line.size() >= 12 && line.compare(0, 5, "HTTP/") == 0 &&
                        isDigit(line[5]) && line[6] == '.' && isDigit(line[7]) &&
                        line[8] == ' ' && isDigit(line[9]) && isDigit(line[10]) &&
                        isDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
    if (!shaped) {
        fail(State::Malformed, "the reply does not start with an HTTP status line");
        return false;
    }
    if (line[5] != '1') {
        fail(State::Malformed, "the reply is HTTP/" + line.substr(5, 3) + ", not HTTP/1.x");
        return false;
    }
    m_minorVersion = line[7] - '0';
    m_status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (m_status < 100 || m_status > 599) {
        fail(State::Malformed, "the status " + line.substr(9, 3) + " does not exist");
        return false;
    }
    m_reason = line.size() > 12 ? std::string(trimmed(std::string_view(line).substr(13))) : "";
    return true;
}

bool HttpReplyReader::readHeaderLine(const std::string& line) {
    if (isBlank(line.front())) {
        // An obsolete line folding: the value goes on, the fold read as one blank.
        if (m_headers.empty()) {
            fail(State::Malformed, "the first header line starts with a blank");
            return false;
        }
        std::string& value = m_headers.back().second;
        const std::string_view more = trimmed(line);
        if (!more.empty()) {
            value.append(value.empty() ? "" : " ").append(more);
        }
        return true;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 ||
        !std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon),
                     isTokenCharacter)) {
        fail(State::Malformed, "a header line has no valid name");
        return false;
    }
    m_headers.emplace_back(line.substr(0, colon),
                           std::string(trimmed(std::string_view(line).substr(colon + 1))));
    return true;
}

void HttpReplyReader::startBody() {
    for (const auto& [name, value] : m_headers) {
        if (sameName(name, "Connection")) {
            forEachElement(value, [this](std::string_view option) {
                m_connectionClose = m_connectionClose || sameName(option, "close");
                m_connectionKeepAlive = m_connectionKeepAlive || sameName(option, "keep-alive");
            });
        }
    }

    std::string compression;
    std::vector<std::string_view> codings;
    std::optional<std::uint64_t> length;
    bool badLength = false;
    for (const auto& [name, value] : m_headers) {
        if (sameName(name, "Content-Encoding")) {
            forEachElement(value, [&compression](std::string_view coding) {
                if (!sameName(coding, "identity") && compression.empty()) {
                    compression = coding;
                }
            });
        } else if (sameName(name, "Transfer-Encoding")) {
            forEachElement(value, [&codings](std::string_view coding) {
                codings.push_back(coding);
            });
        } else if (sameName(name, "Content-Length")) {
            bool any = false;
            forEachElement(value, [&](std::string_view text) {
                any = true;
                const auto parsed = decimalLength(text);
                badLength = badLength || !parsed || (length && *length != *parsed);
                length = parsed;
            });
            badLength = badLength || !any;
        }
    }

    // These replies never have a body, whatever their header lines say about one.
    if (m_status == 204 || m_status == 304) {
        m_step = Step::Done;
        return;
    }
    if (!compression.empty()) {
        fail(State::Malformed, "the body is compressed (" + compression + "), which was not "
                               "asked for");
        return;
    }
    if (!codings.empty()) {
        const auto other = std::find_if(codings.begin(), codings.end(), [](std::string_view c) {
            return !sameName(c, "chunked");
        });
        if (other != codings.end()) {
            fail(State::Malformed, "the transfer coding " + std::string(*other) +
                                       " is not supported");
            return;
        }
        if (codings.size() > 1) {
            fail(State::Malformed, "the transfer coding chunked is applied twice");
            return;
        }
        // A length next to chunked coding is ignored, and the connection not trusted further.
        m_connectionClose = m_connectionClose || length.has_value() || badLength;
        m_step = Step::ChunkSize;
        m_headBytes = 0;
        return;
    }
    if (badLength) {
        fail(State::Malformed, "the Content-Length is not one whole number");
        return;
    }
    if (length) {
        if (*length > m_maxBodyBytes) {
            fail(State::TooLarge);
            return;
        }
        m_remaining = *length;
        m_body.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(*length, kMostReserved)));
        m_step = *length == 0 ? Step::Done : Step::FixedBody;
        return;
    }
    // Neither: the body ends with the connection, which then cannot be used again.
    m_connectionClose = true;
    m_step = Step::BodyToEnd;
}

void HttpReplyReader::takeBody(std::size_t count) {
    m_body.append(m_pending, m_consumed, count);
    m_consumed += count;
}

void HttpReplyReader::run() {
    while (m_state == State::Incomplete) {
        const std::size_t available = m_pending.size() - m_consumed;
        switch (m_step) {
        case Step::StatusLine: {
            const auto line = takeLine();
            if (!line || !readStatusLine(*line)) {
                return;
            }
            m_step = Step::HeaderLines;
            break;
        }
        case Step::HeaderLines: {
            const auto line = takeLine();
            if (!line) {
                return;
            }
            if (!line->empty()) {
                if (!readHeaderLine(*line)) {
                    return;
                }
                break;
            }
            if (m_status < 200) {
                if (m_status == 101) {
                    fail(State::Malformed, "the gateway switched protocols unasked");
                    return;
                }
                // An interim reply: the real one follows.
                m_headers.clear();
                m_headBytes = 0;
                m_step = Step::StatusLine;
                break;
            }
            startBody();
            break;
        }
        case Step::FixedBody:
        case Step::ChunkData: {
            if (available == 0) {
                return;
            }
            const auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, available));
            takeBody(count);
            m_remaining -= count;
            if (m_remaining == 0) {
                m_step = m_step == Step::FixedBody ? Step::Done : Step::ChunkEnd;
            }
            break;
        }
        case Step::ChunkSize: {
            const auto line = takeLine();
            if (!line) {
                return;
            }
            // Hex digits, then perhaps blanks and ";extension". Past 15 digits after the
            // leading zeros the size is beyond any body, and stops growing before it overflows.
            std::uint64_t size = 0;
            std::size_t digits = 0;
            std::size_t significant = 0;
            while (digits < line->size() && hexDigit((*line)[digits]) >= 0) {
                significant += size > 0 || (*line)[digits] != '0' ? 1 : 0;
                size = significant > 15
                           ? kEndlessLength
                           : size * 16 + static_cast<std::uint64_t>(hexDigit((*line)[digits]));
                ++digits;
            }
            const std::string_view rest = trimmed(std::string_view(*line).substr(digits));
            if (digits == 0 || (!rest.empty() && rest.front() != ';')) {
                fail(State::Malformed, "a chunk's size line is not valid");
                return;
            }
            if (size > m_maxBodyBytes - m_body.size()) {
                fail(State::TooLarge);
                return;
            }
            m_headBytes = 0;
            m_remaining = size;
            m_step = size == 0 ? Step::Trailers : Step::ChunkData;
            break;
        }
        case Step::ChunkEnd: {
            const auto line = takeLine();
            if (!line) {
                return;
            }
            if (!line->empty()) {
                fail(State::Malformed, "a chunk runs past its size");
                return;
            }
            m_headBytes = 0;
            m_step = Step::ChunkSize;
            break;
        }
        case Step::Trailers: {
            const auto line = takeLine();
            if (!line) {
                return;
            }
            if (line->empty()) {
                m_step = Step::Done;
            }
            break;
        }
        case Step::BodyToEnd:
            if (m_body.size() + available > m_maxBodyBytes) {
                fail(State::TooLarge);
                return;
            }
            takeBody(available);
            return;
        case Step::Done:
            m_state = State::Complete;
            m_trailingBytes = available;
            break;
        }
    }
}

} // namespace quorvane::gateway
