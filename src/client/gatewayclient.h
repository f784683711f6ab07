#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QSet>
#include <QSslCertificate>
#include <QString>

#include "gateway/httpget.h"
#include "support/failure.h"

class QSslSocket;
class QTimer;
class QUrl;

namespace quorvane::client {

class CertificatePins;
class CertificateQuestion;

// Failure numbers of ApiGet. They are the Windows HTTP client's codes for the same situations
// (the HRESULT form of its 12xxx errors), so an error text reads as it does there; a failed
// HTTP status is reported with the status itself ("Error 401: Unauthorized").
namespace requesterrors {
constexpr int fromWin32(int code) {
    return -2147024896 + code;
}

// 12002: no complete reply within the client's time-out.
inline constexpr int kTimedOut = fromWin32(12002);
// 12005: the URL has no host or cannot be parsed.
inline constexpr int kInvalidUrl = fromWin32(12005);
// 12007: the gateway's name does not resolve.
inline constexpr int kNameNotResolved = fromWin32(12007);
// 12017: the request was ended by abort().
inline constexpr int kCancelled = fromWin32(12017);
// 12029: no connection (refused, unreachable).
inline constexpr int kCannotConnect = fromWin32(12029);
// 12030: the gateway closed the connection before the reply was complete.
inline constexpr int kConnectionAborted = fromWin32(12030);
// 12152: the reply is not valid HTTP.
inline constexpr int kInvalidResponse = fromWin32(12152);
// 12156: a redirect to another address, or too many redirects.
inline constexpr int kRedirectFailed = fromWin32(12156);
// 12169: the gateway's certificate differs from the one pinned for it.
inline constexpr int kCertificateChanged = fromWin32(12169);
// 12175: the TLS handshake failed.
inline constexpr int kSecureFailure = fromWin32(12175);
// 12184: the reply body is larger than the client accepts.
inline constexpr int kReplyTooLarge = fromWin32(12184);
// E_INVALIDARG: the token cannot go into a header; nothing was sent.
inline constexpr int kInvalidToken = -2147024809;
// E_FAIL: any other network failure.
inline constexpr int kOtherFailure = -2147467259;
} // namespace requesterrors

// ApiGet over HTTPS: HTTP/1.1 on a QSslSocket. One client serves the whole program and keeps
// its connection to the gateway open from poll to poll; a kept connection that the gateway has
// closed meanwhile is replaced by a new one without a failure. The call is synchronous for its
// caller but runs a local event loop, so the window keeps repainting and taking input.
// Certificates that do not verify are trusted on first use through CertificatePins, checked
// during every handshake before the request is written. When a gateway presents another
// certificate than the pinned one, nothing is sent and the request fails at once, as it does
// for a refused certificate; the owner is asked (CertificateQuestion) whether to trust it as soon
// as no request is under way, from the event loop. Until they answer, every request to that
// gateway fails the same way without a second question; trusted, the certificate replaces the
// pin and the next request reads; refused, the same certificate is not asked about again for as
// long as the client lives. No proxy is used, and a redirect is followed only to the same
// scheme, host and port.
class GatewayClient : public gateway::HttpGet {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};
    // The largest reply body accepted, in bytes.
    static constexpr std::int64_t kMaxReplyBytes = 4 * 1024 * 1024;
    // `pins` and `question` must outlive the client; without a question a changed certificate
    // is refused without asking.
    explicit GatewayClient(CertificatePins& pins, CertificateQuestion* question = nullptr);
    // Ends pending requests; a pending ApiGet then returns with kCancelled.
    ~GatewayClient() override;
    GatewayClient(const GatewayClient&) = delete;
    GatewayClient& operator=(const GatewayClient&) = delete;

    // The token goes out without its leading and trailing blanks, tabs, CR and LF; one with
    // white space or a control character inside fails with kInvalidToken before anything is
    // sent. Fails with kTimedOut when no complete reply is in within timeout() of the call,
    // with kCancelled after abort() or when the application quits meanwhile; a reply whose HTTP
    // status is outside 200-299 fails with "Error <status>: <reason phrase>". The body is read
    // as UTF-8 (a byte order mark dropped).
    void ApiGet(const std::string& url, const std::string& token, std::string& reply,
                std::string& errorText) override;

    // Ends every pending request at once; their ApiGet calls return with kCancelled.
    void abort();

    // Whether an ApiGet call is waiting for its reply.
    bool pending() const;

    // Whether the owner is being asked, or is about to be asked, about a changed certificate.
    bool questionPending() const;

    // Whether the last ApiGet failed only because the owner has yet to answer the question
    // about the gateway's changed certificate. Says so once; false again until the next such
    // failure.
    bool takeFailureAwaitingOwner();

    // How long a request may take from the call to the last byte of the reply.
    void setTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds timeout() const;

    // How many redirects one ApiGet follows at most.
    static constexpr int kMaxRedirects = 10;

private:
    struct Call;

    // Sends one GET for `url` and waits for its whole reply, on the kept connection when it
    // serves the URL's address and is still open, else on a new one. False when the call ended
    // without a reply (call.cause says why).
    bool exchange(Call& call, const QUrl& url, const std::string& token);
    // A connection for the URL's address, not yet opened, whose handshake checks the certificate
    // pins for as long as `context` lives.
    std::unique_ptr<QSslSocket> newConnection(Call& call, const QUrl& url, QObject& context);
    // After an exchange that ended on a changed certificate: whether the owner is yet to decide
    // about it (unless they already refused it for that address); the question is then due.
    bool awaitsOwner(const Call& call, const QUrl& url);
    // Asks the due question, once no request is under way: trusted, the certificate replaces
    // the pin; refused, it is not asked about again.
    void askDueQuestion();
    // ApiGet's request: the reply body, or a raised failure.
    std::string fetch(const std::string& url, const std::string& token);
    // The failure of a call that ended without a usable reply.
    support::Failure failureOf(const Call& call) const;

    CertificatePins& m_pins;
    CertificateQuestion* m_question;
    // "<address> <fingerprint>" of every certificate the owner refused.
    QSet<QString> m_refused;
    // A changed certificate the owner is to be asked about, and whether they are being asked.
    struct Question {
        QString gateway;
        QSslCertificate presented;
    };
    std::optional<Question> m_dueQuestion;
    bool m_asking = false;
    bool m_failureAwaitsOwner = false;
    // Ends with the client: a question queued on the event loop is then dropped, and one that is
    // being asked touches nothing of the client afterwards.
    std::unique_ptr<QObject> m_questionContext;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    std::vector<Call*> m_calls;
    // The connection kept open after the last reply, and the address ("host:port") it serves.
    std::unique_ptr<QSslSocket> m_kept;
    QString m_keptOrigin;
};

} // namespace quorvane::client
