#include "sim/gatewaysimulator.h"
#include "sim/readingsbody.h"
#include "sim/readingsmodel.h"
#include "testclient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <map>

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

// Delivered and received energy in Wh, indexed [meter][channel]: meter 0 production, 1 net;
// channels 0 to 2 the phases, 3 the meter's own counters.
struct MeterEnergy {
    std::array<std::array<double, 4>, 2> delivered{};
    std::array<std::array<double, 4>, 2> received{};
};

MeterEnergy countersOf(const std::vector<MeterReading>& meters) {
    MeterEnergy e;
    for (std::size_t meter = 0; meter < 2; ++meter) {
        for (std::size_t channel = 0; channel < 4; ++channel) {
            const ChannelReading& r =
                channel < 3 ? meters[meter].channels[channel] : meters[meter].totals;
            e.delivered[meter][channel] = r.actEnergyDlvd;
            e.received[meter][channel] = r.actEnergyRcvd;
        }
    }
    return e;
}

// The energy of the powers served from `from` to `to` (whole seconds), from the power in the
// middle of each second.
MeterEnergy servedEnergy(const QDateTime& from, const QDateTime& to) {
    MeterEnergy e;
    const auto add = [&](std::size_t meter, std::size_t channel, double watts) {
        e.delivered[meter][channel] += std::max(watts, 0.0) / 3600.0;
        e.received[meter][channel] += std::max(-watts, 0.0) / 3600.0;
    };
    for (qint64 ms = from.toMSecsSinceEpoch() + 500; ms < to.toMSecsSinceEpoch(); ms += 1000) {
        const PhasePowers powers = ReadingsModel::powersAt(QDateTime::fromMSecsSinceEpoch(ms));
        double production = 0.0;
        double net = 0.0;
        for (std::size_t phase = 0; phase < 3; ++phase) {
            add(0, phase, powers.production[phase]);
            add(1, phase, powers.load[phase] - powers.production[phase]);
            production += powers.production[phase];
            net += powers.load[phase] - powers.production[phase];
        }
        add(0, 3, production);
        add(1, 3, net);
    }
    return e;
}

// Sets the process's time zone (TZ) for one scope.
class ZoneForScope {
public:
    explicit ZoneForScope(const char* zone)
        : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneForScope() {
        if (m_had) {
            qputenv("TZ", m_old);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }
    ZoneForScope(const ZoneForScope&) = delete;
    ZoneForScope& operator=(const ZoneForScope&) = delete;

private:
    QByteArray m_old;
    bool m_had;
};

TEST(ReadingsModel, CounterDeltasAreTheEnergyOfTheServedPower) {
    const struct {
        const char* name;
        const char* zone;
        QDateTime from;
        QDateTime to;
        qint64 seconds;
        // Simulated seconds between readings, taken in turn.
        std::vector<int> steps;
    } rows[] = {
        // clang-format off
        {"a reading every second at noon", "Asia/Kolkata", QDateTime(kDay, QTime(11, 55)),
         QDateTime(kDay, QTime(12, 5)), 600, {1}},
        {"a reading every second at dusk, one phase exporting while the meter imports",
         "America/New_York",
         QDateTime(kDay, QTime(17, 55)), QDateTime(kDay, QTime(18, 5)), 600, {1}},
        {"a day at ten simulated minutes a reading", "Asia/Kolkata", QDateTime(kDay, QTime(0, 0)),
         QDateTime(kDay.addDays(1), QTime(0, 0)), 86400, {600}},
        {"across midnight at uneven steps", "America/New_York", QDateTime(kDay, QTime(23, 30)),
         QDateTime(kDay.addDays(1), QTime(0, 30)), 3600, {7, 61, 120, 1}},
        {"a day and a half in one step", "UTC", QDateTime(kDay, QTime(6, 0)),
         QDateTime(kDay.addDays(1), QTime(18, 0)), 129600, {200000}},
        {"Berlin's 23-hour day", "Europe/Berlin", QDateTime(QDate(2024, 3, 31), QTime(0, 0)),
         QDateTime(QDate(2024, 4, 1), QTime(0, 0)), 82800, {300, 17}},
        {"Berlin's 25-hour day", "Europe/Berlin", QDateTime(QDate(2024, 10, 27), QTime(0, 0)),
         QDateTime(QDate(2024, 10, 28), QTime(0, 0)), 90000, {300, 17}},
        {"St. John's 25-hour day, switching in the middle of a UTC hour", "America/St_Johns",
         QDateTime(QDate(2024, 11, 3), QTime(0, 0)), QDateTime(QDate(2024, 11, 4), QTime(0, 0)),
         90000, {300, 17}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ZoneForScope zone(row.zone);
        // The rows' times in the zone just set.
        const QDateTime from(row.from.date(), row.from.time());
        const QDateTime to(row.to.date(), row.to.time());
        ASSERT_EQ(from.secsTo(to), row.seconds);
        ReadingsModel model;
        const MeterEnergy first = countersOf(model.readingsAt(from));
        MeterEnergy previous = first;
        QDateTime time = from;
        for (std::size_t i = 0; time < to; ++i) {
            time = std::min(time.addSecs(row.steps[i % row.steps.size()]), to);
            const MeterEnergy now = countersOf(model.readingsAt(time));
            for (std::size_t meter = 0; meter < 2; ++meter) {
                for (std::size_t channel = 0; channel < 4; ++channel) {
                    ASSERT_GE(now.delivered[meter][channel], previous.delivered[meter][channel]);
                    ASSERT_GE(now.received[meter][channel], previous.received[meter][channel]);
                }
            }
            previous = now;
        }

        const MeterEnergy served = servedEnergy(from, to);
        for (std::size_t meter = 0; meter < 2; ++meter) {
            double phasesNet = 0.0;
            for (std::size_t channel = 0; channel < 4; ++channel) {
                SCOPED_TRACE(::testing::Message() << "meter " << meter << " channel " << channel);
                const double delivered =
                    previous.delivered[meter][channel] - first.delivered[meter][channel];
                const double received =
                    previous.received[meter][channel] - first.received[meter][channel];
                EXPECT_NEAR(delivered, served.delivered[meter][channel], 1.0);
                EXPECT_NEAR(received, served.received[meter][channel], 1.0);
                if (channel < 3) {
                    phasesNet += delivered - received;
                } else {
                    EXPECT_NEAR(phasesNet, delivered - received, 0.001);
                }
            }
        }
    }
}

TEST(ReadingsModel, ReadingAtASecondDoesNotDependOnTheReadingsBefore) {
    const QDateTime morning(kDay, QTime(9, 0));
    const QDateTime asked(kDay.addDays(1), QTime(0, 30));
    const struct {
        const char* name;
        std::vector<QDateTime> before;
    } rows[] = {
        {"none between", {morning}},
        {"every 7 s across midnight",
         [&] {
             std::vector<QDateTime> times{morning};
             for (QDateTime t(kDay, QTime(23, 50)); t < asked; t = t.addSecs(7)) {
                 times.push_back(t);
             }
             return times;
         }()},
        {"past it and back", {morning, asked.addSecs(3600), QDateTime(kDay, QTime(12, 0))}},
    };
    ReadingsModel reference;
    reference.readingsAt(morning);
    const QByteArray expected = readingsBody(reference.readingsAt(asked));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReadingsModel model;
        for (const QDateTime& time : row.before) {
            model.readingsAt(time);
        }
        EXPECT_EQ(readingsBody(model.readingsAt(asked)), expected);
        EXPECT_EQ(readingsBody(model.readingsAt(asked.addMSecs(999))), expected);
    }
}

TEST(ReadingsModel, ClockSetFarOffKeepsTheCountersFromFalling) {
    ReadingsModel model;
    const auto noon = model.readingsAt(QDateTime(kDay, QTime(12, 0)));
    const auto dayBefore = model.readingsAt(QDateTime(kDay.addDays(-1), QTime(12, 0)));
    const auto monthLater = model.readingsAt(QDateTime(kDay.addMonths(1), QTime(12, 0)));
    for (std::size_t meter = 0; meter < 2; ++meter) {
        EXPECT_GE(dayBefore[meter].totals.actEnergyDlvd, noon[meter].totals.actEnergyDlvd);
        EXPECT_GE(dayBefore[meter].totals.actEnergyRcvd, noon[meter].totals.actEnergyRcvd);
        EXPECT_GE(monthLater[meter].totals.actEnergyDlvd, dayBefore[meter].totals.actEnergyDlvd);
        EXPECT_GE(monthLater[meter].totals.actEnergyRcvd, dayBefore[meter].totals.actEnergyRcvd);
    }
}

MeterEnergy countersOf(const QJsonArray& meters) {
    MeterEnergy e;
    for (std::size_t meter = 0; meter < 2; ++meter) {
        const QJsonObject totals = meters[static_cast<qsizetype>(meter)].toObject();
        const QJsonArray channels = totals[QStringLiteral("channels")].toArray();
        for (std::size_t channel = 0; channel < 4; ++channel) {
            const QJsonObject r =
                channel < 3 ? channels[static_cast<qsizetype>(channel)].toObject() : totals;
            e.delivered[meter][channel] = r[QStringLiteral("actEnergyDlvd")].toDouble();
            e.received[meter][channel] = r[QStringLiteral("actEnergyRcvd")].toDouble();
        }
    }
    return e;
}

TEST(SimulatorCounters, RepliesAcrossMidnightCarryTheEnergyOfTheServedPower) {
    const struct {
        const char* name;
        QTime start;
        double speed;
        // Simulated seconds past midnight that the replies must reach.
        int until;
    } rows[] = {
        {"speed 1", QTime(23, 59, 59), 1.0, 1},
        {"speed 900", QTime(23, 57), 900.0, 900},
    };
    const ZoneForScope zone("Europe/Berlin");
    const QDateTime midnight(kDay.addDays(1), QTime(0, 0));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        GatewaySimulator simulator;
        simulator.setClock(QDateTime(kDay, row.start), row.speed);
        ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
        testing::TestClient client(simulator.port(), simulator.certificateSha256());
        ASSERT_TRUE(client.connected());

        // The counters of each second a reply was stamped with, as the replies carried them.
        std::map<qint64, MeterEnergy> replies;
        QElapsedTimer budget;
        budget.start();
        while (replies.empty() ||
               replies.rbegin()->first < midnight.toSecsSinceEpoch() + row.until) {
            ASSERT_LT(budget.elapsed(), 20'000);
            const auto reply =
                client.get("/ivp/meters/readings", {testing::defaultAuthorization()});
            ASSERT_TRUE(reply);
            const QJsonArray meters = QJsonDocument::fromJson(reply->body).array();
            const qint64 stamp = meters[0][QStringLiteral("timestamp")].toInteger();
            const MeterEnergy counters = countersOf(meters);
            const auto [known, added] = replies.emplace(stamp, counters);
            if (!added) {
                // Replies stamped with the same second are the same reading.
                EXPECT_EQ(known->second.delivered, counters.delivered);
                EXPECT_EQ(known->second.received, counters.received);
            }
        }
        ASSERT_LT(replies.begin()->first, midnight.toSecsSinceEpoch());

        for (auto next = std::next(replies.begin()); next != replies.end(); ++next) {
            const auto& [fromStamp, from] = *std::prev(next);
            const auto& [toStamp, to] = *next;
            const MeterEnergy served = servedEnergy(QDateTime::fromSecsSinceEpoch(fromStamp),
                                                    QDateTime::fromSecsSinceEpoch(toStamp));
            for (std::size_t meter = 0; meter < 2; ++meter) {
                for (std::size_t channel = 0; channel < 4; ++channel) {
                    SCOPED_TRACE(::testing::Message()
                                 << toStamp << " meter " << meter << " channel " << channel);
                    EXPECT_NEAR(to.delivered[meter][channel] - from.delivered[meter][channel],
                                served.delivered[meter][channel], 1.0);
                    EXPECT_NEAR(to.received[meter][channel] - from.received[meter][channel],
                                served.received[meter][channel], 1.0);
                }
            }
        }
    }
}

} // namespace
} // namespace quorvane::sim
