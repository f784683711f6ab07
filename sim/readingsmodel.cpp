#include "sim/readingsmodel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvane::sim {
namespace {

constexpr double kHour = 3600.0;
constexpr double kSunrise = 5.5 * kHour;
constexpr double kSunset = 18.5 * kHour;
constexpr double kPeakWatts = 5200.0;
constexpr std::array<double, 3> kProductionShare = {0.345, 0.333, 0.322};
constexpr std::array<double, 3> kBaseLoad = {140.0, 90.0, 70.0};
constexpr std::array<double, 3> kBaseVoltage = {231.8, 229.6, 230.9};
constexpr qint64 kSecondsPerHour = 3600;
constexpr qint64 kSecondsPerDay = 86400;
// QDate's Julian day of 1970-01-01, where Unix seconds count from.
constexpr qint64 kJulianDayOfUnixEpoch = 2440588;
// The counters add up each second's energy from the powers at its two Gauss-Legendre nodes.
// Every step in the powers (an appliance's ramp, the fridge, the noise) falls on a whole second,
// so within a second they are smooth but for a change of sign, and the sum stays within a
// fraction of a watt-hour a day of the exact integral.
constexpr double kGaussLow = 0.5 - 0.28867513459481288;
constexpr double kGaussHigh = 0.5 + 0.28867513459481288;
constexpr double kHalfSecondInHours = 0.5 / 3600.0;
// Below this a power counts as zero: no flow, no power factor.
constexpr double kNoFlow = 0.0005;

// A repeatable value in [-1, 1] for a pair of numbers (splitmix64).
double noise(std::uint64_t a, std::uint64_t b) {
    std::uint64_t z = a * 0x9E3779B97F4A7C15ULL + b + 0x632BE59BD9B4E019ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / static_cast<double>(1ULL << 52) - 1.0;
}

// 1 between `from` and `to` (seconds of the day), with two-minute ramps, 0 elsewhere.
double appliance(double second, double from, double to) {
    constexpr double ramp = 120.0;
    if (second <= from || second >= to) {
        return 0.0;
    }
    return std::min({1.0, (second - from) / ramp, (to - second) / ramp});
}

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// A moment as the model sees it: the Unix second its noise follows, and its local date and
// time of day (seconds, with a fraction).
struct Moment {
    qint64 unixSecond = 0;
    qint64 julianDay = 0;
    double second = 0.0;
};

Moment momentOf(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    return {local.toSecsSinceEpoch(), local.date().toJulianDay(),
            local.time().msecsSinceStartOfDay() / 1000.0};
}

PhasePowers powersOf(const Moment& moment) {
    const double second = moment.second;
    const auto day = static_cast<std::uint64_t>(moment.julianDay);
    const auto bucket = static_cast<std::uint64_t>(moment.unixSecond / 10);
    PhasePowers powers;

    if (second > kSunrise && second < kSunset) {
        const double x = (second - kSunrise) / (kSunset - kSunrise);
        const double phaseShift = static_cast<double>(day % 7);
        // Passing clouds take off up to 12 %.
        const double clouds =
            1.0 -
            0.12 * (0.5 + 0.5 * std::sin(2.0 * std::numbers::pi * second / 2400.0 + phaseShift)) *
                (0.5 + 0.5 * std::sin(2.0 * std::numbers::pi * second / 900.0 + 1.7 * phaseShift));
        const double total = kPeakWatts * std::pow(std::sin(std::numbers::pi * x), 1.4) * clouds;
        for (std::size_t phase = 0; phase < 3; ++phase) {
            powers.production[phase] = total * kProductionShare[phase];
        }
    }

    const double fridge = std::fmod(second, 3000.0) < 1200.0 ? 110.0 : 0.0;
    powers.load[0] = kBaseLoad[0] + fridge + 250.0 * appliance(second, 19.0 * kHour, 23.5 * kHour);
    powers.load[1] = kBaseLoad[1] + 1800.0 * appliance(second, 6.75 * kHour, 7.5 * kHour) +
                     2200.0 * appliance(second, 17.5 * kHour, 19.0 * kHour);
    powers.load[2] = kBaseLoad[2] + 1900.0 * appliance(second, 10.0 * kHour, 11.5 * kHour) +
                     1200.0 * appliance(second, 12.15 * kHour, 12.65 * kHour);
    for (std::size_t phase = 0; phase < 3; ++phase) {
        powers.load[phase] += 15.0 * noise(bucket, phase);
    }
    return powers;
}

struct Instant {
    double activePower = 0.0;
    double pwrFactor = 0.0;
    double voltage = 0.0;
    double freq = 50.0;

    double apparentPower() const {
        return pwrFactor == 0.0 ? 0.0 : std::abs(activePower) / std::abs(pwrFactor);
    }
    double reactivePower() const {
        const double s = apparentPower();
        const double q = std::sqrt(std::max(0.0, s * s - activePower * activePower));
        return activePower < 0.0 ? -q : q;
    }
    double current() const { return voltage <= 0.0 ? 0.0 : apparentPower() / voltage; }
};

// Indexed [meter][phase]: meter 0 production, 1 net.
using Instants = std::array<std::array<Instant, 3>, 2>;

Instants instantsAt(const Moment& moment) {
    const PhasePowers powers = powersOf(moment);
    const auto bucket = static_cast<std::uint64_t>(moment.unixSecond / 5);
    const double freq = 50.0 + 0.02 * noise(bucket, 20);
    Instants result;
    for (std::size_t phase = 0; phase < 3; ++phase) {
        const double produced = powers.production[phase];
        const double net = powers.load[phase] - produced;
        // Exporting raises the voltage at the connection point, importing lowers it.
        const double voltage = kBaseVoltage[phase] - 0.0015 * net + 0.4 * noise(bucket, 10 + phase);

        Instant& production = result[0][phase];
        production.activePower = produced;
        production.pwrFactor = produced > kNoFlow ? 0.98 + 0.015 * noise(bucket, 40 + phase) : 0.0;
        production.voltage = voltage + 0.03;
        production.freq = freq;

        Instant& grid = result[1][phase];
        grid.activePower = net;
        const double factor = 0.95 + 0.02 * noise(bucket, 30 + phase);
        grid.pwrFactor = std::abs(net) < kNoFlow ? 0.0 : (net < 0.0 ? -factor : factor);
        grid.voltage = voltage;
        grid.freq = freq;
    }
    return result;
}

ChannelReading channelReading(std::int64_t eid, std::int64_t timestamp, const Instant& instant) {
    ChannelReading r;
    r.eid = eid;
    r.timestamp = timestamp;
    r.instantaneousDemand = instant.activePower;
    r.activePower = instant.activePower;
    r.apparentPower = instant.apparentPower();
    r.reactivePower = instant.reactivePower();
    r.pwrFactor = instant.pwrFactor;
    r.voltage = instant.voltage;
    r.current = instant.current();
    r.freq = instant.freq;
    return r;
}

// Meter totals: powers, voltages and currents add up, the power factor follows from the sums;
// the energy counters are the meter's own.
ChannelReading totalsOf(std::int64_t eid, std::int64_t timestamp,
                        const std::vector<ChannelReading>& channels) {
    ChannelReading t;
    t.eid = eid;
    t.timestamp = timestamp;
    for (const ChannelReading& c : channels) {
        t.activePower += c.activePower;
        t.apparentPower += c.apparentPower;
        t.reactivePower += c.reactivePower;
        t.voltage += c.voltage;
        t.current += c.current;
        t.freq = c.freq;
    }
    t.instantaneousDemand = t.activePower;
    t.pwrFactor = t.apparentPower > 0.0 ? t.activePower / t.apparentPower : 0.0;
    return t;
}

} // namespace

ReadingsModel::ReadingsModel() {
    // Counters of a system that has run for a few years.
    constexpr std::array<double, 3> produced = {4120500.0, 3975250.0, 3842125.0};
    constexpr std::array<double, 3> imported = {2210750.0, 1487500.0, 1302250.0};
    constexpr std::array<double, 3> exported = {2475500.0, 2380250.0, 2297000.0};
    for (std::size_t phase = 0; phase < 3; ++phase) {
        m_initial[0][phase] = {produced[phase], 1250.0, produced[phase] * 1.02,
                               produced[phase] * 0.2, 0.0};
        m_initial[1][phase] = {imported[phase], exported[phase],
                               (imported[phase] + exported[phase]) * 1.05, imported[phase] * 0.3,
                               exported[phase] * 0.3};
        for (std::size_t meter = 0; meter < 2; ++meter) {
            const Energy& e = m_initial[meter][phase];
            Energy& total = m_initial[meter][kMeterTotals];
            total.delivered += e.delivered;
            total.received += e.received;
            total.apparent += e.apparent;
            total.lagging += e.lagging;
            total.leading += e.leading;
        }
    }
}

PhasePowers ReadingsModel::powersAt(const QDateTime& time) {
    return powersOf(momentOf(time));
}

int ReadingsModel::offsetAt(qint64 second) {
    const qint64 hour = floorDiv(second, kSecondsPerHour);
    if (hour != m_zoneHour) {
        const qint64 first = hour * kSecondsPerHour;
        m_zoneHour = hour;
        m_zoneOffset = QDateTime::fromSecsSinceEpoch(first).offsetFromUtc();
        m_zoneUniform =
            QDateTime::fromSecsSinceEpoch(first + kSecondsPerHour - 1).offsetFromUtc() ==
            m_zoneOffset;
    }
    // An hour with a daylight-saving switch in it is looked up second by second.
    return m_zoneUniform ? m_zoneOffset : QDateTime::fromSecsSinceEpoch(second).offsetFromUtc();
}

void ReadingsModel::countOneSecond(Checkpoint& point) {
    const qint64 local = point.second + offsetAt(point.second);
    const qint64 localDays = floorDiv(local, kSecondsPerDay);
    const double secondOfDay = static_cast<double>(local - localDays * kSecondsPerDay);
    for (const double node : {kGaussLow, kGaussHigh}) {
        const Instants instants =
            instantsAt({point.second, localDays + kJulianDayOfUnixEpoch, secondOfDay + node});
        for (std::size_t meter = 0; meter < 2; ++meter) {
            double active = 0.0;
            double apparent = 0.0;
            double reactive = 0.0;
            const auto count = [&](Energy& e, double p, double s, double q) {
                e.delivered += std::max(p, 0.0) * kHalfSecondInHours;
                e.received += std::max(-p, 0.0) * kHalfSecondInHours;
                e.apparent += s * kHalfSecondInHours;
                e.lagging += std::max(q, 0.0) * kHalfSecondInHours;
                e.leading += std::max(-q, 0.0) * kHalfSecondInHours;
            };
            for (std::size_t phase = 0; phase < 3; ++phase) {
                const Instant& i = instants[meter][phase];
                const double s = i.apparentPower();
                const double q = i.reactivePower();
                count(point.counters[meter][phase], i.activePower, s, q);
                active += i.activePower;
                apparent += s;
                reactive += q;
            }
            count(point.counters[meter][kMeterTotals], active, apparent, reactive);
        }
    }
    ++point.second;
}

void ReadingsModel::startCounting(qint64 second, const Counters& from) {
    const qint64 midnight =
        QDateTime::fromSecsSinceEpoch(second).date().startOfDay().toSecsSinceEpoch();
    m_furthest = {midnight, from};
    m_checkpoints.assign(1, m_furthest);
}

ReadingsModel::Counters ReadingsModel::countersAt(qint64 second) {
    if (m_checkpoints.empty()) {
        startCounting(second, m_initial);
    } else if (second < m_checkpoints.front().second ||
               second > m_furthest.second + kMaxLeapSeconds) {
        startCounting(second, m_furthest.counters);
    }
    if (second >= m_furthest.second) {
        while (m_furthest.second < second) {
            countOneSecond(m_furthest);
            if (m_furthest.second % kSecondsPerHour == 0) {
                m_checkpoints.push_back(m_furthest);
            }
        }
        return m_furthest.counters;
    }
    // An earlier second, counted again from the checkpoint before it the same way as the first
    // time, so it gets the very same counters.
    const auto after =
        std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), second,
                         [](qint64 s, const Checkpoint& point) { return s < point.second; });
    Checkpoint point = *(after - 1);
    while (point.second < second) {
        countOneSecond(point);
    }
    return point.counters;
}

std::vector<MeterReading> ReadingsModel::readingsAt(const QDateTime& time) {
    const std::int64_t timestamp = time.toSecsSinceEpoch();
    const Counters counters = countersAt(timestamp);
    const Instants instants = instantsAt(momentOf(QDateTime::fromSecsSinceEpoch(timestamp)));
    constexpr std::array<std::int64_t, 2> meterEids = {kProductionEid, kNetEid};

    const auto setCounters = [](ChannelReading& reading, const Energy& e) {
        reading.actEnergyDlvd = e.delivered;
        reading.actEnergyRcvd = e.received;
        reading.apparentEnergy = e.apparent;
        reading.reactEnergyLagg = e.lagging;
        reading.reactEnergyLead = e.leading;
    };

    std::vector<MeterReading> meters(2);
    for (std::size_t meter = 0; meter < 2; ++meter) {
        // Channel identifiers: 0x6A000111.. for the production meter, 0x6A000211.. for the net.
        const std::int64_t channelBase = 0x6A000011 + (meterEids[meter] & 0xF00);
        for (std::size_t phase = 0; phase < 3; ++phase) {
            ChannelReading c = channelReading(channelBase + static_cast<std::int64_t>(phase),
                                              timestamp, instants[meter][phase]);
            setCounters(c, counters[meter][phase]);
            meters[meter].channels.push_back(c);
        }
        meters[meter].totals = totalsOf(meterEids[meter], timestamp, meters[meter].channels);
        setCounters(meters[meter].totals, counters[meter][kMeterTotals]);
    }
    return meters;
}

} // namespace quorvane::sim
