#pragma once

#include "sim/readingsbody.h"

#include <QDateTime>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace quorvane::sim {

// Production and household load of each phase at one moment, in watts.
struct PhasePowers {
    std::array<double, 3> production{};
    std::array<double, 3> load{};
};

// A plausible three-phase home with solar panels, as the gateway's two meters see it: the
// production meter, and the net meter (load minus production; negative while exporting).
//
// The energy counters are those of meters that showed fixed values at the local midnight
// beginning the first day asked about and have counted exactly ever since: a channel's counters
// are the integral of its phase's power, a meter's own counters the integral of the meter's total
// power (delivered while it is positive, received while it is negative), both as readingsAt()
// serves them. A channel's delivered minus received energy therefore adds up to the meter's,
// while its delivered energy alone may add up to more (one phase importing while another exports).
class ReadingsModel {
public:
    // The meters' identifiers, as gateways number them; phases add 0x11, 0x12, 0x13 under 0x6A.
    static constexpr std::int64_t kProductionEid = 0x2A000100;
    static constexpr std::int64_t kNetEid = 0x2A000200;
    // A clock moved on by more than this past the furthest moment asked counts as set, not run.
    static constexpr std::int64_t kMaxLeapSeconds = 7 * 86400;

    ReadingsModel();

    // Production and load at `time`, which follow its local time of day in the system's time
    // zone: production is 0 at night and peaks near 5 kW at noon; the load is about 300 W plus
    // appliances.
    static PhasePowers powersAt(const QDateTime& time);

    // The production meter and then the net meter at `time`'s whole second, each with its three
    // phases. A reading depends on that second alone, whatever was asked before; asking costs
    // time in proportion to the simulated time since the furthest moment asked. A moment before
    // the first day asked about, or more than kMaxLeapSeconds past the furthest moment asked,
    // counts as the clock having been set: counting starts afresh at that moment's local midnight
    // from the counters reached so far, so they never fall.
    std::vector<MeterReading> readingsAt(const QDateTime& time);

private:
    struct Energy {
        double delivered = 0.0;
        double received = 0.0;
        double apparent = 0.0;
        double lagging = 0.0;
        double leading = 0.0;
    };
    // Indexed [meter][channel]: meter 0 production, 1 net; channels 0 to 2 are the phases and
    // kMeterTotals the meter's own counters.
    static constexpr std::size_t kMeterTotals = 3;
    using Counters = std::array<std::array<Energy, 4>, 2>;
    // The counters at the start of a Unix second.
    struct Checkpoint {
        qint64 second = 0;
        Counters counters{};
    };

    Counters countersAt(qint64 second);
    void startCounting(qint64 second, const Counters& from);
    // Adds the energy of the one second that `point` starts and moves it to the next second.
    void countOneSecond(Checkpoint& point);
    // The local time's offset from UTC in seconds during `second`.
    int offsetAt(qint64 second);

    Counters m_initial{};
    // The first at the start of the counted local day, then one at each whole hour after it.
    std::vector<Checkpoint> m_checkpoints;
    // The furthest second counted to.
    Checkpoint m_furthest;

    // The offset of the hour last asked about, when it stays the same all through that hour.
    qint64 m_zoneHour = std::numeric_limits<qint64>::min();
    int m_zoneOffset = 0;
    bool m_zoneUniform = false;
};

} // namespace quorvane::sim
