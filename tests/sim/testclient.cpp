#include "testclient.h"

#include "sim/gatewaysimulator.h"

#include <QCryptographicHash>
#include <QTest>

namespace quorvane::sim::testing {
namespace {

constexpr int kWaitMs = 10'000;

} // namespace

TestClient::TestClient(quint16 port, const QByteArray& trustedSha256) {
    QObject::connect(&m_socket, &QSslSocket::sslErrors, &m_socket,
                     [this, trustedSha256](const QList<QSslError>&) {
                         if (m_socket.peerCertificate().digest(QCryptographicHash::Sha256) ==
                             trustedSha256) {
                             m_socket.ignoreSslErrors();
                         }
                     });
    QObject::connect(&m_socket, &QSslSocket::readyRead, &m_socket, [this] { readAvailable(); });
    m_socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
}

bool TestClient::connected() {
    return QTest::qWaitFor(
               [this] {
                   return m_socket.isEncrypted() ||
                          m_socket.state() == QAbstractSocket::UnconnectedState;
               },
               kWaitMs) &&
           m_socket.isEncrypted();
}

void TestClient::send(const QByteArray& bytes) {
    m_socket.write(bytes);
}

std::optional<HttpReply> TestClient::get(const QByteArray& target,
                                         const QList<QByteArray>& headers) {
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const QByteArray& line : headers) {
        request += line + "\r\n";
    }
    send(request + "\r\n");
    return nextReply();
}

std::optional<HttpReply> TestClient::nextReply() {
    std::optional<HttpReply> reply;
    // A reply cut short by a closing server is left in pending().
    const bool done = QTest::qWaitFor(
        [this, &reply] {
            reply = takeReply();
            return reply.has_value() || m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        kWaitMs);
    return done && !reply ? takeReply() : reply;
}

bool TestClient::closedByServer() {
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                           kWaitMs);
}

void TestClient::readAvailable() {
    m_buffer += m_socket.readAll();
}

std::optional<HttpReply> TestClient::takeReply() {
    const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        return std::nullopt;
    }
    HttpReply reply;
    const QList<QByteArray> lines = m_buffer.first(headEnd).split('\n');
    reply.status = lines.first().split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        reply.headers.append({lines[i].first(colon), lines[i].sliced(colon + 1).trimmed()});
    }
    const qsizetype length = reply.header("Content-Length").value_or("0").toLongLong();
    if (m_buffer.size() < headEnd + 4 + length) {
        return std::nullopt;
    }
    reply.body = m_buffer.sliced(headEnd + 4, length);
    m_buffer.remove(0, headEnd + 4 + length);
    return reply;
}

QByteArray defaultAuthorization() {
    return "Authorization: Bearer " + GatewaySimulator::defaultToken();
}

} // namespace quorvane::sim::testing
