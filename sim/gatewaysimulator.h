#pragma once

#include "sim/httprequestparser.h"
#include "sim/readingsmodel.h"
#include "sim/simulatedclock.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QSslSocket;

namespace quorvane::sim {

// Ways a readings reply goes wrong, as gateways have shown them. They act only on requests for
// the readings path that carry the right token.
enum class Fault {
    None,
    // Reads the request, then closes the connection without any reply.
    CloseWithoutReply,
    // Sends the headers with the full Content-Length and half of the body, then drops the
    // connection without TLS's closing alert, as a gateway that loses power does.
    CloseMidBody,
    // 200 with an indented body of oversizeBytes() bytes.
    OversizeBody,
    // 200 with bytes that are not JSON at all.
    GarbageBody,
    // 200 with the readings on one line, without blanks.
    CompactBody,
    // 200 with "[]", a gateway without meters.
    EmptyList,
};

// An HTTPS stand-in for the gateway's local interface on 127.0.0.1: GET /ivp/meters/readings
// with a bearer token, HTTP/1.1 keep-alive, readings from ReadingsModel on a SimulatedClock,
// and switchable faults. Runs in the event loop of the thread it lives in.
class GatewaySimulator : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kReadingsPath = "/ivp/meters/readings";
    // The token accepted unless setToken() chooses another (shaped like a gateway's JWT).
    static QByteArray defaultToken();
    static constexpr qsizetype kDefaultOversizeBytes = 5 * 1024 * 1024;

    explicit GatewaySimulator(QObject* parent = nullptr);
    ~GatewaySimulator() override;

    // Listens on `address`:`port` (port 0 picks a free one). Only the loopback addresses
    // 127.0.0.1 and ::1 are accepted; any other address, a busy port or a certificate failure
    // gives false and errorString().
    bool listen(quint16 port = 0, const QHostAddress& address = QHostAddress::LocalHost);
    // Stops listening and drops every open connection.
    void close();
    bool isListening() const;
    // 0 while not listening.
    quint16 port() const;
    // "127.0.0.1:PORT" or "[::1]:PORT", the gateway address as the program is given it.
    QString address() const;
    QString errorString() const { return m_errorString; }

    // The certificate new connections are served with.
    QSslCertificate certificate() const { return m_certificate; }
    // SHA-256 of the certificate's DER bytes, 32 raw bytes.
    QByteArray certificateSha256() const;
    // New connections get a freshly generated certificate ("the gateway's certificate
    // changed"); open connections keep theirs. False, with errorString(), if generation failed.
    bool regenerateCertificate();
    void setCertificate(const QSslCertificate& certificate, const QSslKey& key);

    // The token the Authorization header must carry ("Bearer <token>"); an empty token lets
    // every request through.
    void setToken(const QByteArray& token) { m_token = token; }
    QByteArray token() const { return m_token; }

    // The model's clock: from `start`, `speed` simulated seconds per real second (0 stands
    // still, which makes replies repeatable).
    void setClock(const QDateTime& start, double speed) { m_clock.set(start, speed); }
    SimulatedClock& clock() { return m_clock; }
    // The model the readings come from; its readingsAt() gives a past or future second's reading
    // without changing what requests get.
    ReadingsModel& model() { return m_model; }
    // A readings body as the next request would get it (it advances the energy counters).
    QByteArray modelBody(BodyLayout layout = BodyLayout::Indented);

    // Readings requests get `status` and `body` instead of the model's readings; Content-Type
    // is sent only when given (real 200 replies have none).
    void setFixedReply(int status, const QByteArray& body, const QByteArray& contentType = {});
    // Back to the model's readings.
    void useModel() { m_fixedReply.reset(); }

    void setFault(Fault fault) { m_fault = fault; }
    Fault fault() const { return m_fault; }
    void setOversizeBytes(qsizetype bytes) { m_oversizeBytes = bytes; }
    qsizetype oversizeBytes() const { return m_oversizeBytes; }
    // Waits this long before answering each request, other requests on the connection queue up.
    void setReplyDelay(int milliseconds) { m_replyDelayMs = milliseconds; }
    // Like firmware that closes: "Connection: close" on every reply, then the connection ends.
    void setCloseAfterEachReply(bool close) { m_closeAfterEachReply = close; }
    // Replies go out with "Transfer-Encoding: chunked" instead of a Content-Length, the body in
    // chunks of at most kChunkBytes, as web servers in front of an application send them.
    void setChunkedReplies(bool chunked) { m_chunkedReplies = chunked; }
    static constexpr qsizetype kChunkBytes = 1024;
    // Replies go out with neither a Content-Length nor chunked coding: the body ends where the
    // connection does, closed after each reply with TLS's closing alert (close_notify).
    void setBodyEndedByClose(bool ended) { m_bodyEndedByClose = ended; }
    // Requests for `fromPath` (with the right token) get "302 Found" with `location` as sent.
    void setRedirect(const QByteArray& fromPath, const QByteArray& location);
    // Ends every open connection, as a gateway does with idle ones, and goes on listening.
    void dropConnections();
    // New connections meet a web server without TLS, as on a port that is not the gateway's
    // HTTPS port: their TLS greeting gets a plain HTTP 400 page and the connection closes, so
    // no handshake completes. Open connections keep their TLS.
    void setPlainHttp(bool plain);
    bool plainHttp() const;
    // No fault, no delay, no redirect, keep-alive, Content-Length, TLS, readings from the
    // model.
    void clearFaults();

    // TLS handshakes completed.
    int connectionsAccepted() const { return m_connectionsAccepted; }
    int openConnections() const;
    // Complete requests read, whether answered or not.
    int requestsReceived() const { return m_requestsReceived; }
    // Replies sent, of any status (a reply cut off by CloseMidBody counts too).
    int requestsServed() const { return m_requestsServed; }
    // The most recent complete request.
    std::optional<HttpRequest> lastRequest() const { return m_lastRequest; }
    void resetCounters();

signals:
    void connectionAccepted();
    void requestReceived();
    // A reply (whole or cut off) has been handed to the connection.
    void replySent(int status);

private:
    struct Connection;
    struct Reply;
    struct Server;

    void acceptConnections();
    void readFrom(Connection& connection);
    void processNext(Connection& connection);
    void respond(Connection& connection, const HttpRequest& request);
    void send(Connection& connection, const Reply& reply, bool keepAlive, bool headersOnly);
    Reply replyTo(const HttpRequest& request);
    Reply readingsReply();

    Server* m_server = nullptr;
    // Connections past their handshake, for close() and openConnections().
    std::vector<QPointer<QSslSocket>> m_sockets;
    QSslCertificate m_certificate;
    QSslKey m_key;
    QString m_errorString;
    QByteArray m_token;

    SimulatedClock m_clock;
    ReadingsModel m_model;
    struct FixedReply {
        int status;
        QByteArray body;
        QByteArray contentType;
    };
    std::optional<FixedReply> m_fixedReply;
    Fault m_fault = Fault::None;
    qsizetype m_oversizeBytes = kDefaultOversizeBytes;
    int m_replyDelayMs = 0;
    bool m_closeAfterEachReply = false;
    bool m_chunkedReplies = false;
    bool m_bodyEndedByClose = false;
    struct Redirect {
        QByteArray fromPath;
        QByteArray location;
    };
    std::optional<Redirect> m_redirect;

    int m_connectionsAccepted = 0;
    int m_requestsReceived = 0;
    int m_requestsServed = 0;
    std::optional<HttpRequest> m_lastRequest;
};

} // namespace quorvane::sim
