// quorvane-gateway-sim: the gateway simulator on 127.0.0.1 for the demo and the benchmarks.
// Its first lines on standard output are "listening on 127.0.0.1:PORT", "certificate sha256
// AB:CD:..." and "token <the accepted token>".

#include "sim/gatewaysimulator.h"
#include "sim/selfsignedcertificate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTime>
#include <cstdio>

namespace {

using quorvane::sim::Fault;
using quorvane::sim::GatewaySimulator;

int fail(const QString& text) {
    std::fprintf(stderr, "quorvane-gateway-sim: %s\n", qPrintable(text));
    return 2;
}

std::optional<QByteArray> readFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-gateway-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "HTTPS stand-in for a solar gateway's GET /ivp/meters/readings, on loopback only."));
    parser.addHelpOption();
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption bind(
        QStringLiteral("bind"), QStringLiteral("Address to listen on; only 127.0.0.1 and ::1 are allowed."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption token(QStringLiteral("token"),
                                   QStringLiteral("Bearer token that requests must carry."),
                                   QStringLiteral("token"));
    const QCommandLineOption tokenFile(QStringLiteral("token-file"),
                                       QStringLiteral("Read the token from the file's first line."),
                                       QStringLiteral("file"));
    const QCommandLineOption cert(
        QStringLiteral("cert"),
        QStringLiteral("PEM certificate (default: a fresh self-signed one)."),
        QStringLiteral("file"));
    const QCommandLineOption key(QStringLiteral("key"),
                                 QStringLiteral("PEM private key that goes with --cert."),
                                 QStringLiteral("file"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Simulated seconds per real second."),
                                   QStringLiteral("factor"));
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("Simulated time of day to start at (HH:MM)."),
                                   QStringLiteral("time"));
    const QCommandLineOption body(
        QStringLiteral("body"),
        QStringLiteral("Reply with this file's bytes instead of the model."),
        QStringLiteral("file"));
    const QCommandLineOption status(QStringLiteral("status"),
                                    QStringLiteral("Reply with this HTTP status (body: --body, "
                                                   "or {\"error\":\"<status>\"})."),
                                    QStringLiteral("code"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Wait this many milliseconds before each reply."),
                                   QStringLiteral("ms"));
    const QCommandLineOption connectionClose(
        QStringLiteral("connection-close"),
        QStringLiteral("Close the connection after every reply."));
    const QCommandLineOption oversizeBytes(QStringLiteral("oversize-bytes"),
                                           QStringLiteral("Body size for --oversize."),
                                           QStringLiteral("bytes"));
    const QCommandLineOption verbose(
        {QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Log every request and its reply's status on standard error."));
    parser.addOptions({port, bind, token, tokenFile, cert, key, speed, start, body, status, delay,
                       connectionClose, oversizeBytes, verbose});

    const struct {
        const char* name;
        Fault fault;
        const char* description;
    } faultFlags[] = {
        {"close-without-reply", Fault::CloseWithoutReply, "Close without any reply."},
        {"close-mid-body", Fault::CloseMidBody, "Send half of the body, then close."},
        {"oversize", Fault::OversizeBody, "Send a 5 MiB body (see --oversize-bytes)."},
        {"garbage", Fault::GarbageBody, "Send bytes that are not JSON."},
        {"compact", Fault::CompactBody, "Send the readings on one line."},
        {"empty-list", Fault::EmptyList, "Send [] like a gateway without meters."},
    };
    for (const auto& flag : faultFlags) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(flag.name),
                                            QString::fromLatin1(flag.description)));
    }
    parser.process(app);

    GatewaySimulator simulator;
    QString error;

    if (parser.isSet(token)) {
        simulator.setToken(parser.value(token).toUtf8());
    } else if (parser.isSet(tokenFile)) {
        const std::optional<QByteArray> bytes = readFile(parser.value(tokenFile), &error);
        if (!bytes) {
            return fail(error);
        }
        simulator.setToken(bytes->split('\n').first().trimmed());
    }

    if (parser.isSet(cert) != parser.isSet(key)) {
        return fail(QStringLiteral("--cert and --key go together"));
    }
    if (parser.isSet(cert)) {
        const auto loaded =
            quorvane::sim::loadCertificate(parser.value(cert), parser.value(key), &error);
        if (!loaded) {
            return fail(error);
        }
        simulator.setCertificate(loaded->certificate, loaded->key);
    }

    if (parser.isSet(speed) || parser.isSet(start)) {
        bool ok = true;
        const double factor = parser.isSet(speed) ? parser.value(speed).toDouble(&ok) : 1.0;
        if (!ok || factor < 0.0) {
            return fail(QStringLiteral("--speed wants a number of 0 or more"));
        }
        QDateTime from = QDateTime::currentDateTime();
        if (parser.isSet(start)) {
            const QTime time = QTime::fromString(parser.value(start), QStringLiteral("H:mm"));
            if (!time.isValid()) {
                return fail(QStringLiteral("--start wants HH:MM"));
            }
            from = quorvane::sim::todayAt(time);
        }
        simulator.setClock(from, factor);
    }

    if (parser.isSet(body) || parser.isSet(status)) {
        int code = 200;
        if (parser.isSet(status)) {
            bool ok = false;
            code = parser.value(status).toInt(&ok);
            if (!ok || code < 100 || code > 599) {
                return fail(QStringLiteral("--status wants an HTTP status code"));
            }
        }
        QByteArray bytes = "{\"error\":\"" + QByteArray::number(code) + "\"}";
        if (parser.isSet(body)) {
            const std::optional<QByteArray> file = readFile(parser.value(body), &error);
            if (!file) {
                return fail(error);
            }
            bytes = *file;
        }
        simulator.setFixedReply(code, bytes);
    }

    int faults = 0;
    for (const auto& flag : faultFlags) {
        if (parser.isSet(QString::fromLatin1(flag.name))) {
            simulator.setFault(flag.fault);
            ++faults;
        }
    }
    if (faults > 1) {
        return fail(QStringLiteral("choose one fault at a time"));
    }
    if (parser.isSet(oversizeBytes)) {
        bool ok = false;
        const qlonglong bytes = parser.value(oversizeBytes).toLongLong(&ok);
        if (!ok || bytes < 0) {
            return fail(QStringLiteral("--oversize-bytes wants a size in bytes"));
        }
        simulator.setOversizeBytes(static_cast<qsizetype>(bytes));
    }
    if (parser.isSet(delay)) {
        bool ok = false;
        const int ms = parser.value(delay).toInt(&ok);
        if (!ok || ms < 0) {
            return fail(QStringLiteral("--delay wants milliseconds"));
        }
        simulator.setReplyDelay(ms);
    }
    simulator.setCloseAfterEachReply(parser.isSet(connectionClose));

    if (parser.isSet(verbose)) {
        QObject::connect(&simulator, &GatewaySimulator::requestReceived, &simulator, [&simulator] {
            const auto request = simulator.lastRequest();
            std::fprintf(stderr, "%s %s\n", request->method.constData(),
                         request->target.constData());
        });
        QObject::connect(&simulator, &GatewaySimulator::replySent, &simulator, [](int replyStatus) {
            std::fprintf(stderr, "replied %d\n", replyStatus);
        });
    }

    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber > 65535) {
        return fail(QStringLiteral("--port wants a port number"));
    }
    if (!simulator.listen(static_cast<quint16>(portNumber), QHostAddress(parser.value(bind)))) {
        return fail(simulator.errorString());
    }
    std::printf("listening on %s\n", qPrintable(simulator.address()));
    std::printf("certificate sha256 %s\n",
                simulator.certificateSha256().toHex(':').toUpper().constData());
    std::printf("token %s\n", simulator.token().constData());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
