#include "gateway/gatewayclient.h"

#include <algorithm>
#include <optional>

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include "gateway/certificatepins.h"
#include "gateway/replymessagebox.h"
#include "gateway/tokenfile.h"
#include "support/failure.h"

namespace quorvane::gateway {

namespace {

using namespace requesterrors;

constexpr char kCancelledText[] = "The request was cancelled";

// How the wait for a reply ended when it was not the reply that ended it.
enum class Cause { None, TimedOut, TooLarge, Cancelled, CertificateChanged };

std::string failureText(int number, const QString& description) {
    return support::errorText(support::Failure{number, description.toStdString()});
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

int failureNumber(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return kCannotConnect;
    case QNetworkReply::RemoteHostClosedError:
        return kConnectionAborted;
    case QNetworkReply::HostNotFoundError:
        return kNameNotResolved;
    case QNetworkReply::TimeoutError:
        return kTimedOut;
    case QNetworkReply::OperationCanceledError:
        return kCancelled;
    case QNetworkReply::SslHandshakeFailedError:
        return kSecureFailure;
    case QNetworkReply::ProtocolUnknownError:
        return kInvalidUrl;
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::UnknownServerError:
        return kInvalidResponse;
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return kRedirectFailed;
    default:
        return kOtherFailure;
    }
}

// The first `count` characters of a UTF-8 text, never cutting a character in two.
std::string firstCharacters(const std::string& utf8, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
        if (startsCharacter && seen++ == count) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

QString refusalText(const QString& gateway, const CertificatePins::Check& check) {
    const QString presented = check.presented.isEmpty()
                                  ? QStringLiteral("no usable certificate")
                                  : "a certificate with SHA-256 fingerprint " + check.presented;
    return "The gateway " + gateway + " presented " + presented + ", but the certificate " +
           check.pinned + " is the one trusted for it, so nothing was sent. If the gateway's " +
           "certificate was really replaced, start Quorvane once with --forget-certificates " +
           "to trust the new one";
}

} // namespace

struct GatewayClient::Call {
    QEventLoop loop;
    QPointer<QNetworkReply> reply;
    QByteArray body;
    Cause cause = Cause::None;
    QString refusal;
    bool clientGone = false;

    // Ends the wait for `why`; the first cause given is the one reported.
    void end(Cause why) {
        if (cause == Cause::None) {
            cause = why;
        }
        if (reply) {
            reply->abort();
        }
        loop.quit();
    }

    // Moves what has arrived into the body, within the size limit.
    void take() {
        if (!reply || !reply->isOpen()) {
            return;
        }
        body += reply->readAll();
        if (body.size() > kMaxReplyBytes) {
            body.clear();
            end(Cause::TooLarge);
        }
    }
};

GatewayClient::GatewayClient(CertificatePins& pins, ReplyMessageBox& messageBox)
    : m_manager(std::make_unique<QNetworkAccessManager>()), m_pins(pins), m_messageBox(messageBox) {
    // The gateway is on the local network; a proxy would only be one more party to see the
    // token.
    m_manager->setProxy(QNetworkProxy::NoProxy);
}

GatewayClient::~GatewayClient() {
    for (Call* call : m_calls) {
        call->clientGone = true;
        call->end(Cause::Cancelled);
    }
}

void GatewayClient::ApiGet(const std::string& url, const std::string& token, std::string& reply,
                           std::string& errorText) {
    const std::string target = url;
    const std::string bearer = token;
    reply.clear();
    auto fail = [&errorText](int number, const QString& description) {
        errorText = failureText(number, description);
    };

    const std::optional<std::string> headerValue = headerToken(bearer);
    if (!headerValue) {
        fail(kInvalidToken, QStringLiteral("The token contains white space or a control "
                                           "character; nothing was sent"));
        return;
    }
    const QUrl address(QString::fromStdString(target), QUrl::TolerantMode);
    if (!address.isValid() || address.host().isEmpty()) {
        fail(kInvalidUrl, "The URL is not valid: " + QString::fromStdString(target));
        return;
    }

    QNetworkRequest request(address);
    if (!headerValue->empty()) {
        request.setRawHeader("Authorization", QByteArray("Bearer ") + headerValue->c_str());
    }
    request.setRawHeader("Accept", "application/json");
    // A redirect must not carry the token to another address.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);

    Call call;
    QNetworkReply* const network = m_manager->get(request);
    call.reply = network;
    const QString gateway = CertificatePins::gatewayKey(address);
    QObject::connect(network, &QNetworkReply::finished, &call.loop, &QEventLoop::quit);
    QObject::connect(network, &QNetworkReply::readyRead, network, [&call] { call.take(); });
    QObject::connect(network, &QNetworkReply::metaDataChanged, network, [&call, network] {
        const QVariant length = network->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaxReplyBytes) {
            call.end(Cause::TooLarge);
        }
    });
    // Decided during the handshake, before the request is written. Only the errors seen for
    // this certificate are ignored: the connection keeps that list for the sockets it opens
    // later, so another certificate on a new connection comes back here and is refused.
    QObject::connect(network, &QNetworkReply::sslErrors, network,
                     [this, &call, network, gateway](const QList<QSslError>& errors) {
                         QSslCertificate peer = network->sslConfiguration().peerCertificate();
                         for (const QSslError& error : errors) {
                             if (!peer.isNull()) {
                                 break;
                             }
                             peer = error.certificate();
                         }
                         const CertificatePins::Check check = m_pins.check(gateway, peer);
                         if (check.verdict == CertificatePins::Verdict::Refused) {
                             call.cause = Cause::CertificateChanged;
                             call.refusal = refusalText(gateway, check);
                             return;
                         }
                         network->ignoreSslErrors(errors);
                     });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &deadline,
                     [&call] { call.end(Cause::TimedOut); });
    deadline.start(m_timeout);

    m_calls.push_back(&call);
    if (!network->isFinished()) {
        call.loop.exec();
    }
    if (call.clientGone) {
        // The manager and its replies went with the client; nothing of it may be touched.
        fail(kCancelled, kCancelledText);
        return;
    }
    deadline.stop();
    std::erase(m_calls, &call);
    if (!network->isFinished()) {
        // The application is quitting: QCoreApplication::exit() ends every event loop.
        call.end(Cause::Cancelled);
    }
    call.take();
    const std::optional<std::string> failure = failureOf(call, *network);
    delete network;
    if (failure) {
        errorText = *failure;
        return;
    }

    QStringDecoder decoder(QStringDecoder::Utf8);
    reply = QString(decoder(call.body)).toStdString();
    if (reply.find("error") != std::string::npos) {
        // The client may be gone once the box has closed: nothing after this touches it.
        m_messageBox.showReply(firstCharacters(reply, kMessageBoxCharacters));
    }
}

std::optional<std::string> GatewayClient::failureOf(const Call& call,
                                                    const QNetworkReply& network) const {
    switch (call.cause) {
    case Cause::TimedOut:
        return failureText(kTimedOut,
                           "The gateway did not answer within " + durationText(m_timeout));
    case Cause::TooLarge:
        return failureText(kReplyTooLarge, QStringLiteral("The reply is larger than 4 MiB"));
    case Cause::Cancelled:
        return failureText(kCancelled, kCancelledText);
    case Cause::CertificateChanged:
        return failureText(kCertificateChanged, call.refusal);
    case Cause::None:
        break;
    }
    const QVariant status = network.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        QString reason =
            QString::fromUtf8(
                network.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
                .trimmed();
        if (reason.isEmpty()) {
            reason = standardReason(status.toInt());
        }
        return failureText(status.toInt(), reason);
    }
    if (network.error() != QNetworkReply::NoError) {
        return failureText(failureNumber(network.error()), network.errorString());
    }
    return std::nullopt;
}

void GatewayClient::abort() {
    // end() may finish a reply at once, which changes nothing in m_calls but is safer on a copy.
    const std::vector<Call*> calls = m_calls;
    for (Call* call : calls) {
        call->end(Cause::Cancelled);
    }
}

bool GatewayClient::pending() const {
    return !m_calls.empty();
}

void GatewayClient::setTimeout(std::chrono::milliseconds timeout) {
    m_timeout = timeout;
}

std::chrono::milliseconds GatewayClient::timeout() const {
    return m_timeout;
}

} // namespace quorvane::gateway
