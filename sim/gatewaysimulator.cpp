#include "sim/gatewaysimulator.h"

#include "sim/selfsignedcertificate.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace quorvane::sim {
namespace {

// The page a gateway sends with 401: CR LF line ends, padded like its web server pads error
// pages so that browsers show them instead of their own.
QByteArray unauthorizedPage() {
    QByteArray page = "<html>\r\n"
                      "<head><title>401 Authorization Required</title></head>\r\n"
                      "<body>\r\n"
                      "<center><h1>401 Authorization Required</h1></center>\r\n"
                      "</body>\r\n"
                      "</html>\r\n";
    for (int i = 0; i < 6; ++i) {
        page += "<!-- a padding to disable MSIE and Chrome friendly error page -->\r\n";
    }
    return page;
}

QByteArray badRequestPage() {
    return "<html>\r\n"
           "<head><title>400 Bad Request</title></head>\r\n"
           "<body>\r\n"
           "<center><h1>400 Bad Request</h1></center>\r\n"
           "</body>\r\n"
           "</html>\r\n";
}

// What a web server without TLS sends back for a TLS greeting, which is no HTTP request.
QByteArray plainBadRequest() {
    const QByteArray page = badRequestPage();
    return "HTTP/1.1 400 Bad Request\r\n"
           "Content-Type: text/html\r\n"
           "Content-Length: " +
           QByteArray::number(page.size()) +
           "\r\n"
           "Connection: close\r\n"
           "\r\n" +
           page;
}

// `body` in chunks of at most `GatewaySimulator::kChunkBytes`, with the last, empty chunk only
// when `complete`.
QByteArray chunked(const QByteArray& body, bool complete) {
    QByteArray chunks;
    for (qsizetype at = 0; at < body.size(); at += GatewaySimulator::kChunkBytes) {
        const QByteArray chunk =
            body.sliced(at, std::min(GatewaySimulator::kChunkBytes, body.size() - at));
        chunks += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    }
    if (complete) {
        chunks += "0\r\n\r\n";
    }
    return chunks;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Not Allowed";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Temporarily Unavailable";
    default:
        return "Unknown";
    }
}

QByteArray garbageBody() {
    // Fixed seed: every garbage reply is the same, so a failure can be reproduced.
    QRandomGenerator generator(0x6a7ba6e);
    QByteArray body(4096, Qt::Uninitialized);
    for (char& c : body) {
        c = static_cast<char>(generator.bounded(256));
    }
    return body;
}

QByteArray httpDate() {
    return QLocale::c()
               .toString(QDateTime::currentDateTimeUtc(),
                         QStringLiteral("ddd, dd MMM yyyy hh:mm:ss"))
               .toLatin1() +
           " GMT";
}

} // namespace

struct GatewaySimulator::Connection : public QObject {
    explicit Connection(QSslSocket* s) : QObject(s), socket(s) {}

    QSslSocket* socket;
    HttpRequestParser parser;
    // A reply is pending (delayed); later requests wait in the parser.
    bool busy = false;
    // The connection is being closed: nothing more is read or answered.
    bool closing = false;
};

struct GatewaySimulator::Reply {
    enum class Action { Send, CutBody, CloseWithoutReply };

    int status = 200;
    QByteArray body;
    QByteArray contentType;
    Action action = Action::Send;
};

// The listening server; in plain HTTP mode it takes new connections without TLS.
struct GatewaySimulator::Server : public QSslServer {
    using QSslServer::QSslServer;

    bool plainHttp = false;

protected:
    void incomingConnection(qintptr descriptor) override {
        if (!plainHttp) {
            QSslServer::incomingConnection(descriptor);
            return;
        }
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            socket->readAll();
            if (socket->state() == QAbstractSocket::ConnectedState) {
                socket->write(plainBadRequest());
                socket->disconnectFromHost();
            }
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
};

QByteArray GatewaySimulator::defaultToken() {
    return QByteArrayLiteral(
        "eyJraWQiOiJxdW9ydmFuZS1zaW0iLCJ0eXAiOiJKV1QiLCJhbGciOiJFUzI1NiJ9."
        "eyJhdWQiOiIwMDAwMDAwMDAwMDAiLCJpc3MiOiJxdW9ydmFuZS1zaW11bGF0b3IiLCJlbnBoYXNlVXNlciI6Im93"
        "bmVyIiwiZXhwIjoxOTI0OTkxOTk5LCJpYXQiOjE3MDAwMDAwMDAsImp0aSI6IjVmM2MwZDFlLXNpbTAtNGMxYS05"
        "YjdlLTAwMDAwMDAwMDAwMCIsInVzZXJuYW1lIjoiZGVtb0BleGFtcGxlLmludmFsaWQifQ."
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0-Pw");
}

GatewaySimulator::GatewaySimulator(QObject* parent)
    : QObject(parent), m_server(new Server(this)), m_token(defaultToken()) {
    connect(m_server, &QSslServer::pendingConnectionAvailable, this,
            &GatewaySimulator::acceptConnections);
    regenerateCertificate();
}

GatewaySimulator::~GatewaySimulator() {
    close();
}

bool GatewaySimulator::listen(quint16 port, const QHostAddress& address) {
    if (address != QHostAddress(QHostAddress::LocalHost) &&
        address != QHostAddress(QHostAddress::LocalHostIPv6)) {
        m_errorString = QStringLiteral("the simulator listens on 127.0.0.1 or ::1 only, not on %1")
                            .arg(address.toString());
        return false;
    }
    if (m_server->isListening()) {
        m_errorString = QStringLiteral("already listening on port %1").arg(port);
        return false;
    }
    if (m_certificate.isNull() && !regenerateCertificate()) {
        return false;
    }
    if (!m_server->listen(address, port)) {
        m_errorString = m_server->errorString();
        return false;
    }
    return true;
}

void GatewaySimulator::close() {
    m_server->close();
    dropConnections();
}

void GatewaySimulator::dropConnections() {
    for (const QPointer<QSslSocket>& socket : std::exchange(m_sockets, {})) {
        if (socket) {
            socket->abort();
        }
    }
}

bool GatewaySimulator::isListening() const {
    return m_server->isListening();
}

quint16 GatewaySimulator::port() const {
    return m_server->isListening() ? m_server->serverPort() : 0;
}

QString GatewaySimulator::address() const {
    const QString host = m_server->serverAddress() == QHostAddress(QHostAddress::LocalHostIPv6)
                             ? "[::1]"
                             : "127.0.0.1";
    return host + ':' + QString::number(port());
}

QByteArray GatewaySimulator::certificateSha256() const {
    return m_certificate.digest(QCryptographicHash::Sha256);
}

bool GatewaySimulator::regenerateCertificate() {
    QString error;
    const std::optional<CertificateAndKey> generated = generateSelfSignedCertificate(&error);
    if (!generated) {
        m_errorString = error;
        return false;
    }
    setCertificate(generated->certificate, generated->key);
    return true;
}

void GatewaySimulator::setCertificate(const QSslCertificate& certificate, const QSslKey& key) {
    m_certificate = certificate;
    m_key = key;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(m_certificate);
    configuration.setPrivateKey(m_key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    m_server->setSslConfiguration(configuration);
}

QByteArray GatewaySimulator::modelBody(BodyLayout layout) {
    return readingsBody(m_model.readingsAt(m_clock.now()), layout);
}

void GatewaySimulator::setFixedReply(int status, const QByteArray& body,
                                     const QByteArray& contentType) {
    m_fixedReply = FixedReply{status, body, contentType};
}

void GatewaySimulator::setRedirect(const QByteArray& fromPath, const QByteArray& location) {
    m_redirect = Redirect{fromPath, location};
}

void GatewaySimulator::setPlainHttp(bool plain) {
    m_server->plainHttp = plain;
}

bool GatewaySimulator::plainHttp() const {
    return m_server->plainHttp;
}

void GatewaySimulator::clearFaults() {
    m_server->plainHttp = false;
    m_fault = Fault::None;
    m_fixedReply.reset();
    m_replyDelayMs = 0;
    m_closeAfterEachReply = false;
    m_chunkedReplies = false;
    m_bodyEndedByClose = false;
    m_redirect.reset();
    m_oversizeBytes = kDefaultOversizeBytes;
}

int GatewaySimulator::openConnections() const {
    return static_cast<int>(
        std::count_if(m_sockets.begin(), m_sockets.end(), [](const QPointer<QSslSocket>& s) {
            return s && s->state() == QAbstractSocket::ConnectedState;
        }));
}

void GatewaySimulator::resetCounters() {
    m_connectionsAccepted = 0;
    m_requestsReceived = 0;
    m_requestsServed = 0;
    m_lastRequest.reset();
}

void GatewaySimulator::acceptConnections() {
    while (m_server->hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(m_server->nextPendingConnection());
        if (socket == nullptr) {
            continue;
        }
        ++m_connectionsAccepted;
        std::erase_if(m_sockets, [](const QPointer<QSslSocket>& s) { return s.isNull(); });
        m_sockets.emplace_back(socket);
        auto* connection = new Connection(socket);
        connect(socket, &QSslSocket::readyRead, connection,
                [this, connection] { readFrom(*connection); });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        emit connectionAccepted();
        // The first request may have arrived together with the end of the handshake.
        readFrom(*connection);
    }
}

void GatewaySimulator::readFrom(Connection& connection) {
    const QByteArray bytes = connection.socket->readAll();
    if (connection.closing) {
        return;
    }
    connection.parser.append(bytes);
    processNext(connection);
}

void GatewaySimulator::processNext(Connection& connection) {
    while (!connection.busy && !connection.closing) {
        HttpRequest request;
        switch (connection.parser.next(request)) {
        case HttpRequestParser::Result::NeedMore:
            return;
        case HttpRequestParser::Result::Bad:
            send(connection, Reply{400, badRequestPage(), "text/html"}, false, false);
            return;
        case HttpRequestParser::Result::Complete:
            ++m_requestsReceived;
            m_lastRequest = request;
            emit requestReceived();
            connection.busy = true;
            if (m_replyDelayMs > 0) {
                QTimer::singleShot(m_replyDelayMs, &connection, [this, &connection, request] {
                    respond(connection, request);
                    processNext(connection);
                });
                return;
            }
            respond(connection, request);
            break;
        }
    }
}

void GatewaySimulator::respond(Connection& connection, const HttpRequest& request) {
    send(connection, replyTo(request), request.keepAlive(), request.method == "HEAD");
}

void GatewaySimulator::send(Connection& connection, const Reply& reply, bool keepAlive,
                            bool headersOnly) {
    connection.busy = false;
    QSslSocket* socket = connection.socket;
    if (reply.action == Reply::Action::CloseWithoutReply) {
        connection.closing = true;
        socket->disconnectFromHost();
        return;
    }
    const bool close = m_closeAfterEachReply || !keepAlive || reply.status == 400 ||
                       reply.action == Reply::Action::CutBody || m_bodyEndedByClose;
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    head += "Date: " + httpDate() + "\r\n";
    if (!reply.contentType.isEmpty()) {
        head += "Content-Type: " + reply.contentType + "\r\n";
    }
    if (reply.status == 302 && m_redirect) {
        head += "Location: " + m_redirect->location + "\r\n";
    }
    const QByteArray body = reply.action == Reply::Action::CutBody
                                ? reply.body.first(reply.body.size() / 2)
                                : reply.body;
    if (m_chunkedReplies) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (!m_bodyEndedByClose) {
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    }
    head += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";
    socket->write(head);
    if (!headersOnly) {
        socket->write(m_chunkedReplies
                          ? chunked(body, reply.action != Reply::Action::CutBody)
                          : body);
    }
    ++m_requestsServed;
    if (close) {
        connection.closing = true;
        if (reply.action == Reply::Action::CutBody) {
            // Hands what is buffered to the system, then ends the TCP connection without
            // TLS's closing alert.
            socket->flush();
            socket->abort();
        } else {
            // Writes what is buffered, sends the closing alert, then closes.
            socket->disconnectFromHost();
        }
    }
    emit replySent(reply.status);
}

GatewaySimulator::Reply GatewaySimulator::replyTo(const HttpRequest& request) {
    if (!m_token.isEmpty()) {
        const QByteArray authorization = request.header("Authorization").value_or(QByteArray());
        const qsizetype blank = authorization.indexOf(' ');
        const bool bearer =
            blank > 0 && authorization.first(blank).compare("Bearer", Qt::CaseInsensitive) == 0;
        if (!bearer || authorization.sliced(blank + 1) != m_token) {
            return Reply{401, unauthorizedPage(), "text/html"};
        }
    }
    if (m_redirect && request.path() == m_redirect->fromPath) {
        return Reply{302, {}, {}};
    }
    if (request.path() != kReadingsPath) {
        return Reply{404, R"({"error":"404 - Not Found"})", "application/json"};
    }
    if (request.method != "GET" && request.method != "HEAD") {
        return Reply{405, R"({"error":"405 - Not Allowed"})", "application/json"};
    }
    return readingsReply();
}

GatewaySimulator::Reply GatewaySimulator::readingsReply() {
    switch (m_fault) {
    case Fault::CloseWithoutReply:
        return Reply{0, {}, {}, Reply::Action::CloseWithoutReply};
    case Fault::OversizeBody:
        return Reply{
            200, oversizeReadingsBody(m_model.readingsAt(m_clock.now()), m_oversizeBytes), {}};
    case Fault::GarbageBody:
        return Reply{200, garbageBody(), {}};
    case Fault::CompactBody:
        return Reply{200, modelBody(BodyLayout::Compact), {}};
    case Fault::EmptyList:
        return Reply{200, "[]", {}};
    case Fault::None:
    case Fault::CloseMidBody:
        break;
    }
    Reply reply = m_fixedReply
                      ? Reply{m_fixedReply->status, m_fixedReply->body, m_fixedReply->contentType}
                      : Reply{200, modelBody(), {}};
    if (m_fault == Fault::CloseMidBody) {
        reply.action = Reply::Action::CutBody;
    }
    return reply;
}

} // namespace quorvane::sim
