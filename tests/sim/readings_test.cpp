#include "sim/readingsbody.h"
#include "sim/readingsmodel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

namespace quorvane::sim {
namespace {

const QDate kDay(2024, 6, 21);

QByteArray numbersBlanked(QByteArray text) {
    return QString::fromLatin1(text)
        .replace(QRegularExpression(QStringLiteral("-?\\d+(\\.\\d+)?")), QStringLiteral("N"))
        .toLatin1();
}

TEST(ReadingsBody, IndentedLayoutMatchesARealGatewayReply) {
    QFile recorded(
        QStringLiteral(QUORVANE_TEST_DATA_DIR "/readings-fw7.6.175-production-and-net.json"));
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    // The recording carries one line feed more than the gateway sent.
    const QByteArray gateway = recorded.readAll().chopped(1);

    ReadingsModel model;
    const QByteArray body = readingsBody(model.readingsAt(QDateTime(kDay, QTime(12, 0))));
    EXPECT_EQ(numbersBlanked(body), numbersBlanked(gateway));
}

TEST(ReadingsBody, NumbersHaveThreeDecimalsAndNegativeZeroKeepsItsSign) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {0.0, "0.000"},        {-0.0, "-0.000"},
        {-0.0004, "-0.000"},   {0.0004, "0.000"},
        {50.0, "50.000"},      {-36.162, "-36.162"},
        {0.9575, "0.958"},     {3183793.885, "3183793.885"},
        {1e7, "10000000.000"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(formatReadingNumber(row.value), row.text) << row.value;
    }
}

TEST(ReadingsBody, OversizeBodyHasTheAskedSizeAndStaysOneJsonList) {
    ReadingsModel model;
    const auto meters = model.readingsAt(QDateTime(kDay, QTime(12, 0)));
    const qsizetype normal = readingsBody(meters).size();
    const struct {
        const char* name;
        qsizetype asked;
        qsizetype expected;
    } rows[] = {
        {"five MiB", 5 * 1024 * 1024, 5 * 1024 * 1024},
        {"one byte over normal", normal + 1, normal + 1},
        {"smaller than normal", 10, normal},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray body = oversizeReadingsBody(meters, row.asked);
        EXPECT_EQ(body.size(), row.expected);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(body, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError);
        EXPECT_EQ(document.array().size() % 2, 0);
    }
}

TEST(ReadingsModel, ImportsAtNightAndWhileCookingAndExportsAtNoon) {
    const struct {
        const char* name;
        QTime time;
        double minProduction;
        double maxProduction;
        bool exporting;
    } rows[] = {
        {"night", QTime(2, 0), 0.0, 0.0, false},
        {"morning", QTime(8, 0), 1500.0, 3500.0, true},
        {"noon", QTime(12, 0), 4500.0, 5500.0, true},
        {"cooking at dusk", QTime(18, 0), 0.0, 500.0, false},
    };
    ReadingsModel model;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto meters = model.readingsAt(QDateTime(kDay, row.time));
        EXPECT_GE(meters[0].totals.activePower, row.minProduction);
        EXPECT_LE(meters[0].totals.activePower, row.maxProduction);
        EXPECT_EQ(meters[1].totals.activePower < 0.0, row.exporting);
        EXPECT_EQ(meters[1].totals.pwrFactor < 0.0, row.exporting);
    }
}

TEST(ReadingsModel, EveryReadingIsElectricallyConsistent) {
    ReadingsModel model;
    for (int minute = 0; minute < 24 * 60; minute += 7) {
        const QDateTime time(kDay, QTime(0, 0).addSecs(minute * 60));
        SCOPED_TRACE(time.toString().toStdString());
        const PhasePowers powers = ReadingsModel::powersAt(time);
        const auto meters = model.readingsAt(time);
        ASSERT_EQ(meters.size(), 2u);
        for (std::size_t phase = 0; phase < 3; ++phase) {
            EXPECT_NEAR(meters[1].channels[phase].activePower,
                        powers.load[phase] - powers.production[phase], 1e-9);
        }
        for (const MeterReading& meter : meters) {
            double power = 0.0;
            double current = 0.0;
            for (const ChannelReading& c : meter.channels) {
                EXPECT_EQ(c.timestamp, time.toSecsSinceEpoch());
                EXPECT_GE(c.voltage, 215.0);
                EXPECT_LE(c.voltage, 245.0);
                if (c.activePower == 0.0) {
                    EXPECT_EQ(c.pwrFactor, 0.0);
                    EXPECT_EQ(c.current, 0.0);
                } else {
                    EXPECT_EQ(c.pwrFactor < 0.0, c.activePower < 0.0);
                    EXPECT_GE(std::abs(c.pwrFactor), 0.9);
                    EXPECT_LE(std::abs(c.pwrFactor), 1.0);
                    EXPECT_NEAR(c.current,
                                std::abs(c.activePower) / (c.voltage * std::abs(c.pwrFactor)),
                                1e-9);
                }
                power += c.activePower;
                current += c.current;
            }
            EXPECT_NEAR(meter.totals.activePower, power, 1e-9);
            EXPECT_NEAR(meter.totals.current, current, 1e-9);
            EXPECT_EQ(meter.totals.timestamp, time.toSecsSinceEpoch());
        }
    }
}

TEST(ReadingsModel, EnergyCountersGrowWithThePowerOverTime) {
    ReadingsModel model;
    const auto before = model.readingsAt(QDateTime(kDay, QTime(11, 30)));
    const auto after = model.readingsAt(QDateTime(kDay, QTime(12, 30)));
    // An hour around noon at close to 5 kW, exporting most of it.
    const double produced = after[0].totals.actEnergyDlvd - before[0].totals.actEnergyDlvd;
    const double exported = after[1].totals.actEnergyRcvd - before[1].totals.actEnergyRcvd;
    EXPECT_GT(produced, 4000.0);
    EXPECT_LT(produced, 5500.0);
    EXPECT_GT(exported, 2500.0);
    EXPECT_LT(exported, produced);
    EXPECT_EQ(after[1].totals.actEnergyDlvd, before[1].totals.actEnergyDlvd);

    // A clock that goes back leaves the counters as they are.
    const auto earlier = model.readingsAt(QDateTime(kDay, QTime(10, 0)));
    EXPECT_EQ(earlier[0].totals.actEnergyDlvd, after[0].totals.actEnergyDlvd);
}

} // namespace
} // namespace quorvane::sim
