#include "client/gatewayclient.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <QEventLoop>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include "client/certificatepins.h"
#include "client/certificatequestion.h"
#include "client/connectioncheck.h"
#include "gateway/httpreply.h"
#include "gateway/tokenfile.h"
#include "support/failure.h"

namespace quorvane::client {

using gateway::getRequestBytes;
using gateway::headerToken;
using gateway::HttpReplyReader;

namespace {

using namespace requesterrors;

constexpr char kCancelledText[] = "The request was cancelled";

// How the wait for a reply ended when it was not the reply that ended it.
enum class Cause { None, TimedOut, TooLarge, Cancelled, Failed };

// A failure of the request: its number and the description as the client words it.
support::Failure requestFailure(int number, const QString& description) {
    return support::Failure{number, description.toStdString()};
}

// Ends the request with that failure; ApiGet's trap turns it into the error text.
[[noreturn]] void fail(int number, const QString& description) {
    support::raise(requestFailure(number, description));
}

QString durationText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) {
        const auto seconds = duration.count() / 1000;
        return QString::number(seconds) + (seconds == 1 ? " second" : " seconds");
    }
    return QString::number(duration.count()) + " milliseconds";
}

// The phrase for a status when the reply carries none.
QString standardReason(int status) {
    switch (status) {
    case 301:
        return QStringLiteral("Moved Permanently");
    case 302:
        return QStringLiteral("Found");
    case 303:
        return QStringLiteral("See Other");
    case 304:
        return QStringLiteral("Not Modified");
    case 307:
        return QStringLiteral("Temporary Redirect");
    case 308:
        return QStringLiteral("Permanent Redirect");
    case 400:
        return QStringLiteral("Bad Request");
    case 401:
        return QStringLiteral("Unauthorized");
    case 403:
        return QStringLiteral("Forbidden");
    case 404:
        return QStringLiteral("Not Found");
    case 405:
        return QStringLiteral("Method Not Allowed");
    case 408:
        return QStringLiteral("Request Timeout");
    case 429:
        return QStringLiteral("Too Many Requests");
    case 500:
        return QStringLiteral("Internal Server Error");
    case 501:
        return QStringLiteral("Not Implemented");
    case 502:
        return QStringLiteral("Bad Gateway");
    case 503:
        return QStringLiteral("Service Unavailable");
    case 504:
        return QStringLiteral("Gateway Timeout");
    default:
        return QStringLiteral("HTTP status ") + QString::number(status);
    }
}

// Short enough for the notice window; the option has a line of its own, so it is never broken.
QString refusalText(const QString& gateway, const CertificatePins::Check& check) {
    const QString presented =
        check.presented.isEmpty() ? QStringLiteral("no usable certificate") : check.presented;
    return "The gateway " + gateway + " presented another certificate than the trusted one, " +
           "so nothing was sent.\r\nSHA-256 presented: " + presented +
           "\r\nTrusted: " + check.pinned + "\r\nIf it really got a new one, run once:\r\n" +
           "Quorvane --forget-certificates";
}

// The error text of Qt's TLS layer when the peer's closing alert arrives, in the same
// translation as the layer's own.
QString tlsClosedText() {
    return QSslSocket::tr("The TLS/SSL connection has been closed");
}

} // namespace

struct GatewayClient::Call {
    QEventLoop loop;
    Cause cause = Cause::None;
    // The failure of a cause that carries its own number and text.
    int number = 0;
    QString description;
    bool clientGone = false;
    // abort() ended the call (the window is closing).
    bool aborted = false;
    // The certificate that a gateway presented in place of the pinned one.
    QSslCertificate refused;

    // The exchange under way: its connection, whether that was a kept one, and the reply.
    std::unique_ptr<QSslSocket> socket;
    bool reused = false;
    std::optional<HttpReplyReader> reader;
    // Set once the exchange has its whole reply or has failed.
    bool settled = false;
    // A kept connection that the gateway had closed before any byte of the reply: the request
    // goes out again on a new connection.
    bool staleConnection = false;
    // Whether the certificate of the exchange's new connection was held against its pin.
    bool pinChecked = false;
    // Whether the gateway ended TLS with its closing alert (close_notify) before the
    // connection closed.
    bool closeNotified = false;

    // Ends the wait for `why`; the first cause given is the one reported.
    void end(Cause why) {
        if (cause == Cause::None) {
            cause = why;
        }
        settled = true;
        loop.quit();
    }

    void fail(int failureNumber, const QString& text) {
        if (cause == Cause::None) {
            number = failureNumber;
            description = text;
        }
        end(Cause::Failed);
    }

    // Moves what has arrived into the reply reader.
    void take() {
        if (settled || !socket || !reader) {
            return;
        }
        const QByteArray bytes = socket->readAll();
        switch (reader->append(std::string_view(bytes.constData(), bytes.size()))) {
        case HttpReplyReader::State::Incomplete:
            return;
        case HttpReplyReader::State::Complete:
            settled = true;
            loop.quit();
            return;
        case HttpReplyReader::State::TooLarge:
            end(Cause::TooLarge);
            return;
        case HttpReplyReader::State::Malformed:
            fail(kInvalidResponse, "The reply is not valid HTTP: " +
                                       QString::fromStdString(reader->problem()));
            return;
        }
    }

    // The connection failed or ended.
    void connectionEnded(QAbstractSocket::SocketError error, const QString& host) {
        if (settled) {
            return;
        }
        take();
        if (settled) {
            return;
        }
        // A body that runs to the end of the connection is whole only when the gateway closed
        // TLS with its closing alert; a TCP close without it may be a connection cut short
        // (RFC 8446 6.1). Qt does not pass OpenSSL's "unexpected EOF" on (it feeds OpenSSL
        // through memory buffers and watches the TCP close itself), so the two closes are told
        // apart by Qt's error text: the alert gives the TLS layer's text, a bare close that of
        // the TCP socket.
        if (error == QAbstractSocket::RemoteHostClosedError && closeNotified &&
            reader->finish() == HttpReplyReader::State::Complete) {
            settled = true;
            loop.quit();
            return;
        }
        if (reused && !reader->started()) {
            staleConnection = true;
            settled = true;
            loop.quit();
            return;
        }
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            fail(kCannotConnect, QStringLiteral("Connection refused"));
            return;
        case QAbstractSocket::RemoteHostClosedError:
            fail(kConnectionAborted, QStringLiteral("Connection closed"));
            return;
        case QAbstractSocket::HostNotFoundError:
            fail(kNameNotResolved, "Host " + host + " not found");
            return;
        case QAbstractSocket::SslHandshakeFailedError:
            fail(kSecureFailure, "SSL handshake failed: " + socket->errorString());
            return;
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            fail(kSecureFailure, socket->errorString());
            return;
        case QAbstractSocket::NetworkError:
            fail(kCannotConnect, socket->errorString());
            return;
        default:
            fail(kOtherFailure, socket->errorString());
            return;
        }
    }
};

GatewayClient::GatewayClient(CertificatePins& pins, CertificateQuestion* question)
    : m_pins(pins), m_question(question), m_questionContext(std::make_unique<QObject>()) {}

GatewayClient::~GatewayClient() {
    for (Call* call : m_calls) {
        call->clientGone = true;
        call->end(Cause::Cancelled);
    }
}

void GatewayClient::ApiGet(const std::string& url, const std::string& token, std::string& reply,
                           std::string& errorText) {
    reply.clear();
    m_failureAwaitsOwner = false;
    // The request's failure becomes "Error <number>: <description>" in `errorText`.
    support::Trap trap = support::Trap::errorText(errorText);
    trap.run([&] { reply = fetch(url, token); });
}

std::string GatewayClient::fetch(const std::string& url, const std::string& token) {
    const std::string target = url;
    const std::string bearer = token;

    const std::optional<std::string> headerValue = headerToken(bearer);
    if (!headerValue) {
        fail(kInvalidToken, QStringLiteral("The token contains white space or a control "
                                           "character; nothing was sent"));
    }
    QUrl address(QString::fromStdString(target), QUrl::TolerantMode);
    if (!address.isValid() || address.host().isEmpty() ||
        address.scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) != 0) {
        fail(kInvalidUrl, "The URL is not valid: " + QString::fromStdString(target));
    }

    Call call;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &deadline,
                     [&call] { call.end(Cause::TimedOut); });
    deadline.start(m_timeout);
    m_calls.push_back(&call);

    bool answered = false;
    bool awaitingOwner = false;
    for (int redirects = 0;; ++redirects) {
        answered = exchange(call, address, *headerValue);
        if (call.clientGone) {
            // The client is gone with everything it owned; nothing of it may be touched.
            fail(kCancelled, kCancelledText);
        }
        if (!answered) {
            awaitingOwner = awaitsOwner(call, address);
            break;
        }
        const int status = call.reader->status();
        const auto location = call.reader->header("Location");
        const bool redirect = status == 301 || status == 302 || status == 303 ||
                              status == 307 || status == 308;
        if (!redirect || !location) {
            break;
        }
        const QUrl next = address.resolved(QUrl(
            QString::fromUtf8(location->data(), static_cast<qsizetype>(location->size())),
            QUrl::TolerantMode));
        if (!next.isValid() || next.scheme().compare(address.scheme(), Qt::CaseInsensitive) != 0 ||
            next.host().compare(address.host(), Qt::CaseInsensitive) != 0 ||
            next.port(443) != address.port(443)) {
            // The token must not go to another address.
            call.fail(kRedirectFailed,
                      "The gateway redirected the request to another address (" +
                          next.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery |
                                        QUrl::RemoveFragment) +
                          "); it was not sent there");
            answered = false;
            break;
        }
        if (redirects == kMaxRedirects) {
            call.fail(kRedirectFailed,
                      QStringLiteral("The gateway redirected the request too many times"));
            answered = false;
            break;
        }
        address = next;
    }
    deadline.stop();
    std::erase(m_calls, &call);
    if (m_dueQuestion && m_calls.empty()) {
        // Asked from the event loop once this request has ended, so that the question never
        // holds a request open: while it waits, later requests fail as this one does.
        QTimer::singleShot(0, m_questionContext.get(), [this] { askDueQuestion(); });
    }

    if (!answered) {
        m_failureAwaitsOwner = awaitingOwner;
        support::raise(failureOf(call));
    }
    const int status = call.reader->status();
    if (status < 200 || status > 299) {
        QString reason = QString::fromStdString(call.reader->reason());
        if (reason.isEmpty()) {
            reason = standardReason(status);
        }
        fail(status, reason);
    }

    const std::string& body = call.reader->body();
    QStringDecoder decoder(QStringDecoder::Utf8);
    return QString(decoder(QByteArrayView(body.data(), static_cast<qsizetype>(body.size()))))
        .toStdString();
}

bool GatewayClient::exchange(Call& call, const QUrl& url, const std::string& token) {
    const QString origin = url.host().toLower() + ':' + QString::number(url.port(443));
    const QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority |
                                            QUrl::RemoveFragment);
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':')) {
        // An IPv6 zone ("%25eth0") names this computer's interface and means nothing to the
        // gateway: the Host header goes without it (RFC 6874).
        const qsizetype zone = host.indexOf('%');
        host = '[' + (zone < 0 ? host : host.first(zone)) + ']';
    }
    if (url.port() != -1) {
        host += ':' + QByteArray::number(url.port());
    }
    const std::string request =
        getRequestBytes(target.isEmpty() ? std::string_view("/")
                                         : std::string_view(target.constData(), target.size()),
                        std::string_view(host.constData(), host.size()), token);

    // A kept connection with unread bytes has heard something it was not asked for. One that
    // the gateway closed is let go before the request too, from what the system knows of it:
    // Qt learns of the close only once the event loop has delivered the socket's notification,
    // and a request written on a closed connection depends on a further notification to fail
    // over to a new one, or waits for the whole time-out.
    if (m_kept && (m_keptOrigin != origin || m_kept->state() != QAbstractSocket::ConnectedState ||
                   !m_kept->isEncrypted() || m_kept->bytesAvailable() > 0 ||
                   !connectionIdle(m_kept->socketDescriptor()))) {
        m_kept->abort();
        m_kept.reset();
    }

    // A kept connection is tried once; when the gateway had closed it, the loop runs again on
    // a new connection, which is never retried.
    while (true) {
        QObject context;
        call.reused = m_kept != nullptr;
        call.socket = call.reused ? std::move(m_kept) : newConnection(call, url, context);
        call.reader.emplace(static_cast<std::size_t>(kMaxReplyBytes));
        call.settled = call.cause != Cause::None;
        call.staleConnection = false;
        call.pinChecked = false;
        call.closeNotified = false;
        QSslSocket* const socket = call.socket.get();
        const QString peer = url.host();

        QObject::connect(socket, &QSslSocket::readyRead, &context, [&call] { call.take(); });
        QObject::connect(socket, &QAbstractSocket::errorOccurred, &context,
                         [&call, peer, socket](QAbstractSocket::SocketError error) {
                             call.closeNotified =
                                 call.closeNotified ||
                                 (error == QAbstractSocket::RemoteHostClosedError &&
                                  socket->errorString() == tlsClosedText());
                             call.connectionEnded(error, peer);
                         });
        QObject::connect(socket, &QAbstractSocket::disconnected, &context, [&call, peer] {
            call.connectionEnded(QAbstractSocket::RemoteHostClosedError, peer);
        });
        // Connected after the pin check of a new connection, which may have ended the exchange.
        auto send = [&call, socket, &request] {
            if (call.settled) {
                return;
            }
            socket->write(request.data(), static_cast<qint64>(request.size()));
        };
        if (call.reused) {
            send();
        } else {
            QObject::connect(socket, &QSslSocket::encrypted, &context, send);
            // Only now that every handler is in place: a connection can fail within this call
            // (under Wine a refused one does), and a failure signalled before the handlers
            // were connected would leave the exchange waiting for the whole time-out.
            socket->connectToHostEncrypted(url.host(), static_cast<quint16>(url.port(443)));
        }
        if (!call.settled) {
            call.loop.exec();
        }
        if (call.clientGone) {
            return false;
        }
        QObject::disconnect(socket, nullptr, &context, nullptr);
        if (!call.settled) {
            // The application is quitting: QCoreApplication::exit() ends every event loop.
            call.end(Cause::Cancelled);
        }
        const bool answered = call.cause == Cause::None && !call.staleConnection &&
                              call.reader->state() == HttpReplyReader::State::Complete;
        if (answered && call.reader->keepAlive() &&
            socket->state() == QAbstractSocket::ConnectedState) {
            m_kept = std::move(call.socket);
            m_keptOrigin = origin;
        } else {
            socket->abort();
            call.socket.reset();
        }
        if (!call.staleConnection || call.cause != Cause::None) {
            return answered;
        }
    }
}

std::unique_ptr<QSslSocket> GatewayClient::newConnection(Call& call, const QUrl& url,
                                                         QObject& context) {
    auto socket = std::make_unique<QSslSocket>();
    // The gateway is on the local network; a proxy would only be one more party to see the
    // token.
    socket->setProxy(QNetworkProxy::NoProxy);
    QSslSocket* const raw = socket.get();
    const QString gateway = CertificatePins::gatewayKey(url);
    // Decided during the handshake, before the request is written: in sslErrors when the
    // certificate does not verify (the usual self-signed one), otherwise once the connection is
    // encrypted, since a certificate the system trusts must still be the pinned one. Each
    // connection has a socket of its own, so what is ignored here holds for this handshake only.
    auto pinned = [this, &call, gateway](const QSslCertificate& peer) {
        call.pinChecked = true;
        const CertificatePins::Check check = m_pins.check(gateway, peer);
        if (check.verdict == CertificatePins::Verdict::Refused) {
            call.refused = peer;
            call.fail(kCertificateChanged, refusalText(gateway, check));
            return false;
        }
        return true;
    };
    QObject::connect(raw, &QSslSocket::sslErrors, &context,
                     [raw, pinned](const QList<QSslError>& errors) {
                         QSslCertificate peer = raw->peerCertificate();
                         for (const QSslError& error : errors) {
                             if (!peer.isNull()) {
                                 break;
                             }
                             peer = error.certificate();
                         }
                         if (pinned(peer)) {
                             raw->ignoreSslErrors(errors);
                         }
                     });
    QObject::connect(raw, &QSslSocket::encrypted, &context, [&call, raw, pinned] {
        if (!call.pinChecked) {
            pinned(raw->peerCertificate());
        }
    });
    return socket;
}

bool GatewayClient::awaitsOwner(const Call& call, const QUrl& url) {
    if (m_question == nullptr || call.aborted || call.cause != Cause::Failed ||
        call.number != kCertificateChanged || call.refused.isNull()) {
        return false;
    }
    const QString gateway = CertificatePins::gatewayKey(url);
    if (m_refused.contains(gateway + ' ' + CertificatePins::fingerprint(call.refused))) {
        return false;
    }
    // One question at a time; another certificate is asked about once this one is answered.
    if (!m_asking && !m_dueQuestion) {
        m_dueQuestion = Question{gateway, call.refused};
    }
    return true;
}

void GatewayClient::askDueQuestion() {
    // A request under way asks again when it ends.
    if (!m_dueQuestion || m_asking || !m_calls.empty()) {
        return;
    }
    const Question question = *m_dueQuestion;
    m_dueQuestion.reset();
    const CertificatePins::Details presented = CertificatePins::detailsOf(question.presented);
    // Another copy of the program may have trusted it meanwhile.
    m_pins.reload();
    if (m_pins.pinned(question.gateway).compare(presented.fingerprint, Qt::CaseInsensitive) == 0) {
        return;
    }
    m_asking = true;
    const std::weak_ptr<bool> alive = m_alive;
    const bool trust = m_question->trustNew(question.gateway, presented,
                                            m_pins.pinned(question.gateway),
                                            m_pins.pinnedDetails(question.gateway));
    if (alive.expired()) {
        return;
    }
    m_asking = false;
    if (trust) {
        m_pins.replace(question.gateway, question.presented);
    } else {
        m_refused.insert(question.gateway + ' ' + presented.fingerprint);
    }
}

support::Failure GatewayClient::failureOf(const Call& call) const {
    switch (call.cause) {
    case Cause::TimedOut:
        return requestFailure(kTimedOut,
                              "The gateway did not answer within " + durationText(m_timeout));
    case Cause::TooLarge:
        return requestFailure(kReplyTooLarge, QStringLiteral("The reply is larger than 4 MiB"));
    case Cause::Cancelled:
        return requestFailure(kCancelled, kCancelledText);
    case Cause::Failed:
        return requestFailure(call.number, call.description);
    case Cause::None:
        break;
    }
    return requestFailure(kOtherFailure, QStringLiteral("The request ended without a reply"));
}

void GatewayClient::abort() {
    // end() may finish a reply at once, which changes nothing in m_calls but is safer on a copy.
    const std::vector<Call*> calls = m_calls;
    for (Call* call : calls) {
        call->aborted = true;
        call->end(Cause::Cancelled);
    }
}

bool GatewayClient::pending() const {
    return !m_calls.empty();
}

bool GatewayClient::questionPending() const {
    return m_asking || m_dueQuestion.has_value();
}

bool GatewayClient::takeFailureAwaitingOwner() {
    return std::exchange(m_failureAwaitsOwner, false);
}

void GatewayClient::setTimeout(std::chrono::milliseconds timeout) {
    m_timeout = timeout;
}

std::chrono::milliseconds GatewayClient::timeout() const {
    return m_timeout;
}

} // namespace quorvane::client
