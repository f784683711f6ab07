#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QSettings>
#include <QString>

#include <gtest/gtest.h>

#include "client/certificatepins.h"
#include "client/gatewayclient.h"
#include "common/testdoubles.h"
#include "sim/gatewaysimulator.h"

namespace quorvane::client {

// The real client against the real simulator on loopback, in this thread's event loop, with a
// pin store in the test's own folder.
class ClientRig : public ::testing::Test {
protected:
    struct Outcome {
        std::string reply;
        std::string errorText;
    };

    void SetUp() override {
        ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
    }

    static std::string gatewayToken() {
        return sim::GatewaySimulator::defaultToken().toStdString();
    }

    std::string readingsUrl() const {
        return "https://" + simulator.address().toStdString() +
               "/ivp/meters/readings?cache=14:05:09";
    }

    Outcome get(const std::string& token = gatewayToken()) {
        Outcome outcome;
        client->ApiGet(readingsUrl(), token, outcome.reply, outcome.errorText);
        return outcome;
    }

    QString pinFile() const { return QString::fromStdString((folder / "pins.conf").string()); }

    // The simulator's certificate fingerprint, worked out from its raw SHA-256.
    QString simulatorFingerprint() const {
        return QString::fromLatin1(simulator.certificateSha256().toHex(':').toUpper());
    }

    testing::TempDir folder;
    sim::GatewaySimulator simulator;
    CertificatePins pins{std::make_unique<QSettings>(pinFile(), QSettings::IniFormat)};
    std::unique_ptr<GatewayClient> client = std::make_unique<GatewayClient>(pins);
};

} // namespace quorvane::client
