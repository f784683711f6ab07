// A gateway that got a new certificate, end to end: the program's window with its real gateway
// access against the simulator, restarted on the same port with another certificate; the owner
// answers the dialog "New gateway certificate". And a gateway on the IPv6 loopback address.

#include "app/frmtimeoutmsg.h"
#include "client/certificatepins.h"
#include "e2etesting.h"

#include <QMessageBox>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

constexpr const char* kFw76 = "readings-fw7.6.175-production-and-net.json";
const OutputLines kFw76Lines = {"9/3/2023 12:45:33 PM", "488.9", "452.7", "-36.2 "};
const OutputLines kRefusedLines = {"Wrong/No IP address", "488.9", "452.7", "-36.2 "};
constexpr int kBudgetMs = 30000;
// How soon, with the certificate question unanswered, the output file says the polls fail.
constexpr int kUnansweredBudgetMs = 5000;

void serveReadings(sim::GatewaySimulator& simulator) {
    simulator.setFixedReply(200, QByteArray::fromStdString(testData(kFw76)));
}

// "Subject: ..." and "Valid from ... to ..." as the dialog shows them in en_US and UTC.
QString detailsOf(const QSslCertificate& certificate) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return "Subject: CN=127.0.0.1, O=Quorvane gateway simulator\nValid from " +
           english.toString(certificate.effectiveDate().toUTC().date(), QLocale::ShortFormat) +
           " to " + english.toString(certificate.expiryDate().toUTC().date(), QLocale::ShortFormat);
}

// What the owner saw, and how they answer the certificate dialog.
struct Owner {
    QString answer = QStringLiteral("cmdKeepRefusing");
    std::function<void()> whileAsked;
    // Whether, with the dialog open, the polls went on failing: the output file came back
    // saying so within five seconds, with no other dialog and no notice.
    bool failedWhileAsked = true;
    std::vector<QString> dialogs;
    std::vector<std::string> notices;
    int requestsWhenAnswered = -1;
};

class CertificateChange : public ::testing::Test {
protected:
    CertificateChange() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~CertificateChange() override { QLocale::setDefault(QLocale::c()); }

    // Polls every 100 ms until the first reading is in the output file.
    void startPolling() {
        program.startUp();
        program.typeDelay("100");
        ASSERT_TRUE(
            program.waitForOutput([](const OutputLines& l) { return l == kFw76Lines; }, kBudgetMs))
            << ::testing::PrintToString(program.output());
    }

    // The gateway restarts on the same port with a new certificate; its fingerprint.
    QString renewCertificate() {
        QString fingerprint;
        gateway.invoke([&](sim::GatewaySimulator& simulator) {
            EXPECT_TRUE(simulator.regenerateCertificate());
            restartOnSamePort(simulator);
            simulator.resetCounters();
            fingerprint = client::CertificatePins::fingerprint(simulator.certificate());
        });
        return fingerprint;
    }

    QSslCertificate currentCertificate() {
        QSslCertificate certificate;
        gateway.invoke([&](sim::GatewaySimulator& s) { certificate = s.certificate(); });
        return certificate;
    }

    int requestsReceived() {
        int requests = 0;
        gateway.invoke([&](sim::GatewaySimulator& s) { requests = s.requestsReceived(); });
        return requests;
    }

    QString storedPin() {
        return QSettings(QString::fromStdString(program.places().settingsFile().string()),
                         QSettings::IniFormat)
            .value("Certificates/" + gateway.address())
            .toString();
    }

    // Answers every modal window: the certificate dialog as `owner` says, notices with OK.
    ModalWatcher answering(Owner& owner) {
        return ModalWatcher([this, &owner](QWidget& modal) {
            if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
                owner.dialogs.push_back(box->windowTitle() + "\n" + box->text());
                const std::size_t dialogsBefore = owner.dialogs.size();
                const std::size_t noticesBefore = owner.notices.size();
                if (owner.whileAsked) {
                    owner.whileAsked();
                    return;
                }
                // Polling goes on under the dialog: the file, taken away, comes back failed.
                std::filesystem::remove(program.outputFile());
                const bool failed = program.waitForOutput(
                    [](const OutputLines& l) { return l == kRefusedLines; }, kUnansweredBudgetMs);
                owner.requestsWhenAnswered = requestsReceived();
                owner.failedWhileAsked = owner.failedWhileAsked && failed &&
                                         owner.dialogs.size() == dialogsBefore &&
                                         owner.notices.size() == noticesBefore;
                press(modal, owner.answer.toLatin1().constData());
                return;
            }
            owner.notices.push_back(noticeText(modal));
            press(modal, "cmdClose");
        });
    }

    GatewayThread gateway{serveReadings};
    WindowRun program{gateway.address()};
};

TEST_F(CertificateChange, UnansweredQuestionFailsEachPollAndTrustingReadsTheNext) {
    startPolling();
    const QString first =
        client::CertificatePins::fingerprint(gateway.firstCertificate().certificate);
    const QString second = renewCertificate();
    Owner owner;
    const ModalWatcher watcher = answering(owner);

    // Refused: each poll fails with the notice; the owner was asked only the first time.
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.notices.size() >= 3; }, kBudgetMs));
    ASSERT_EQ(owner.dialogs.size(), 1U);
    EXPECT_EQ(owner.dialogs[0].toStdString(),
              ("New gateway certificate\nThe gateway " + gateway.address() +
               " presents a different certificate than the one trusted so far. Nothing has "
               "been sent to it.\n\nThis happens when the gateway renews its certificate "
               "(about once a year), after a reset or a firmware update, or when another "
               "device answers at that address.\n\nPresented certificate\nSHA-256: " +
               second + "\n" + detailsOf(currentCertificate()) + "\n\nTrusted so far\nSHA-256: " +
               first + "\n" + detailsOf(gateway.firstCertificate().certificate))
                  .toStdString());
    // While it waited, the polls failed quietly and sent nothing.
    EXPECT_TRUE(owner.failedWhileAsked);
    EXPECT_EQ(owner.requestsWhenAnswered, 0);
    EXPECT_TRUE(owner.notices[0].starts_with("API Call Failed: Error -2147012727: The gateway "))
        << owner.notices[0];
    EXPECT_EQ(program.output(), kRefusedLines);
    EXPECT_EQ(requestsReceived(), 0);
    EXPECT_EQ(storedPin(), first);

    // Another new certificate is asked about again; trusted, the next poll reads.
    owner.answer = QStringLiteral("cmdTrust");
    const std::size_t noticesBefore = [&] {
        program.click("Stopbtn");
        return owner.notices.size();
    }();
    const QString third = renewCertificate();
    program.click("Startbtn");
    ASSERT_TRUE(
        program.waitForOutput([](const OutputLines& l) { return l == kFw76Lines; }, kBudgetMs))
        << ::testing::PrintToString(program.output());
    ASSERT_EQ(owner.dialogs.size(), 2U);
    EXPECT_NE(owner.dialogs[1].indexOf("SHA-256: " + third + "\n"), -1)
        << owner.dialogs[1].toStdString();
    EXPECT_NE(owner.dialogs[1].indexOf("Trusted so far\nSHA-256: " + first + "\n"), -1);
    EXPECT_TRUE(owner.failedWhileAsked);
    EXPECT_EQ(owner.requestsWhenAnswered, 0);
    // No notice from the new certificate to the reading: the question was the notice.
    EXPECT_EQ(owner.notices.size(), noticesBefore);
    EXPECT_EQ(storedPin(), third);
    const QSettings stored(QString::fromStdString(program.places().settingsFile().string()),
                           QSettings::IniFormat);
    EXPECT_EQ(stored.value("CertificateDetails/" + gateway.address() + "/Fingerprint").toString(),
              third);
}

TEST_F(CertificateChange, MainWindowClosedWhileAskingEndsAsKeepRefusing) {
    startPolling();
    const QString first =
        client::CertificatePins::fingerprint(gateway.firstCertificate().certificate);
    renewCertificate();
    Owner owner;
    QMessageBox* dialog = nullptr;
    owner.whileAsked = [&] {
        dialog = QApplication::activeModalWidget() != nullptr
                     ? qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
                     : nullptr;
        program.window().close();
    };
    const ModalWatcher watcher = answering(owner);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !owner.dialogs.empty(); }, kBudgetMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !program.window().cycle().running(); }, kBudgetMs));
    EXPECT_NE(dialog, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(program.window().closing());
    EXPECT_FALSE(program.window().ended());
    EXPECT_FALSE(program.window().timer().enabled());
    EXPECT_EQ(owner.dialogs.size(), 1U);
    EXPECT_EQ(owner.notices, std::vector<std::string>{});
    EXPECT_EQ(requestsReceived(), 0);
    EXPECT_EQ(storedPin(), first);
    // The settings were saved as at any close; the file says the polls failed.
    EXPECT_NE(readFileBytes(program.places().settingsFile())
                  .find("IP=" + gateway.address().toStdString()),
              std::string::npos);
    EXPECT_EQ(program.output(), kRefusedLines);
}

// The built program against a gateway on the IPv6 loopback address: readings arrive, and the
// pin is kept under the bracketed address.
TEST(ProgramOnIpv6, ReadsAGatewayOnTheIpv6Loopback) {
    sim::GatewaySimulator simulator;
    serveReadings(simulator);
    ASSERT_TRUE(simulator.listen(0, QHostAddress(QHostAddress::LocalHostIPv6)))
        << simulator.errorString().toStdString();
    ASSERT_EQ(simulator.address(), QStringLiteral("[::1]:%1").arg(simulator.port()));
    ProgramRun run;
    run.start({simulator.address(), QStringLiteral("out.txt")});
    EXPECT_TRUE(run.waitForOutput(hasReading, kBudgetMs))
        << run.process().readAllStandardError().toStdString();
    EXPECT_EQ(run.output(), kFw76Lines);
    ASSERT_TRUE(simulator.lastRequest());
    EXPECT_EQ(simulator.lastRequest()->header("Host"), simulator.address().toLatin1());
    const QSettings stored(QString::fromStdString(run.settingsFile().string()),
                           QSettings::IniFormat);
    EXPECT_EQ(stored.value("Certificates/" + simulator.address()).toString(),
              client::CertificatePins::fingerprint(simulator.certificate()));
}

} // namespace
} // namespace quorvane::testing
