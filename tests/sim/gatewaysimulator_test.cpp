#include "sim/gatewaysimulator.h"
#include "sim/selfsignedcertificate.h"
#include "sim/simulatorthread.h"
#include "testclient.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace quorvane::sim {
namespace {

using testing::defaultAuthorization;
using testing::HttpReply;
using testing::TestClient;

const QByteArray kReadings = "/ivp/meters/readings?cache=12:00:00";
const QDateTime kNoon(QDate(2024, 6, 21), QTime(12, 0));

QList<QByteArray> entriesOf(const QByteArray& body) {
    return body.split(',');
}

// "activePower" entries as the program counts them: "reactivePower" ones left out.
int activePowerEntries(const QByteArray& body) {
    int count = 0;
    for (const QByteArray& entry : entriesOf(body)) {
        count += entry.contains("activePower") && !entry.contains("reactivePower") ? 1 : 0;
    }
    return count;
}

QByteArray firstTimestampEntry(const QByteArray& body) {
    for (const QByteArray& entry : entriesOf(body)) {
        if (entry.contains("timestamp")) {
            return entry;
        }
    }
    return {};
}

bool isJson(const QByteArray& body) {
    QJsonParseError error{};
    QJsonDocument::fromJson(body, &error);
    return error.error == QJsonParseError::NoError;
}

class Simulator : public ::testing::Test {
protected:
    void SetUp() override {
        simulator.setClock(kNoon, 0.0);
        ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
    }

    std::unique_ptr<TestClient> connect() {
        auto client = std::make_unique<TestClient>(simulator.port(), simulator.certificateSha256());
        EXPECT_TRUE(client->connected());
        return client;
    }

    std::optional<HttpReply> getReadings(TestClient& client) {
        return client.get(kReadings, {defaultAuthorization(), "Accept: application/json"});
    }

    GatewaySimulator simulator;
};

TEST_F(Simulator, ReadingsReplyHasTheShapeTheProgramReads) {
    auto client = connect();
    const std::optional<HttpReply> reply = getReadings(*client);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_FALSE(reply->header("Content-Type"));
    EXPECT_TRUE(reply->body.endsWith("\n]"));
    EXPECT_EQ(firstTimestampEntry(reply->body).mid(22, 12),
              QByteArray::number(kNoon.toSecsSinceEpoch()));
    EXPECT_EQ(activePowerEntries(reply->body), 8);

    const QJsonArray meters = QJsonDocument::fromJson(reply->body).array();
    ASSERT_EQ(meters.size(), 2);
    for (const QJsonValue& meter : meters) {
        const QJsonArray channels = meter[QStringLiteral("channels")].toArray();
        ASSERT_EQ(channels.size(), 3);
        for (const QJsonValue& channel : channels) {
            EXPECT_FALSE(channel.toObject().contains(QStringLiteral("channels")));
            EXPECT_EQ(channel[QStringLiteral("timestamp")], meter[QStringLiteral("timestamp")]);
        }
    }
    // Noon: production exceeds the load, so the net meter exports.
    EXPECT_GT(meters[0][QStringLiteral("activePower")].toDouble(), 3000.0);
    EXPECT_LT(meters[1][QStringLiteral("activePower")].toDouble(), 0.0);

    simulator.setClock(QDateTime(kNoon.date(), QTime(2, 0)), 0.0);
    const QJsonArray night = QJsonDocument::fromJson(getReadings(*client)->body).array();
    EXPECT_EQ(night[0][QStringLiteral("activePower")].toDouble(), 0.0);
    EXPECT_GT(night[1][QStringLiteral("activePower")].toDouble(), 0.0);
}

TEST_F(Simulator, MissingOrWrongTokenGetsTheGatewaysAuthorizationPage) {
    const QByteArray token = GatewaySimulator::defaultToken();
    const struct {
        const char* name;
        QList<QByteArray> headers;
    } rows[] = {
        {"no Authorization header", {}},
        {"wrong token", {"Authorization: Bearer wrong"}},
        {"right token, other scheme", {"Authorization: Basic " + token}},
        {"token cut short", {"Authorization: Bearer " + token.chopped(1)}},
        {"token with more after it", {"Authorization: Bearer " + token + "x"}},
    };
    auto client = connect();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<HttpReply> reply = client->get(kReadings, row.headers);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 401);
        EXPECT_EQ(reply->header("Content-Type"), "text/html");
        EXPECT_TRUE(reply->body.startsWith("<html>\r\n"));
        EXPECT_TRUE(reply->body.contains("<title>401 Authorization Required</title>"));
        EXPECT_EQ(reply->body.count("\r\n"), reply->body.count('\n'));
        EXPECT_NEAR(static_cast<double>(reply->body.size()), 555.0, 40.0);
    }
    EXPECT_EQ(getReadings(*client)->status, 200);
    EXPECT_EQ(simulator.connectionsAccepted(), 1);
}

TEST_F(Simulator, KeepAliveServesSeveralRequestsOverOneConnection) {
    QNetworkAccessManager manager;
    const auto fetch = [&](bool withToken) {
        QNetworkRequest request(QUrl(
            QStringLiteral("https://%1%2").arg(simulator.address(), QLatin1String(kReadings))));
        if (withToken) {
            request.setRawHeader("Authorization", "Bearer " + GatewaySimulator::defaultToken());
        }
        request.setRawHeader("Accept", "application/json");
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        QObject::connect(reply.get(), &QNetworkReply::sslErrors, reply.get(), [&, r = reply.get()] {
            if (r->sslConfiguration().peerCertificate() == simulator.certificate()) {
                r->ignoreSslErrors();
            }
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return reply->isFinished(); }, 10'000));
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    };

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fetch(true), 200);
    }
    EXPECT_EQ(simulator.connectionsAccepted(), 1);
    EXPECT_EQ(simulator.requestsServed(), 3);
    EXPECT_EQ(simulator.lastRequest()->header("Authorization"),
              "Bearer " + GatewaySimulator::defaultToken());
    EXPECT_EQ(simulator.lastRequest()->header("Accept"), "application/json");

    EXPECT_EQ(fetch(false), 401);
    EXPECT_FALSE(simulator.lastRequest()->header("Authorization"));
}

TEST_F(Simulator, PipelinedAndSplitRequestsAreAnsweredInOrder) {
    auto client = connect();
    const QByteArray head = " HTTP/1.1\r\n" + defaultAuthorization() + "\r\n\r\n";
    client->send("GET " + kReadings + head + "GET /ivp/nowhere" + head);
    EXPECT_EQ(client->nextReply()->status, 200);
    EXPECT_EQ(client->nextReply()->status, 404);

    const QByteArray request = "GET " + kReadings + head;
    for (qsizetype at = 0; at < request.size(); at += 7) {
        client->send(request.mid(at, 7));
    }
    EXPECT_EQ(client->nextReply()->status, 200);
    EXPECT_EQ(simulator.connectionsAccepted(), 1);
}

TEST_F(Simulator, BadRequestsGet400AndTheConnectionCloses) {
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        {"not HTTP", "hello there\r\n\r\n"},
        {"binary bytes", QByteArray("\x16\x03\x01\x00\xff\xfe\r\n\r\n", 10)},
        {"headers over 16 KiB", "GET / HTTP/1.1\r\nX-Long: " + QByteArray(17 * 1024, 'a')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto client = connect();
        client->send(row.bytes);
        const std::optional<HttpReply> reply = client->nextReply();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 400);
        EXPECT_EQ(reply->header("Connection"), "close");
        EXPECT_TRUE(client->closedByServer());
    }
    auto client = connect();
    EXPECT_EQ(getReadings(*client)->status, 200);
}

TEST_F(Simulator, DelayedReplyComesLateAndHoldsBackTheNextRequest) {
    simulator.setReplyDelay(150);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> receivedAt;
    QList<qint64> sentAt;
    QObject::connect(&simulator, &GatewaySimulator::requestReceived, &simulator,
                     [&] { receivedAt.append(clock.elapsed()); });
    QObject::connect(&simulator, &GatewaySimulator::replySent, &simulator,
                     [&] { sentAt.append(clock.elapsed()); });

    auto client = connect();
    const QByteArray request =
        "GET " + kReadings + " HTTP/1.1\r\n" + defaultAuthorization() + "\r\n\r\n";
    client->send(request + request);
    EXPECT_EQ(client->nextReply()->status, 200);
    EXPECT_EQ(client->nextReply()->status, 200);
    ASSERT_EQ(receivedAt.size(), 2);
    ASSERT_EQ(sentAt.size(), 2);
    EXPECT_GE(sentAt[0] - receivedAt[0], 150);
    EXPECT_GE(receivedAt[1], sentAt[0]);
    EXPECT_GE(sentAt[1] - receivedAt[1], 150);
}

TEST_F(Simulator, FixedReplyReplacesTheReadings) {
    const struct {
        const char* name;
        int status;
        QByteArray body;
        QByteArray contentType;
    } rows[] = {
        {"old firmware without the interface", 404, R"({"error":"404 - Not Found"})",
         "application/json"},
        {"server error without a body", 500, "", ""},
        {"recorded body", 200, "[\n]", ""},
    };
    auto client = connect();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        simulator.setFixedReply(row.status, row.body, row.contentType);
        const std::optional<HttpReply> reply = getReadings(*client);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, row.status);
        EXPECT_EQ(reply->body, row.body);
        EXPECT_EQ(reply->header("Content-Type").value_or("none"),
                  row.contentType.isEmpty() ? "none" : row.contentType);
    }
    simulator.useModel();
    EXPECT_EQ(activePowerEntries(getReadings(*client)->body), 8);
}

TEST_F(Simulator, BodyFaultsChangeOnlyTheBody) {
    const struct {
        const char* name;
        Fault fault;
        std::function<void(const QByteArray&)> check;
    } rows[] = {
        {"oversize", Fault::OversizeBody,
         [](const QByteArray& body) {
             EXPECT_EQ(body.size(), GatewaySimulator::kDefaultOversizeBytes);
             EXPECT_TRUE(isJson(body));
         }},
        {"garbage", Fault::GarbageBody,
         [](const QByteArray& body) {
             EXPECT_FALSE(body.isEmpty());
             EXPECT_FALSE(isJson(body));
         }},
        {"compact", Fault::CompactBody,
         [](const QByteArray& body) {
             EXPECT_FALSE(body.contains(' ') || body.contains('\n'));
             EXPECT_TRUE(isJson(body));
             EXPECT_EQ(activePowerEntries(body), 8);
             // Without line breaks and indentation the time stamp starts before position 23.
             EXPECT_LT(firstTimestampEntry(body).size(), 23);
         }},
        {"empty list", Fault::EmptyList, [](const QByteArray& body) { EXPECT_EQ(body, "[]"); }},
    };
    auto client = connect();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        simulator.setFault(row.fault);
        const std::optional<HttpReply> reply = getReadings(*client);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        row.check(reply->body);
    }
    EXPECT_EQ(simulator.connectionsAccepted(), 1);
}

TEST_F(Simulator, CloseMidBodySendsPartOfTheDeclaredBody) {
    simulator.setFault(Fault::CloseMidBody);
    auto client = connect();
    EXPECT_FALSE(getReadings(*client));
    EXPECT_TRUE(client->closedByServer());

    const QByteArray received = client->pending();
    const QRegularExpressionMatch length =
        QRegularExpression(QStringLiteral("Content-Length: (\\d+)\r\n")).match(received);
    ASSERT_TRUE(length.hasMatch());
    const qsizetype bodyPart = received.size() - (received.indexOf("\r\n\r\n") + 4);
    EXPECT_GT(bodyPart, 0);
    EXPECT_LT(bodyPart, length.captured(1).toLongLong());
}

TEST_F(Simulator, CloseWithoutReplyClosesSilentlyButStillChecksTheToken) {
    simulator.setFault(Fault::CloseWithoutReply);
    auto client = connect();
    EXPECT_EQ(client->get(kReadings, {})->status, 401);
    EXPECT_FALSE(getReadings(*client));
    EXPECT_TRUE(client->closedByServer());
    EXPECT_TRUE(client->pending().isEmpty());
    EXPECT_EQ(simulator.requestsReceived(), 2);
    EXPECT_EQ(simulator.requestsServed(), 1);
}

TEST_F(Simulator, ConnectionCloseModeEndsEveryConnectionAfterOneReply) {
    simulator.setCloseAfterEachReply(true);
    for (int i = 0; i < 2; ++i) {
        auto client = connect();
        const std::optional<HttpReply> reply = getReadings(*client);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->header("Connection"), "close");
        EXPECT_TRUE(client->closedByServer());
    }
    EXPECT_EQ(simulator.connectionsAccepted(), 2);
}

TEST_F(Simulator, GeneratedCertificateNamesLoopbackForOneYearFromYesterday) {
    const QSslCertificate certificate = simulator.certificate();
    EXPECT_EQ(certificate.subjectInfo(QSslCertificate::CommonName),
              QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_TRUE(certificate.subjectAlternativeNames()
                    .values(QSsl::IpAddressEntry)
                    .contains(QStringLiteral("127.0.0.1")));
    const QDateTime yesterday = QDateTime::currentDateTimeUtc().addDays(-1);
    EXPECT_LE(std::abs(certificate.effectiveDate().secsTo(yesterday)), 600);
    EXPECT_EQ(certificate.effectiveDate().daysTo(certificate.expiryDate()), 365);

    auto client = connect();
    EXPECT_EQ(client->peerCertificate().digest(QCryptographicHash::Sha256),
              simulator.certificateSha256());
}

TEST_F(Simulator, ChangedCertificateReachesOnlyNewConnections) {
    const QByteArray before = simulator.certificateSha256();
    auto early = connect();
    ASSERT_TRUE(simulator.regenerateCertificate());
    ASSERT_NE(simulator.certificateSha256(), before);

    TestClient pinnedToOld(simulator.port(), before);
    EXPECT_FALSE(pinnedToOld.connected());
    auto late = connect();
    EXPECT_EQ(late->peerCertificate().digest(QCryptographicHash::Sha256),
              simulator.certificateSha256());
    EXPECT_EQ(getReadings(*early)->status, 200);
}

TEST_F(Simulator, PlainHttpModeFailsTheHandshakeOfNewConnectionsOnly) {
    auto early = connect();
    simulator.setPlainHttp(true);

    TestClient refused(simulator.port(), simulator.certificateSha256());
    EXPECT_FALSE(refused.connected());
    QTcpSocket plain;
    plain.connectToHost(QHostAddress::LocalHost, simulator.port());
    ASSERT_TRUE(plain.waitForConnected(5000));
    plain.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray received;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        received += plain.readAll();
        return plain.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_TRUE(received.startsWith("HTTP/1.1 400 Bad Request\r\n")) << received.toStdString();
    EXPECT_TRUE(received.endsWith("</html>\r\n"));
    EXPECT_EQ(getReadings(*early)->status, 200);

    simulator.clearFaults();
    EXPECT_FALSE(simulator.plainHttp());
    auto again = connect();
    EXPECT_EQ(getReadings(*again)->status, 200);
    EXPECT_EQ(simulator.connectionsAccepted(), 2);
}

TEST_F(Simulator, CertificateFromPemFilesIsServed) {
    QTemporaryDir dir;
    const std::optional<CertificateAndKey> pair = generateSelfSignedCertificate();
    ASSERT_TRUE(pair);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString certPath = write(QStringLiteral("cert.pem"), pair->certificate.toPem());
    const QString keyPath = write(QStringLiteral("key.pem"), pair->key.toPem());

    QString error;
    EXPECT_FALSE(loadCertificate(certPath, dir.filePath(QStringLiteral("none.pem")), &error));
    EXPECT_TRUE(error.startsWith(dir.filePath(QStringLiteral("none.pem"))));
    const std::optional<CertificateAndKey> loaded = loadCertificate(certPath, keyPath, &error);
    ASSERT_TRUE(loaded);
    simulator.setCertificate(loaded->certificate, loaded->key);
    auto client = connect();
    EXPECT_EQ(client->peerCertificate(), pair->certificate);
}

TEST(SimulatorListen, RefusesEveryAddressButLoopback) {
    for (const char* address : {"0.0.0.0", "::", "192.168.1.10", "::ffff:127.0.0.1", "::2"}) {
        SCOPED_TRACE(address);
        GatewaySimulator simulator;
        EXPECT_FALSE(simulator.listen(0, QHostAddress(QString::fromLatin1(address))));
        EXPECT_FALSE(simulator.isListening());
        EXPECT_TRUE(simulator.errorString().contains(QStringLiteral("127.0.0.1 or ::1 only")));
    }
}

TEST(SimulatorThread, ServesABlockingClientFromItsOwnThread) {
    SimulatorThread thread;
    QByteArray digest;
    ASSERT_TRUE(thread.start(0, [&](GatewaySimulator& simulator) {
        simulator.setFault(Fault::EmptyList);
        digest = simulator.certificateSha256();
    }));

    QSslSocket socket;
    QObject::connect(&socket, &QSslSocket::sslErrors, &socket, [&] {
        if (socket.peerCertificate().digest(QCryptographicHash::Sha256) == digest) {
            socket.ignoreSslErrors();
        }
    });
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), thread.port());
    ASSERT_TRUE(socket.waitForEncrypted(10'000));
    socket.write("GET /ivp/meters/readings HTTP/1.1\r\n" + defaultAuthorization() + "\r\n\r\n");
    QByteArray received;
    while (!received.endsWith("[]") && socket.waitForReadyRead(10'000)) {
        received += socket.readAll();
    }
    EXPECT_TRUE(received.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(received.endsWith("\r\n\r\n[]"));

    int served = 0;
    thread.invoke([&](GatewaySimulator& simulator) { served = simulator.requestsServed(); });
    EXPECT_EQ(served, 1);
    thread.stop();
    EXPECT_FALSE(thread.isRunning());
}

TEST(SimulatorExecutable, PrintsItsAddressFirstAndTakesItsOptions) {
    QTemporaryDir dir;
    QFile tokenFile(dir.filePath(QStringLiteral("token.txt")));
    ASSERT_TRUE(tokenFile.open(QIODevice::WriteOnly));
    tokenFile.write("file-token\r\n");
    tokenFile.close();

    QProcess process;
    process.start(QStringLiteral(QUORVANE_SIM_EXECUTABLE),
                  {QStringLiteral("--token-file"), tokenFile.fileName(), QStringLiteral("--start"),
                   QStringLiteral("12:00"), QStringLiteral("--speed"), QStringLiteral("0"),
                   QStringLiteral("--compact")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return process.canReadLine(); }, 10'000));
    const QString first = QString::fromLatin1(process.readLine()).trimmed();
    const QRegularExpressionMatch address =
        QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$")).match(first);
    ASSERT_TRUE(address.hasMatch()) << first.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return process.canReadLine(); }, 10'000));
    const QByteArray fingerprint = process.readLine().trimmed().split(' ').value(2);

    TestClient client(address.captured(1).toUShort(), QByteArray::fromHex(fingerprint));
    ASSERT_TRUE(client.connected());
    const std::optional<HttpReply> reply =
        client.get(kReadings, {"Authorization: Bearer file-token"});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_FALSE(reply->body.contains('\n'));
    EXPECT_TRUE(reply->body.contains(
        "\"timestamp\":" +
        QByteArray::number(QDateTime(QDate::currentDate(), QTime(12, 0)).toSecsSinceEpoch())));
    process.kill();
    process.waitForFinished();

    QProcess refused;
    refused.start(QStringLiteral(QUORVANE_SIM_EXECUTABLE),
                  {QStringLiteral("--bind"), QStringLiteral("0.0.0.0")});
    ASSERT_TRUE(refused.waitForFinished(10'000));
    EXPECT_EQ(refused.exitCode(), 2);
    EXPECT_TRUE(refused.readAllStandardOutput().isEmpty());
}

} // namespace
} // namespace quorvane::sim
