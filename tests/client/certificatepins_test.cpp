#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QFile>
#include <QSslConfiguration>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "client/clientrig.h"
#include "client/certificatequestion.h"
#include "sim/selfsignedcertificate.h"

namespace quorvane::client {
namespace {

QSslCertificate freshCertificate() {
    const auto generated = sim::generateSelfSignedCertificate();
    return generated ? generated->certificate : QSslCertificate();
}

using GatewayCertificate = ClientRig;

TEST_F(GatewayCertificate, FirstCertificateIsPinnedInTheSettingsFileAtOnce) {
    ASSERT_EQ(get().errorText, "");

    const QSettings stored(pinFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Certificates/" + simulator.address()).toString(),
              simulatorFingerprint());
}

TEST_F(GatewayCertificate, PinnedCertificateIsAcceptedOnEveryNewConnection) {
    simulator.setCloseAfterEachReply(true);

    for (int poll = 0; poll < 3; ++poll) {
        ASSERT_EQ(get().errorText, "") << "poll " << poll;
    }

    EXPECT_EQ(simulator.connectionsAccepted(), 3);
}

TEST_F(GatewayCertificate, ChangedCertificateIsRefusedBeforeAnyRequest) {
    // Each reply ends its connection, so the next poll needs a new handshake.
    simulator.setCloseAfterEachReply(true);
    ASSERT_EQ(get().errorText, "");
    const QString first = simulatorFingerprint();
    ASSERT_TRUE(simulator.regenerateCertificate());
    simulator.resetCounters();

    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText,
              "Error -2147012727: The gateway " + simulator.address().toStdString() +
                  " presented another certificate than the trusted one, so nothing was "
                  "sent.\r\nSHA-256 presented: " +
                  simulatorFingerprint().toStdString() + "\r\nTrusted: " + first.toStdString() +
                  "\r\nIf it really got a new one, run once:\r\nQuorvane --forget-certificates");
    EXPECT_EQ(outcome.reply, "");
    EXPECT_EQ(simulator.requestsReceived(), 0);
    EXPECT_EQ(pins.pinned(simulator.address()), first);
}

TEST_F(GatewayCertificate, ChangedCertificateIsRefusedEvenWhenTheSystemTrustsIt) {
    simulator.setCloseAfterEachReply(true);
    ASSERT_EQ(get().errorText, "");
    const QString first = simulatorFingerprint();
    ASSERT_TRUE(simulator.regenerateCertificate());
    simulator.resetCounters();
    // The new certificate verifies without a single error: it is one of the trusted
    // authorities, and it names 127.0.0.1.
    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = before;
    trusting.addCaCertificate(simulator.certificate());
    QSslConfiguration::setDefaultConfiguration(trusting);

    const Outcome outcome = get();
    QSslConfiguration::setDefaultConfiguration(before);

    EXPECT_NE(outcome.errorText.find("so nothing was sent.\r\nSHA-256 presented: " +
                                     simulatorFingerprint().toStdString() +
                                     "\r\nTrusted: " + first.toStdString()),
              std::string::npos)
        << outcome.errorText;
    EXPECT_EQ(outcome.reply, "");
    EXPECT_EQ(simulator.requestsReceived(), 0);
    EXPECT_EQ(pins.pinned(simulator.address()), first);
}

TEST_F(GatewayCertificate, PinFromAnEarlierRunRefusesAnotherCertificate) {
    {
        QSettings earlier(pinFile(), QSettings::IniFormat);
        earlier.setValue("Certificates/" + simulator.address(),
                         CertificatePins::fingerprint(freshCertificate()));
    }
    CertificatePins reloaded(std::make_unique<QSettings>(pinFile(), QSettings::IniFormat));
    GatewayClient freshClient(reloaded);
    std::string reply;
    std::string errorText;

    freshClient.ApiGet(readingsUrl(), gatewayToken(), reply, errorText);

    EXPECT_EQ(errorText.substr(0, 18), "Error -2147012727:");
    EXPECT_EQ(simulator.requestsReceived(), 0);
}

TEST_F(GatewayCertificate, ForgettingThePinsTrustsTheNewCertificate) {
    simulator.setCloseAfterEachReply(true);
    ASSERT_EQ(get().errorText, "");
    ASSERT_TRUE(simulator.regenerateCertificate());
    simulator.resetCounters();
    ASSERT_NE(get().errorText, "");

    EXPECT_EQ(pins.forgetAll(), 1);
    const Outcome outcome = get();

    EXPECT_EQ(outcome.errorText, "");
    EXPECT_EQ(pins.pinned(simulator.address()), simulatorFingerprint());
}

// Answers every question about a changed certificate with "Keep refusing", noting the pin it
// named as trusted so far.
struct RefusingOwner final : CertificateQuestion {
    bool trustNew(const QString&, const CertificatePins::Details&, const QString& trusted,
                  const std::optional<CertificatePins::Details>&) override {
        named.push_back(trusted.toStdString());
        return false;
    }
    std::vector<std::string> named;
};

// Another copy of the program trusts a certificate for the simulator: it writes the store beside
// this one's file and renames it over it, as a program in another process does.
void pinElsewhere(const QString& file, const QString& gateway, const QString& fingerprint) {
    const QString beside = file + ".other";
    QFile::remove(beside);
    ASSERT_TRUE(QFile::copy(file, beside));
    {
        QSettings other(beside, QSettings::IniFormat);
        other.setValue("Certificates/" + gateway, fingerprint);
    }
    std::filesystem::rename(beside.toStdString(), file.toStdString());
}

TEST_F(GatewayCertificate, PinAnotherCopyStoredIsTrustedAndTheQuestionNamesTheStoredPin) {
    RefusingOwner owner;
    client = std::make_unique<GatewayClient>(pins, &owner);
    simulator.setCloseAfterEachReply(true);
    ASSERT_EQ(get().errorText, "");

    // Trusted by the other copy: read without a question.
    ASSERT_TRUE(simulator.regenerateCertificate());
    pinElsewhere(pinFile(), simulator.address(), simulatorFingerprint());
    EXPECT_EQ(get().errorText, "");
    EXPECT_EQ(owner.named, std::vector<std::string>{});

    // Another certificate, and the other copy trusts yet another while the question is due: the
    // question names what the store holds when it is asked.
    ASSERT_TRUE(simulator.regenerateCertificate());
    simulator.resetCounters();
    ASSERT_NE(get().errorText, "");
    const QString elsewhere = CertificatePins::fingerprint(freshCertificate());
    pinElsewhere(pinFile(), simulator.address(), elsewhere);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !owner.named.empty(); }, 5000));
    EXPECT_EQ(owner.named, std::vector<std::string>{elsewhere.toStdString()});
    EXPECT_EQ(simulator.requestsReceived(), 0);
}

TEST(CertificatePins, AcceptsOnlyTheCertificateSeenFirst) {
    testing::TempDir folder;
    CertificatePins pins(std::make_unique<QSettings>(
        QString::fromStdString((folder / "pins.conf").string()), QSettings::IniFormat));
    const QSslCertificate first = freshCertificate();
    const QSslCertificate second = freshCertificate();
    ASSERT_FALSE(first.isNull());

    const auto pinnedNow = pins.check("127.0.0.5", first);
    const auto again = pins.check("127.0.0.5", first);
    const auto other = pins.check("127.0.0.5", second);
    const auto otherGateway = pins.check("127.0.0.6", second);

    EXPECT_EQ(pinnedNow.verdict, CertificatePins::Verdict::PinnedNow);
    EXPECT_EQ(again.verdict, CertificatePins::Verdict::Pinned);
    EXPECT_EQ(other.verdict, CertificatePins::Verdict::Refused);
    EXPECT_EQ(other.presented, CertificatePins::fingerprint(second));
    EXPECT_EQ(other.pinned, CertificatePins::fingerprint(first));
    EXPECT_EQ(otherGateway.verdict, CertificatePins::Verdict::PinnedNow);
    EXPECT_EQ(pins.check("127.0.0.7", QSslCertificate()).verdict,
              CertificatePins::Verdict::Refused);
}

TEST(CertificatePins, KeepsSubjectAndValidityBesideThePinAndEarlierPinsStillRead) {
    testing::TempDir folder;
    const QString file = QString::fromStdString((folder / "pins.conf").string());
    const QSslCertificate first = freshCertificate();
    const QSslCertificate second = freshCertificate();
    ASSERT_FALSE(first.isNull());
    // As an earlier version kept it: the fingerprint alone.
    QSettings(file, QSettings::IniFormat)
        .setValue("Certificates/127.0.0.5", CertificatePins::fingerprint(first));
    CertificatePins pins(std::make_unique<QSettings>(file, QSettings::IniFormat));

    EXPECT_EQ(pins.pinnedDetails("127.0.0.5"), std::nullopt);
    EXPECT_EQ(pins.check("127.0.0.5", first).verdict, CertificatePins::Verdict::Pinned);
    const std::optional<CertificatePins::Details> seen = pins.pinnedDetails("127.0.0.5");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->fingerprint, CertificatePins::fingerprint(first));
    EXPECT_EQ(seen->subject, "CN=127.0.0.1, O=Quorvane gateway simulator");
    EXPECT_EQ(seen->validFrom, first.effectiveDate().toUTC());
    EXPECT_EQ(seen->validTo, first.expiryDate().toUTC());

    pins.replace("127.0.0.5", second);

    EXPECT_EQ(pins.check("127.0.0.5", first).verdict, CertificatePins::Verdict::Refused);
    EXPECT_EQ(pins.check("127.0.0.5", second).verdict, CertificatePins::Verdict::Pinned);
    EXPECT_EQ(pins.pinnedDetails("127.0.0.5"), CertificatePins::detailsOf(second));
    // The pin reads as it always did, and the details survive a new start.
    const QSettings stored(file, QSettings::IniFormat);
    EXPECT_EQ(stored.value("Certificates/127.0.0.5").toString(),
              CertificatePins::fingerprint(second));
    CertificatePins reloaded(std::make_unique<QSettings>(file, QSettings::IniFormat));
    EXPECT_EQ(reloaded.pinnedDetails("127.0.0.5"), CertificatePins::detailsOf(second));
    // Details of a certificate that is no longer the pinned one are not shown as its.
    QSettings(file, QSettings::IniFormat)
        .setValue("Certificates/127.0.0.5", CertificatePins::fingerprint(first));
    CertificatePins repinned(std::make_unique<QSettings>(file, QSettings::IniFormat));
    EXPECT_EQ(repinned.pinnedDetails("127.0.0.5"), std::nullopt);
}

TEST(CertificatePins, ForgetAllDropsEveryPinButNoOtherSetting) {
    testing::TempDir folder;
    const QString file = QString::fromStdString((folder / "Quorvane.conf").string());
    QSettings(file, QSettings::IniFormat).setValue("Settings/IP", "127.0.0.5");
    CertificatePins pins(std::make_unique<QSettings>(file, QSettings::IniFormat));
    pins.check("127.0.0.5", freshCertificate());
    pins.check("[::1]:8443", freshCertificate());

    EXPECT_EQ(pins.forgetAll(), 2);

    EXPECT_EQ(pins.pinned("127.0.0.5"), "");
    EXPECT_EQ(pins.forgetAll(), 0);
    const QSettings stored(file, QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/IP").toString(), "127.0.0.5");
    EXPECT_FALSE(stored.contains("Certificates/[::1]:8443"));
    EXPECT_EQ(stored.childGroups(), QStringList{"Settings"});
}

TEST(CertificatePins, DefaultStoreIsTheUsersQuorvaneSettings) {
    const QString expectedFile =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quorvane/Quorvane.conf";
    const QSslCertificate certificate = freshCertificate();

    CertificatePins pins;
    pins.check("127.0.0.5", certificate);

    ASSERT_TRUE(QFile::exists(expectedFile));
    EXPECT_EQ(
        QSettings(expectedFile, QSettings::IniFormat).value("Certificates/127.0.0.5").toString(),
        CertificatePins::fingerprint(certificate));
}

struct KeyRow {
    const char* name;
    const char* url;
    const char* key;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
    *out << row.name;
}

class CertificatePinKey : public ::testing::TestWithParam<KeyRow> {};

TEST_P(CertificatePinKey, IsTheHostAndPortOfTheUrl) {
    EXPECT_EQ(CertificatePins::gatewayKey(QUrl(GetParam().url)), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CertificatePinKey,
    ::testing::Values(
        KeyRow{"AddressAlone", "https://127.0.0.5/ivp/meters/readings?cache=1", "127.0.0.5"},
        KeyRow{"WithPort", "https://127.0.0.1:8443/ivp/meters/readings", "127.0.0.1:8443"},
        KeyRow{"Ipv6InBrackets", "https://[::1]:8443/ivp", "[::1]:8443"},
        KeyRow{"Ipv6WithoutPort", "https://[2a02:db8::17]/ivp", "[2a02:db8::17]"},
        KeyRow{"Ipv6WithZone", "https://[fe80::1%25eth0]/ivp", "[fe80::1%eth0]"},
        KeyRow{"NameInLowerCase", "https://Envoy.Local/ivp", "envoy.local"},
        KeyRow{"UserInfoLeftOut", "https://user@10.0.0.2/ivp", "10.0.0.2"}),
    [](const ::testing::TestParamInfo<KeyRow>& row) { return std::string(row.param.name); });

} // namespace
} // namespace quorvane::client
