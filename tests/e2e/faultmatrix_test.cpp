// Gateway faults end to end, one row each: the program's window with its real gateway client
// against the simulator on 127.0.0.1. Every row starts from a good reading, puts one fault on,
// looks at the notice, the boxes and the output file, clears the fault, and sees the next good
// reading shown and written as before. One fault also runs against the built program.

#include "app/frmtimeoutmsg.h"
#include "e2etesting.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <sstream>

namespace quorvane::testing {
namespace {

using reading::Box;

constexpr const char* kFw76 = "readings-fw7.6.175-production-and-net.json";
constexpr const char* kFw82 = "readings-fw8.2.4345-production-and-net.json";

// fw7.6.175's reply in UTC and en_US: 1693745133; 488.925 W produced, 36.162 W exported, so
// 452.7 W used and the grid line negative.
const OutputLines kFw76Lines = {"9/3/2023 12:45:33 PM", "488.9", "452.7", "-36.2 "};
// fw8.2.4345's reply in UTC: 1748577049; 807.326 W produced, 199.234 W imported.
const OutputLines kFw82Lines = {"5/30/2025 3:50:49 AM", "807.3", "1,006.5", "199.2"};

constexpr int kReadingBudgetMs = 20000;
// The client gives up on a silent gateway after ten seconds.
constexpr int kNoticeBudgetMs = 40000;
constexpr int kStartUpBudgetMs = 40000;

QByteArray fixture(const char* name) {
    return QByteArray::fromStdString(testData(name));
}

// The same JSON on one line: every blank and line end outside strings dropped.
QByteArray oneLine(const QByteArray& json) {
    QByteArray compact;
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"' && (i == 0 || json[i - 1] != '\\')) {
            inString = !inString;
        }
        if (inString || (c != ' ' && c != '\n' && c != '\r' && c != '\t')) {
            compact += c;
        }
    }
    return compact;
}

// A certificate's SHA-256 fingerprint as upper-case hex pairs joined by colons.
QString fingerprintOf(const QSslCertificate& certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

// The reading the rows start from and come back to.
void serveGoodReadings(sim::GatewaySimulator& simulator) {
    simulator.clearFaults();
    simulator.setToken(sim::GatewaySimulator::defaultToken());
    simulator.setFixedReply(200, fixture(kFw76));
}

// Text, back colour and tooltip of every box.
struct BoxState {
    std::string text;
    std::uint32_t colour;
    std::string toolTip;

    bool operator==(const BoxState&) const = default;
};
using BoxStates = std::array<BoxState, reading::kBoxCount>;

BoxStates boxStates(const app::Quorvanefrm& window) {
    BoxStates states;
    for (int i = 0; i < reading::kBoxCount; ++i) {
        const auto box = static_cast<Box>(i);
        states[static_cast<std::size_t>(i)] = {window.text(box), window.backColour(box),
                                               window.toolTip(box)};
    }
    return states;
}

// The boxes whose text, colour or tooltip differ, with both states, for a failure message; the
// boxes in `changing` are left out.
std::string differences(const BoxStates& expected, const BoxStates& actual,
                        const std::vector<Box>& changing) {
    std::ostringstream out;
    for (int i = 0; i < reading::kBoxCount; ++i) {
        const auto box = static_cast<Box>(i);
        if (std::find(changing.begin(), changing.end(), box) != changing.end()) {
            continue;
        }
        const BoxState& before = expected[static_cast<std::size_t>(i)];
        const BoxState& now = actual[static_cast<std::size_t>(i)];
        if (!(before == now)) {
            out << reading::boxName(box) << ": \"" << before.text << "\" " << before.colour << " \""
                << before.toolTip << "\" -> \"" << now.text << "\" " << now.colour << " \""
                << now.toolTip << "\"\n";
        }
    }
    return out.str();
}

// What a row's notice may name.
struct Facts {
    QString gateway;
    QString firstFingerprint;
    QString currentFingerprint;
};

using BoxTexts = std::vector<std::pair<Box, std::string>>;

struct FaultRow {
    std::string name;
    // Puts the fault on, on the simulator's thread.
    std::function<void(sim::GatewaySimulator&)> fault;
    // The notice's whole text; none when empty or when it gives "".
    std::function<std::string(const Facts&)> notice;
    // The boxes whose texts the fault changes; every other box keeps its text, colour and
    // tooltip.
    BoxTexts shown;
    // The output file while the fault lasts.
    OutputLines written;
    // A line the program reports on standard error; none when empty.
    std::string reported;
};

void PrintTo(const FaultRow& row, std::ostream* out) {
    *out << row.name;
}

// A failed request: its notice, then "Wrong/No IP address" with the previous reading in every
// other box and in the file.
FaultRow failedRequest(std::string name, std::function<void(sim::GatewaySimulator&)> fault,
                       std::function<std::string(const Facts&)> notice) {
    return {std::move(name),
            std::move(fault),
            std::move(notice),
            {{Box::TimeStamp, "Wrong/No IP address"}},
            {"Wrong/No IP address", kFw76Lines[1], kFw76Lines[2], kFw76Lines[3]},
            {}};
}

FaultRow failedRequest(std::string name, std::function<void(sim::GatewaySimulator&)> fault,
                       const std::string& errorText) {
    return failedRequest(std::move(name), std::move(fault),
                         [errorText](const Facts&) { return "API Call Failed: " + errorText; });
}

const BoxTexts kReadingBoxesZero = {{Box::TimeStamp, "0"}, {Box::Production, "0"}, {Box::Grid, "0"},
                                    {Box::S1, "0"},        {Box::S2, "0"},         {Box::S3, "0"},
                                    {Box::G1, "0"},        {Box::G2, "0"},         {Box::G3, "0"}};

// A reply without any entry the walk knows: no notice, the reading's boxes read "0";
// Consumption and the phase currents and voltages stay. Grid reads 0 on the export colour it
// kept, so its line is 0 negated: a blank for the sign.
FaultRow noReading(std::string name, std::function<void(sim::GatewaySimulator&)> fault) {
    return {std::move(name),
            std::move(fault),
            {},
            kReadingBoxesZero,
            {"0", "0", kFw76Lines[2], " 0 "},
            {}};
}

// The boxes whose text is expected in `shown`, and Turnaround and MyTime, which every cycle
// writes.
std::vector<Box> changingBoxes(const BoxTexts& shown) {
    std::vector<Box> boxes = {Box::Turnaround, Box::MyTime};
    for (const auto& [box, text] : shown) {
        boxes.push_back(box);
    }
    return boxes;
}

BoxTexts textsOf(const app::Quorvanefrm& window, const BoxTexts& shown) {
    BoxTexts texts;
    for (const auto& [box, text] : shown) {
        texts.emplace_back(box, window.text(box));
    }
    return texts;
}

class FaultMatrix : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultMatrix, ShowsTheFaultThenTheNextGoodReading) {
    const FaultRow& row = GetParam();
    GatewayThread gateway(serveGoodReadings);
    WindowRun program(gateway.address());
    program.startUp();
    program.typeDelay("100");
    ASSERT_TRUE(program.waitForOutput([](const OutputLines& l) { return l == kFw76Lines; },
                                      kReadingBudgetMs))
        << ::testing::PrintToString(program.output());
    const BoxStates before = boxStates(program.window());

    gateway.invoke([&](sim::GatewaySimulator& simulator) {
        row.fault(simulator);
        simulator.resetCounters();
    });
    std::vector<std::string> modals;
    std::vector<std::int32_t> noticeTimes;
    int certificateDialogs = 0;
    const ModalWatcher watcher([&](QWidget& modal) {
        // Polling holds while the test looks at what the cycle leaves.
        program.window().Stopbtn_Click();
        if (modal.objectName() == QStringLiteral("CertificateDialog")) {
            ++certificateDialogs;
            press(modal, "cmdKeepRefusing");
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
            modals.push_back("message box: " + box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
            return;
        }
        modals.push_back(noticeText(modal));
        if (auto* notice = qobject_cast<app::frmTimeoutMsg*>(&modal)) {
            noticeTimes.push_back(notice->timeout());
            EXPECT_EQ(unreadableNotice(*notice), "");
        }
        press(modal, "cmdClose");
    });
    ::testing::internal::CaptureStderr();
    const auto faultShown = [&] {
        return textsOf(program.window(), row.shown) == row.shown && program.output() == row.written;
    };
    const bool shown =
        QTest::qWaitFor([&] { return faultShown() || !modals.empty(); }, kNoticeBudgetMs);
    program.click("Stopbtn");
    // The cycle of a notice goes on once the notice has closed.
    EXPECT_TRUE(shown && QTest::qWaitFor(faultShown, kReadingBudgetMs))
        << ::testing::PrintToString(textsOf(program.window(), row.shown))
        << ::testing::PrintToString(program.output());
    const std::string reported = ::testing::internal::GetCapturedStderr();

    Facts facts{gateway.address(), fingerprintOf(gateway.firstCertificate().certificate), {}};
    int requestsDuring = 0;
    gateway.invoke([&](sim::GatewaySimulator& simulator) {
        facts.currentFingerprint = fingerprintOf(simulator.certificate());
        requestsDuring = simulator.requestsReceived();
    });
    const std::string notice = row.notice ? row.notice(facts) : std::string();
    const std::vector<std::string> expectedModals =
        notice.empty() ? std::vector<std::string>{} : std::vector<std::string>{notice};
    EXPECT_EQ(modals, expectedModals);
    // A failed request is announced for fifteen seconds unless OK ends it sooner.
    const bool failureNotice =
        !expectedModals.empty() && expectedModals[0].starts_with("API Call Failed: ");
    EXPECT_EQ(noticeTimes,
              failureNotice ? std::vector<std::int32_t>{15000} : std::vector<std::int32_t>{});
    EXPECT_EQ(differences(before, boxStates(program.window()), changingBoxes(row.shown)), "");
    if (!row.reported.empty()) {
        EXPECT_NE(reported.find(row.reported), std::string::npos) << reported;
    }
    if (facts.currentFingerprint != facts.firstFingerprint) {
        EXPECT_EQ(requestsDuring, 0) << "a request reached a gateway with another certificate";
    }
    // The owner is asked about a changed certificate (and keeps refusing it here).
    EXPECT_EQ(certificateDialogs, facts.currentFingerprint != facts.firstFingerprint ? 1 : 0);

    gateway.invoke([&](sim::GatewaySimulator& simulator) {
        serveGoodReadings(simulator);
        simulator.setCertificate(gateway.firstCertificate().certificate,
                                 gateway.firstCertificate().key);
        if (!simulator.isListening()) {
            EXPECT_TRUE(simulator.listen(gateway.port()));
        }
    });
    const std::size_t modalsBefore = modals.size();
    program.click("Startbtn");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return program.window().text(Box::TimeStamp) == kFw76Lines[0] &&
                   program.output() == kFw76Lines;
        },
        kReadingBudgetMs))
        << ::testing::PrintToString(program.output());
    EXPECT_EQ(modals.size(), modalsBefore);
    EXPECT_EQ(differences(before, boxStates(program.window()), {Box::Turnaround, Box::MyTime}), "");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fast, FaultMatrix, ::testing::Values(
    failedRequest("RefusedPort",
                  [](sim::GatewaySimulator& s) { s.close(); },
                  "Error -2147012867: Connection refused"),
    failedRequest("TlsHandshakeFails",
                  [](sim::GatewaySimulator& s) {
                      s.setPlainHttp(true);
                      restartOnSamePort(s);
                  },
                  // Qt's text with OpenSSL 3's reason for a reply that is no TLS record.
                  "Error -2147012721: SSL handshake failed: Error during SSL handshake: "
                  "error:0A00010B:SSL routines::wrong version number"),
    // The owner is asked about it (and keeps refusing here); the question is the cycle's
    // notice, so none is stacked over it.
    failedRequest("ChangedCertificate",
                  [](sim::GatewaySimulator& s) {
                      ASSERT_TRUE(s.regenerateCertificate());
                      restartOnSamePort(s);
                  },
                  [](const Facts&) { return std::string(); }),
    failedRequest("CloseWithoutReply",
                  [](sim::GatewaySimulator& s) { s.setFault(sim::Fault::CloseWithoutReply); },
                  "Error -2147012866: Connection closed"),
    failedRequest("UnauthorizedWithHtmlPage",
                  [](sim::GatewaySimulator& s) { s.setToken("another-token"); },
                  "Error 401: Unauthorized"),
    failedRequest("NotFoundWithJsonError",
                  [](sim::GatewaySimulator& s) {
                      s.setFixedReply(404, fixture("readings-fw3.8.10-not-found.json"),
                                      "application/json");
                  },
                  "Error 404: Not Found"),
    failedRequest("ServerError",
                  [](sim::GatewaySimulator& s) { s.setFixedReply(500, {}); },
                  "Error 500: Internal Server Error"),
    failedRequest("OversizeBody",
                  [](sim::GatewaySimulator& s) { s.setFault(sim::Fault::OversizeBody); },
                  "Error -2147012712: The reply is larger than 4 MiB"),
    failedRequest("CloseMidBody",
                  [](sim::GatewaySimulator& s) { s.setFault(sim::Fault::CloseMidBody); },
                  "Error -2147012866: Connection closed"),
    noReading("GarbageBody",
              [](sim::GatewaySimulator& s) { s.setFault(sim::Fault::GarbageBody); }),
    noReading("EmptyList",
              [](sim::GatewaySimulator& s) { s.setFault(sim::Fault::EmptyList); }),
    // Status 200 with an error object, as firmware 3 answered: the box shows it, then it is
    // walked like any reply.
    FaultRow{"ErrorObjectWithStatus200",
             [](sim::GatewaySimulator& s) {
                 s.setFixedReply(200, fixture("readings-fw3.8.10-not-found.json"));
             },
             [](const Facts&) {
                 return std::string("message box: { \"error\" : \"404 - Not Found\" }\n");
             },
             // No reading: the last one stays beside the failure, in the boxes and the file.
             {{Box::TimeStamp, "Wrong/No IP address"}},
             {"Wrong/No IP address", kFw76Lines[1], kFw76Lines[2], kFw76Lines[3]},
             {}},
    // Without line breaks the time stamp's digits do not start at the 23rd character: its
    // conversion fails at the first meter and again at the first phase, which ends the cycle
    // before the output file is written. The first meter's power is shown by then.
    FaultRow{"CompactOneLineReply",
             [](sim::GatewaySimulator& s) { s.setFixedReply(200, oneLine(fixture(kFw82))); },
             {},
             {{Box::TimeStamp, "0"}, {Box::Production, "807.3"}, {Box::Grid, "0"},
              {Box::S1, "0"}, {Box::S2, "0"}, {Box::S3, "0"},
              {Box::G1, "0"}, {Box::G2, "0"}, {Box::G3, "0"}},
             kFw76Lines,
             "Quorvane: reading failed: Error 13: Type mismatch\n"}),
    rowName<FaultRow>);

// Ten seconds of silence before the client gives up.
INSTANTIATE_TEST_SUITE_P(Slow, FaultMatrix, ::testing::Values(
    failedRequest("GatewayPastTheTimeOut",
                  [](sim::GatewaySimulator& s) { s.setReplyDelay(15000); },
                  "Error -2147012894: The gateway did not answer within 10 seconds")),
    rowName<FaultRow>);
// clang-format on

// Left running unattended: the gateway fails for a while, and nobody closes what the first
// failure opened. The readings reach the output file underneath it once the gateway answers
// again, and the later failures open nothing more.
struct UnattendedRow {
    std::string name;
    // Puts the failure on, on the simulator's thread.
    std::function<void(sim::GatewaySimulator&)> failure;
    // Whether the window left open is the message box (else the failure notice).
    bool messageBox;
};

void PrintTo(const UnattendedRow& row, std::ostream* out) {
    *out << row.name;
}

class Unattended : public ::testing::TestWithParam<UnattendedRow> {};

TEST_P(Unattended, ReadingsReachTheFileWhileTheFirstWindowIsStillOpen) {
    const UnattendedRow& row = GetParam();
    GatewayThread gateway(serveGoodReadings);
    WindowRun program(gateway.address());
    program.startUp();
    ASSERT_TRUE(program.waitForOutput([](const OutputLines& l) { return l == kFw76Lines; },
                                      kReadingBudgetMs));
    const auto requests = [&gateway] {
        int received = 0;
        gateway.invoke([&](sim::GatewaySimulator& s) { received = s.requestsReceived(); });
        return received;
    };
    // The first window's cycle waits in it; what follows runs inside its modal loop, as the
    // program's own later cycles do.
    std::vector<QPointer<QWidget>> opened;
    bool looked = false;
    const ModalWatcher watcher([&](QWidget& modal) {
        opened.emplace_back(&modal);
        if (opened.size() > 1) {
            return;
        }
        const QPointer<QWidget> first = &modal;
        EXPECT_EQ(qobject_cast<QMessageBox*>(&modal) != nullptr, row.messageBox);
        // More failed cycles under the open window.
        EXPECT_TRUE(QTest::qWaitFor([&] { return requests() >= 3; }, kNoticeBudgetMs));
        gateway.invoke([](sim::GatewaySimulator& s) {
            serveGoodReadings(s);
            s.setFixedReply(200, fixture(kFw82));
        });
        EXPECT_TRUE(program.waitForOutput([](const OutputLines& l) { return l == kFw82Lines; },
                                          kReadingBudgetMs))
            << ::testing::PrintToString(program.output());
        EXPECT_TRUE(first && first->isVisible());
        looked = true;
        if (auto* box = qobject_cast<QMessageBox*>(first.data())) {
            box->button(QMessageBox::Ok)->click();
        } else if (first) {
            press(*first, "cmdClose");
        }
    });
    gateway.invoke([&](sim::GatewaySimulator& s) {
        row.failure(s);
        s.resetCounters();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return looked; }, kNoticeBudgetMs + 2 * kReadingBudgetMs));

    // The first cycle, resumed once its window closed, left the newer reading alone; readings
    // go on.
    const int closedAfter = requests();
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests() >= closedAfter + 2; }, kReadingBudgetMs));
    EXPECT_EQ(program.output(), kFw82Lines);
    EXPECT_EQ(program.window().text(Box::Production), kFw82Lines[1]);
    EXPECT_EQ(opened.size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Unattended,
    ::testing::Values(UnattendedRow{"ErrorReplies",
                                    [](sim::GatewaySimulator& s) {
                                        s.setFixedReply(200,
                                                        QByteArrayLiteral(R"({"error":"busy"})"));
                                    },
                                    true},
                      UnattendedRow{"RefusedToken",
                                    [](sim::GatewaySimulator& s) { s.setToken("another"); },
                                    false}),
    rowName<UnattendedRow>);

// A gateway slower than the delay between requests: the ticks that come while a request is in
// flight are skipped, so requests never overlap and one connection carries them one by one.
TEST(SlowGateway, RequestsNeverOverlap) {
    GatewayThread gateway([](sim::GatewaySimulator& s) {
        serveGoodReadings(s);
        s.setReplyDelay(700);
    });
    WindowRun program(gateway.address());
    program.startUp();
    program.typeDelay("100");
    int received = 0;
    int connections = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            gateway.invoke([&](sim::GatewaySimulator& s) {
                received = s.requestsReceived();
                connections = s.connectionsAccepted();
            });
            return received >= 5;
        },
        kReadingBudgetMs));
    EXPECT_EQ(connections, 1);
    EXPECT_EQ(program.output(), kFw76Lines);
}

// The built program keeps the pin in its settings file and sends nothing to a gateway that
// presents another certificate; while it asks the owner about it, each poll fails; ended then,
// it ends normally and keeps the pin it had.
TEST(ProgramOutOfProcess, ChangedCertificateIsRefusedAndNothingIsSent) {
    sim::GatewaySimulator simulator;
    simulator.setFixedReply(200, fixture(kFw76));
    ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
    ProgramRun run;
    run.start({simulator.address(), QStringLiteral("out.txt")});
    ASSERT_TRUE(run.waitForOutput(hasReading, kStartUpBudgetMs))
        << run.process().readAllStandardError().toStdString();
    ASSERT_EQ(run.output(), kFw76Lines);
    const std::string first = fingerprintOf(simulator.certificate()).toStdString();
    EXPECT_NE(readFileBytes(run.settingsFile()).find(first), std::string::npos);

    ASSERT_TRUE(simulator.regenerateCertificate());
    restartOnSamePort(simulator);
    simulator.resetCounters();
    QByteArray reported;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            reported += run.process().readAllStandardError();
            return reported.contains("asking whether to trust it");
        },
        kStartUpBudgetMs))
        << reported.toStdString();
    // Unanswered, the question holds no poll up: each fails, and the file says so.
    const OutputLines refused = {"Wrong/No IP address", kFw76Lines[1], kFw76Lines[2],
                                 kFw76Lines[3]};
    std::filesystem::remove(run.workFolder() / "out.txt");
    EXPECT_TRUE(run.waitForOutput([&](const OutputLines& l) { return l == refused; }, 5000))
        << ::testing::PrintToString(run.output());

    run.process().terminate();
    ASSERT_TRUE(run.process().waitForFinished(10000));
    EXPECT_EQ(run.process().exitCode(), 0);
    reported += run.process().readAllStandardError();
    EXPECT_TRUE(
        reported.contains("kept refusing the new certificate of " + simulator.address().toLatin1()))
        << reported.toStdString();
    EXPECT_EQ(run.output(), refused);
    EXPECT_EQ(simulator.requestsReceived(), 0);
    const std::string settings = readFileBytes(run.settingsFile());
    EXPECT_NE(settings.find(first), std::string::npos) << settings;
    EXPECT_EQ(settings.find(fingerprintOf(simulator.certificate()).toStdString()),
              std::string::npos)
        << settings;
}

} // namespace
} // namespace quorvane::testing
