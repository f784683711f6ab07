#pragma once

#include "sim/httprequestparser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSslCertificate>
#include <QSslSocket>
#include <optional>

namespace quorvane::sim::testing {

// One HTTP reply as the client received it.
struct HttpReply {
    int status = 0;
    HeaderList headers;
    QByteArray body;

    std::optional<QByteArray> header(QByteArrayView name) const {
        return findHeader(headers, name);
    }
};

// A plain HTTPS client on one connection to 127.0.0.1 that trusts exactly one certificate, the
// one with the given SHA-256 digest. It reads replies by their Content-Length.
class TestClient {
public:
    TestClient(quint16 port, const QByteArray& trustedSha256);

    // Whether the TLS handshake completed (waits for it, or for its failure).
    bool connected();
    void send(const QByteArray& bytes);
    // Sends GET `target` with the given header lines ("Name: value") and reads the reply.
    std::optional<HttpReply> get(const QByteArray& target, const QList<QByteArray>& headers);
    // The next whole reply; nullopt when the connection closes first or nothing comes.
    std::optional<HttpReply> nextReply();
    // Whether the server closed the connection (waits for it).
    bool closedByServer();
    // Bytes received and not yet taken as a reply.
    QByteArray pending() const { return m_buffer; }
    QSslCertificate peerCertificate() const { return m_socket.peerCertificate(); }

private:
    void readAvailable();
    std::optional<HttpReply> takeReply();

    QSslSocket m_socket;
    QByteArray m_buffer;
};

// "Authorization: Bearer <the simulator's default token>".
QByteArray defaultAuthorization();

} // namespace quorvane::sim::testing
