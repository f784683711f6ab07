#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::gateway {

// The bytes of an HTTP/1.1 GET for `target` (path and query, already percent-encoded) on
// `host` ("name" or "name:port"), with "Authorization: Bearer <token>" unless the token is
// empty, "Accept: application/json" and a keep-alive connection. The caller checks that no
// argument holds a blank, CR or LF.
std::string getRequestBytes(std::string_view target, std::string_view host,
                            std::string_view token);

// `text` as a value in a URL's query: every byte outside RFC 3986's unreserved characters and
// ":@/?!$'()*," percent-encoded in upper case, so "&", "+", "=", ";", "#", "%", blanks,
// brackets and the UTF-8 bytes of non-ASCII characters too ("2:05:09 [PM]" gives
// "2:05:09%20%5BPM%5D"). The result is a valid query value for any server.
std::string queryValue(std::string_view text);

// Reads the reply to one GET from the bytes of its connection as they arrive: the status line,
// the header lines and a body framed by Content-Length, by chunked transfer coding or by the
// end of the connection. Interim 1xx replies are skipped. A header line folded onto the next
// (the next starts with a blank or tab) continues its value, the fold read as one blank. Bytes
// are not decoded in any way; a compressed body (never asked for) is refused as malformed.
class HttpReplyReader {
public:
    enum class State {
        // More bytes are needed.
        Incomplete,
        // The whole reply is in: status(), headers and body() are final.
        Complete,
        // The bytes are no HTTP/1.x reply; problem() says why.
        Malformed,
        // The body is longer than the limit, by its Content-Length or by what has arrived.
        TooLarge,
    };

    // The largest header section accepted, status line included.
    static constexpr std::size_t kMaxHeadBytes = 64 * 1024;

    // A body of up to `maxBodyBytes` bytes is accepted.
    explicit HttpReplyReader(std::size_t maxBodyBytes);

    // Takes the next bytes of the connection and returns the state after them. Once the state
    // is no longer Incomplete further bytes are only counted (see trailingBytes()).
    State append(std::string_view bytes);
    // The connection has ended properly (over TLS: after the peer's closing alert): completes
    // a body that runs to the end of the connection; anything else still Incomplete stays so
    // (a reply cut short). A connection that just broke off is not finished.
    State finish();

    State state() const { return m_state; }
    // Whether any byte of the reply has arrived.
    bool started() const { return m_started; }
    int status() const { return m_status; }
    // The reason phrase as sent, without surrounding blanks; may be empty.
    const std::string& reason() const { return m_reason; }
    // The value of the first header line named `name` (any case), without surrounding blanks.
    std::optional<std::string_view> header(std::string_view name) const;
    const std::string& body() const { return m_body; }
    // Whether the connection may carry another request after this complete reply: HTTP/1.1
    // without "Connection: close" (HTTP/1.0 only with "Connection: keep-alive"), a body with a
    // known end, and nothing sent after it.
    bool keepAlive() const;
    // Bytes that came after the complete reply (a server that answers more than was asked).
    std::size_t trailingBytes() const { return m_trailingBytes; }
    // Why the reply is Malformed.
    const std::string& problem() const { return m_problem; }

private:
    enum class Step { StatusLine, HeaderLines, FixedBody, ChunkSize, ChunkData, ChunkEnd,
                      Trailers, BodyToEnd, Done };

    State fail(State state, std::string problem = {});
    // The next line of the input from `m_pending`; nullopt while its end has not arrived.
    std::optional<std::string> takeLine();
    bool readStatusLine(const std::string& line);
    bool readHeaderLine(const std::string& line);
    // Chooses how the body is framed once the header lines are in.
    void startBody();
    void takeBody(std::size_t count);
    void run();

    std::size_t m_maxBodyBytes;
    State m_state = State::Incomplete;
    Step m_step = Step::StatusLine;
    bool m_started = false;
    std::string m_pending;
    std::size_t m_consumed = 0;
    std::size_t m_headBytes = 0;

    int m_status = 0;
    int m_minorVersion = 1;
    std::string m_reason;
    std::vector<std::pair<std::string, std::string>> m_headers;
    bool m_connectionClose = false;
    bool m_connectionKeepAlive = false;
    std::uint64_t m_remaining = 0;
    std::string m_body;
    std::size_t m_trailingBytes = 0;
    std::string m_problem;
};

} // namespace quorvane::gateway
