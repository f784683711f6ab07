#pragma once

#include "sim/readingsbody.h"

#include <QDateTime>
#include <array>
#include <cstdint>
#include <vector>

namespace quorvane::sim {

// Production and household load of each phase at one moment, in watts.
struct PhasePowers {
    std::array<double, 3> production{};
    std::array<double, 3> load{};
};

// A plausible three-phase home with solar panels, as the gateway's two meters see it: the
// production meter, and the net meter (load minus production; negative while exporting).
class ReadingsModel {
public:
    // The meters' identifiers, as gateways number them; phases add 0x11, 0x12, 0x13 under 0x6A.
    static constexpr std::int64_t kProductionEid = 0x2A000100;
    static constexpr std::int64_t kNetEid = 0x2A000200;

    ReadingsModel();

    // Production and load at `time`, which follow its local time of day: production is 0 at
    // night and peaks near 5 kW at noon; the load is about 300 W plus appliances.
    static PhasePowers powersAt(const QDateTime& time);

    // The production meter and then the net meter at `time`, each with its three phases. The
    // energy counters advance by the energy since the previous call (up to one day of it).
    std::vector<MeterReading> readingsAt(const QDateTime& time);

private:
    struct Energy {
        double delivered = 0.0;
        double received = 0.0;
        double apparent = 0.0;
        double lagging = 0.0;
        double leading = 0.0;
    };

    void advanceEnergy(qint64 untilMs);

    // Indexed [meter][phase]: meter 0 production, 1 net.
    std::array<std::array<Energy, 3>, 2> m_energy{};
    qint64 m_lastMs = 0;
    bool m_started = false;
};

} // namespace quorvane::sim
