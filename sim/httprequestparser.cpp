#include "sim/httprequestparser.h"

#include <algorithm>

namespace quorvane::sim {
namespace {

bool isTokenChar(char c) {
    static constexpr QByteArrayView kSpecials = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           kSpecials.contains(c);
}

bool isToken(QByteArrayView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

bool hasControlChars(QByteArrayView text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

QByteArrayView trimmedBlanks(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t')) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t')) {
        text.chop(1);
    }
    return text;
}

// The request line: method, a blank, the target up to the next blank, and the version after
// the last blank. Clients that leave blanks of a time text unencoded put more words in between.
bool parseRequestLine(QByteArrayView line, HttpRequest& request) {
    const qsizetype firstBlank = line.indexOf(' ');
    const qsizetype lastBlank = line.lastIndexOf(' ');
    if (firstBlank <= 0 || lastBlank == firstBlank || hasControlChars(line)) {
        return false;
    }
    const QByteArrayView method = line.first(firstBlank);
    const QByteArrayView rest = line.sliced(firstBlank + 1);
    const QByteArrayView target = rest.first(rest.indexOf(' '));
    const QByteArrayView version = line.sliced(lastBlank + 1);
    if (!isToken(method) || target.isEmpty() || (version != "HTTP/1.1" && version != "HTTP/1.0")) {
        return false;
    }
    if (!target.startsWith('/') && !target.startsWith("http://") &&
        !target.startsWith("https://")) {
        return false;
    }
    request.method = method.toByteArray();
    request.target = target.toByteArray();
    request.version = version.toByteArray();
    return true;
}

bool parseHeaderLine(QByteArrayView line, HttpRequest& request) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || !isToken(line.first(colon))) {
        return false;
    }
    const QByteArrayView value = trimmedBlanks(line.sliced(colon + 1));
    if (hasControlChars(value)) {
        return false;
    }
    request.headers.append({line.first(colon).toByteArray(), value.toByteArray()});
    return true;
}

// The declared body length: 0 without Content-Length, nullopt when it is unusable.
std::optional<qsizetype> bodyLength(const HttpRequest& request) {
    if (request.header("Transfer-Encoding")) {
        return std::nullopt;
    }
    const std::optional<QByteArray> declared = request.header("Content-Length");
    if (!declared) {
        return 0;
    }
    bool ok = false;
    const qlonglong length = declared->toLongLong(&ok);
    if (!ok || length < 0 || length > HttpRequestParser::kMaxBodyBytes ||
        !std::all_of(declared->begin(), declared->end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return static_cast<qsizetype>(length);
}

} // namespace

std::optional<QByteArray> findHeader(const HeaderList& headers, QByteArrayView name) {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

QByteArray HttpRequest::path() const {
    QByteArray result = target;
    const qsizetype query = result.indexOf('?');
    if (query >= 0) {
        result.truncate(query);
    }
    if (!result.startsWith('/')) {
        // Absolute form: drop scheme and authority.
        const qsizetype slash = result.indexOf('/', result.indexOf("://") + 3);
        result = slash < 0 ? QByteArray("/") : result.sliced(slash);
    }
    return result;
}

bool HttpRequest::keepAlive() const {
    const QByteArray connection = header("Connection").value_or(QByteArray()).toLower();
    const auto has = [&connection](QByteArrayView option) {
        for (const QByteArray& part : connection.split(',')) {
            if (part.trimmed() == option) {
                return true;
            }
        }
        return false;
    };
    if (version == "HTTP/1.0") {
        return has("keep-alive");
    }
    return !has("close");
}

HttpRequestParser::Result HttpRequestParser::next(HttpRequest& request) {
    if (m_bad) {
        return Result::Bad;
    }
    // Blank lines before a request line are allowed (some clients send one after a body).
    qsizetype start = 0;
    while (start < m_buffer.size() && (m_buffer[start] == '\r' || m_buffer[start] == '\n')) {
        ++start;
    }
    m_buffer.remove(0, start);

    // The headers end at an empty line; bare LF line ends are accepted too.
    const qsizetype crlfEnd = m_buffer.indexOf("\r\n\r\n");
    const qsizetype lfEnd = m_buffer.indexOf("\n\n");
    qsizetype headEnd = -1;
    qsizetype separator = 0;
    if (crlfEnd >= 0 && (lfEnd < 0 || crlfEnd < lfEnd)) {
        headEnd = crlfEnd;
        separator = 4;
    } else if (lfEnd >= 0) {
        headEnd = lfEnd;
        separator = 2;
    }
    if (headEnd < 0) {
        if (m_buffer.size() > kMaxHeaderBytes) {
            m_bad = true;
            return Result::Bad;
        }
        return Result::NeedMore;
    }
    if (headEnd > kMaxHeaderBytes) {
        m_bad = true;
        return Result::Bad;
    }

    HttpRequest parsed;
    const QList<QByteArray> lines = m_buffer.first(headEnd).split('\n');
    bool ok = true;
    for (qsizetype i = 0; ok && i < lines.size(); ++i) {
        QByteArrayView line = lines[i];
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (i == 0) {
            ok = parseRequestLine(line, parsed);
        } else if (line.startsWith(' ') || line.startsWith('\t')) {
            ok = false; // Folded header lines are obsolete and refused.
        } else {
            ok = parseHeaderLine(line, parsed);
        }
    }
    const std::optional<qsizetype> body = ok ? bodyLength(parsed) : std::nullopt;
    if (!body) {
        m_bad = true;
        return Result::Bad;
    }
    const qsizetype total = headEnd + separator + *body;
    if (m_buffer.size() < total) {
        return Result::NeedMore;
    }
    m_buffer.remove(0, total);
    request = std::move(parsed);
    return Result::Complete;
}

} // namespace quorvane::sim
