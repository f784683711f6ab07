#include <chrono>
#include <string>

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "client/clientrig.h"

namespace quorvane::client {
namespace {

using namespace std::chrono_literals;
using testing::testData;

std::string header(const sim::GatewaySimulator& simulator, const char* name) {
    const auto request = simulator.lastRequest();
    if (!request) {
        return "<no request>";
    }
    const auto value = request->header(name);
    return value ? value->toStdString() : "<none>";
}

using GatewayClientRequest = ClientRig;

TEST_F(GatewayClientRequest, SendsBearerTokenAndAcceptAndReturnsTheBody) {
    const std::string body = testData("readings-fw7.6.175-production-and-net.json");
    simulator.setFixedReply(200, QByteArray::fromStdString(body));

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "");
    EXPECT_EQ(outcome.reply, body);
    EXPECT_EQ(header(simulator, "Authorization"), "Bearer " + gatewayToken());
    EXPECT_EQ(header(simulator, "Accept"), "application/json");
    EXPECT_EQ(simulator.lastRequest()->target.toStdString(), "/ivp/meters/readings?cache=14:05:09");
}

TEST_F(GatewayClientRequest, SendsAPercentEncodedQueryAsItIs) {
    simulator.setFixedReply(200, "{}");
    const std::string target = "/ivp/meters/readings?cache=%E4%B8%8B%E5%8D%882:05:09%20%5B%5D";
    Outcome outcome;
    client->ApiGet("https://" + simulator.address().toStdString() + target, gatewayToken(),
                   outcome.reply, outcome.errorText);
    EXPECT_EQ(outcome.errorText, "");
    ASSERT_TRUE(simulator.lastRequest());
    EXPECT_EQ(simulator.lastRequest()->target.toStdString(), target);
}

TEST_F(GatewayClientRequest, EmptyTokenSendsNoAuthorizationHeader) {
    simulator.setToken({});

    const Outcome outcome = get("");

    EXPECT_EQ(outcome.errorText, "");
    EXPECT_EQ(header(simulator, "Authorization"), "<none>");
    EXPECT_EQ(header(simulator, "Accept"), "application/json");
}

TEST_F(GatewayClientRequest, TokenWithTrailingLineEndIsSentClean) {
    const Outcome outcome = get(gatewayToken() + "\r\n");

    EXPECT_EQ(outcome.errorText, "");
    EXPECT_EQ(header(simulator, "Authorization"), "Bearer " + gatewayToken());
}

TEST_F(GatewayClientRequest, TokenWithInnerLineBreakSendsNothing) {
    const Outcome outcome = get("abc\r\nX-Injected: yes");

    EXPECT_EQ(outcome.errorText, "Error -2147024809: The token contains white space or a "
                                 "control character; nothing was sent");
    EXPECT_EQ(outcome.reply, "");
    EXPECT_EQ(simulator.requestsReceived(), 0);
    EXPECT_EQ(simulator.connectionsAccepted(), 0);
}

TEST_F(GatewayClientRequest, UrlWithoutHostSendsNothing) {
    std::string reply = "stale";
    std::string errorText;

    client->ApiGet("https:///ivp/meters/readings?cache=14:05:09", gatewayToken(), reply, errorText);

    EXPECT_EQ(
        errorText,
        "Error -2147012891: The URL is not valid: https:///ivp/meters/readings?cache=14:05:09");
    EXPECT_EQ(reply, "");
}

TEST_F(GatewayClientRequest, FiftyPollsShareOneTlsConnection) {
    for (int poll = 0; poll < 50; ++poll) {
        const Outcome outcome = get();
        ASSERT_EQ(outcome.errorText, "") << "poll " << poll;
        ASSERT_NE(outcome.reply, "") << "poll " << poll;
    }

    EXPECT_EQ(simulator.requestsServed(), 50);
    EXPECT_EQ(simulator.connectionsAccepted(), 1);
}

TEST_F(GatewayClientRequest, GatewayRestartedOnTheSamePortIsAskedOnANewConnectionAtOnce) {
    // A request written on the connection the gateway dropped would wait for the time-out.
    client->setTimeout(2s);
    ASSERT_EQ(get().errorText, "");
    for (int restart = 1; restart <= 10; ++restart) {
        const quint16 port = simulator.port();
        simulator.close();
        ASSERT_TRUE(simulator.listen(port)) << simulator.errorString().toStdString();

        const Outcome outcome = get();

        ASSERT_EQ(outcome.errorText, "") << "restart " << restart;
        ASSERT_NE(outcome.reply, "") << "restart " << restart;
    }
    EXPECT_EQ(simulator.connectionsAccepted(), 11);
    EXPECT_EQ(simulator.requestsReceived(), 11);
}

TEST_F(GatewayClientRequest, WindowEventsAreHandledWhileWaiting) {
    simulator.setReplyDelay(200);
    bool handledWhilePending = false;
    QTimer::singleShot(0, [&] { handledWhilePending = client->pending(); });

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "");
    EXPECT_TRUE(handledWhilePending);
    EXPECT_FALSE(client->pending());
}

struct StatusRow {
    const char* name;
    int status;
    std::string body;
    std::string errorText;
};

void PrintTo(const StatusRow& row, std::ostream* out) {
    *out << row.name;
}

class GatewayClientStatus : public ClientRig, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(GatewayClientStatus, StatusOutside2xxIsAFailureWithoutReply) {
    simulator.setFixedReply(GetParam().status, QByteArray::fromStdString(GetParam().body));

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, GetParam().errorText);
    EXPECT_EQ(outcome.reply, "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GatewayClientStatus,
    ::testing::Values(StatusRow{"NotFoundWithErrorBody", 404,
                                testData("readings-fw3.8.10-not-found.json"),
                                "Error 404: Not Found"},
                      StatusRow{"ServerError", 500, "", "Error 500: Internal Server Error"},
                      StatusRow{"ReasonPhraseTakenFromTheReply", 503, "busy",
                                "Error 503: Service Temporarily Unavailable"}),
    [](const ::testing::TestParamInfo<StatusRow>& row) { return std::string(row.param.name); });

TEST_F(GatewayClientRequest, WrongTokenIsUnauthorized) {
    const Outcome outcome = get("not-the-gateways-token");

    EXPECT_EQ(outcome.errorText, "Error 401: Unauthorized");
    EXPECT_EQ(outcome.reply, "");
    EXPECT_EQ(simulator.requestsReceived(), 1);
}

TEST_F(GatewayClientRequest, SlowGatewayTimesOutAndTheNextPollWorks) {
    client->setTimeout(300ms);
    simulator.setReplyDelay(15000);

    const Outcome late = get();

    EXPECT_EQ(late.errorText, "Error -2147012894: The gateway did not answer within 300 "
                              "milliseconds");
    EXPECT_EQ(late.reply, "");

    simulator.clearFaults();
    const Outcome next = get();
    EXPECT_EQ(next.errorText, "");
    EXPECT_NE(next.reply, "");
}

TEST_F(GatewayClientRequest, RefusedPortFails) {
    const quint16 port = simulator.port();
    simulator.close();
    std::string reply;
    std::string errorText;

    client->ApiGet("https://127.0.0.1:" + std::to_string(port) + "/ivp/meters/readings",
                   gatewayToken(), reply, errorText);

    EXPECT_EQ(errorText, "Error -2147012867: Connection refused");
    EXPECT_EQ(reply, "");
}

enum class Framing { ContentLength, Chunked, EndedByClose };

// Every reply framing the gateway may use: a Content-Length, chunked transfer coding, or a body
// that ends with the connection.
class GatewayClientFraming : public ClientRig, public ::testing::WithParamInterface<Framing> {
protected:
    void SetUp() override {
        ClientRig::SetUp();
        simulator.setChunkedReplies(GetParam() == Framing::Chunked);
        simulator.setBodyEndedByClose(GetParam() == Framing::EndedByClose);
    }
};

TEST_P(GatewayClientFraming, BodyArrivesWholeAndTheConnectionIsKeptWhereItCanBe) {
    const std::string body = testData("readings-fw8.3.5167-three-meters.json");
    ASSERT_GT(body.size(), 2 * sim::GatewaySimulator::kChunkBytes);
    simulator.setFixedReply(200, QByteArray::fromStdString(body));

    const Outcome first = get();
    const Outcome second = get();

    EXPECT_EQ(first.errorText, "");
    EXPECT_EQ(first.reply, body);
    EXPECT_EQ(second.reply, body);
    EXPECT_EQ(simulator.connectionsAccepted(), GetParam() == Framing::EndedByClose ? 2 : 1);
}

TEST_P(GatewayClientFraming, OversizeBodyFailsAndTheNextPollWorks) {
    simulator.setFault(sim::Fault::OversizeBody);
    simulator.setOversizeBytes(GatewayClient::kMaxReplyBytes + 1);

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "Error -2147012712: The reply is larger than 4 MiB");
    EXPECT_EQ(outcome.reply, "");

    simulator.clearFaults();
    EXPECT_EQ(get().errorText, "");
}

TEST_P(GatewayClientFraming, BodyOfExactlyTheLimitIsKept) {
    simulator.setFault(sim::Fault::OversizeBody);
    simulator.setOversizeBytes(GatewayClient::kMaxReplyBytes);

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "");
    EXPECT_EQ(outcome.reply.size(), static_cast<std::size_t>(GatewayClient::kMaxReplyBytes));
}

TEST_P(GatewayClientFraming, ConnectionDroppedMidBodyFails) {
    simulator.setFault(sim::Fault::CloseMidBody);

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "Error -2147012866: Connection closed");
    EXPECT_EQ(outcome.reply, "");
}

INSTANTIATE_TEST_SUITE_P(Replies, GatewayClientFraming,
                         ::testing::Values(Framing::ContentLength, Framing::Chunked,
                                           Framing::EndedByClose),
                         [](const ::testing::TestParamInfo<Framing>& row) {
                             return std::string(row.param == Framing::ContentLength ? "ContentLength"
                                                : row.param == Framing::Chunked ? "Chunked"
                                                                                : "EndedByClose");
                         });

TEST_F(GatewayClientRequest, ConnectionTheGatewayClosedIsReplacedWithoutAFailure) {
    ASSERT_EQ(get().errorText, "");

    // At once, before the client can have seen the close, and again after the events of the
    // close have run.
    simulator.dropConnections();
    const Outcome atOnce = get();
    simulator.dropConnections();
    ASSERT_TRUE(QTest::qWaitFor([&] { return simulator.openConnections() == 0; }));
    QCoreApplication::processEvents();
    const Outcome later = get();

    EXPECT_EQ(atOnce.errorText, "");
    EXPECT_NE(atOnce.reply, "");
    EXPECT_EQ(later.errorText, "");
    EXPECT_NE(later.reply, "");
    EXPECT_EQ(simulator.connectionsAccepted(), 3);
}

TEST_F(GatewayClientRequest, RedirectOnTheSameAddressIsFollowedWithTheToken) {
    simulator.setRedirect("/api/readings", "/ivp/meters/readings?cache=14:05:09");
    std::string reply;
    std::string errorText;

    client->ApiGet("https://" + simulator.address().toStdString() + "/api/readings",
                   gatewayToken(), reply, errorText);

    EXPECT_EQ(errorText, "");
    EXPECT_NE(reply, "");
    EXPECT_EQ(simulator.requestsReceived(), 2);
    EXPECT_EQ(simulator.lastRequest()->target.toStdString(), "/ivp/meters/readings?cache=14:05:09");
    EXPECT_EQ(header(simulator, "Authorization"), "Bearer " + gatewayToken());
}

TEST_F(GatewayClientRequest, RedirectToAnotherAddressSendsNothingThere) {
    sim::GatewaySimulator other;
    ASSERT_TRUE(other.listen());
    // The same machine by another name is another address.
    const std::string elsewhere =
        "https://localhost:" + std::to_string(other.port()) + "/ivp/meters/readings";
    simulator.setRedirect(sim::GatewaySimulator::kReadingsPath,
                          QByteArray::fromStdString(elsewhere + "?cache=1"));

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "Error -2147012740: The gateway redirected the request to "
                                 "another address (" +
                                     elsewhere + "); it was not sent there");
    EXPECT_EQ(outcome.reply, "");
    EXPECT_EQ(other.connectionsAccepted(), 0);
}

TEST_F(GatewayClientRequest, EndlessRedirectsFail) {
    simulator.setRedirect(sim::GatewaySimulator::kReadingsPath, "/ivp/meters/readings");

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText,
              "Error -2147012740: The gateway redirected the request too many times");
    EXPECT_EQ(simulator.requestsReceived(), GatewayClient::kMaxRedirects + 1);
}

TEST_F(GatewayClientRequest, PlainHttpUrlSendsNothing) {
    std::string reply;
    std::string errorText;
    const std::string url = "http://" + simulator.address().toStdString() + "/ivp/meters/readings";

    client->ApiGet(url, gatewayToken(), reply, errorText);

    EXPECT_EQ(errorText, "Error -2147012891: The URL is not valid: " + url);
    EXPECT_EQ(simulator.connectionsAccepted(), 0);
}

TEST_F(GatewayClientRequest, AbortEndsAPendingRequestAtOnce) {
    simulator.setReplyDelay(15000);
    bool pendingWhenAborted = false;
    QTimer::singleShot(50, [&] {
        pendingWhenAborted = client->pending();
        client->abort();
    });

    const Outcome outcome = get();

    EXPECT_TRUE(pendingWhenAborted);
    EXPECT_EQ(outcome.errorText, "Error -2147012879: The request was cancelled");
    EXPECT_EQ(outcome.reply, "");
    EXPECT_FALSE(client->pending());
}

TEST_F(GatewayClientRequest, QuittingApplicationEndsAPendingRequest) {
    simulator.setReplyDelay(15000);
    QTimer::singleShot(50, [] { QCoreApplication::exit(0); });

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "Error -2147012879: The request was cancelled");
    EXPECT_EQ(outcome.reply, "");
    // Event loops refuse to run once the application has been told to quit; a short run of the
    // application's own loop lifts that for the tests that follow in this process.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(GatewayClientRequest, ClientDestroyedWhileWaitingEndsTheCall) {
    simulator.setReplyDelay(15000);
    QTimer::singleShot(50, [&] { client.reset(); });
    std::string reply;
    std::string errorText;
    GatewayClient* const waiting = client.get();

    waiting->ApiGet(readingsUrl(), gatewayToken(), reply, errorText);

    EXPECT_EQ(client, nullptr);
    EXPECT_EQ(errorText, "Error -2147012879: The request was cancelled");
}

} // namespace
} // namespace quorvane::client
