#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>
#include <utility>

namespace quorvane::sim {

// Header fields in arrival order, names as sent.
using HeaderList = QList<std::pair<QByteArray, QByteArray>>;

// The first header of that name (case-insensitive); nullopt when there is none.
std::optional<QByteArray> findHeader(const HeaderList& headers, QByteArrayView name);

// One HTTP request as it arrived: request line and header fields, bytes unchanged except that
// blanks around header values are dropped.
struct HttpRequest {
    QByteArray method;
    // The raw request-target, e.g. "/ivp/meters/readings?cache=14:05:09".
    QByteArray target;
    QByteArray version;
    HeaderList headers;

    std::optional<QByteArray> header(QByteArrayView name) const {
        return findHeader(headers, name);
    }
    // The target without its query.
    QByteArray path() const;
    // Whether the connection stays open after the reply (HTTP/1.1 unless "Connection: close";
    // HTTP/1.0 only with "Connection: keep-alive").
    bool keepAlive() const;
};

// Cuts HTTP/1.x requests out of a connection's bytes, however they are split into reads and
// however many arrive at once.
class HttpRequestParser {
public:
    // The request line and headers together may not be longer than this.
    static constexpr qsizetype kMaxHeaderBytes = 16 * 1024;
    // A request body (skipped) may not be longer than this.
    static constexpr qsizetype kMaxBodyBytes = 64 * 1024;

    enum class Result {
        NeedMore,
        Complete,
        // Malformed or too large: the connection should get 400 and be closed.
        Bad,
    };

    void append(QByteArrayView bytes) { m_buffer.append(bytes); }

    // Takes the next complete request out of the buffered bytes into `request`. After Bad the
    // parser stays Bad.
    Result next(HttpRequest& request);

    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    bool m_bad = false;
};

} // namespace quorvane::sim
