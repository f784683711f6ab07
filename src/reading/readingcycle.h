#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "gateway/httpget.h"
#include "support/clock.h"
#include "support/displayboxes.h"
#include "support/errorlog.h"
#include "support/localetexts.h"
#include "support/notices.h"

namespace quorvane::reading {

// Everything a reading cycle reaches outside itself.
struct ReadingPorts {
    support::DisplayBoxes& boxes;
    support::Notices& notices;
    gateway::HttpGet& http;
    support::Clock& clock;
    const support::LocaleTexts& locale;
    support::ZoneSource& zones;
    support::ErrorLog& errorLog;
    // Whether the token dialog frmCustomInput is visible.
    std::function<bool()> tokenDialogVisible;
};

// One poll of the gateway from request to display, and the state that lasts between polls.
class ReadingCycle {
public:
    explicit ReadingCycle(ReadingPorts ports);

    // The second meter measures consumption instead of the grid.
    void setConsumptionVariant(bool on);
    bool consumptionVariant() const;

    // Works out the local offset (TimeZoneBias) and shows the hours in the Zone box; 0 when the
    // platform has no time-zone information.
    void updateTimeZoneBias();
    std::int32_t timeZoneBias() const;

    // One reading cycle. Does nothing at all while another cycle is still running. The first
    // failure is absorbed; a second ends the cycle before Save and passes to the caller.
    void QuorvaneRead();

    // Whether a cycle is running now.
    bool running() const;

    // The body of the last reply; empty after a failed request.
    const std::string& responseText() const;

    // The second meter's power factor of `phase` (1 to 3) kept between cycles.
    double gridPowerFactor(int phase) const;

private:
    struct State;
    ReadingPorts m_ports;
    // Filled in by the implementation.
};

} // namespace quorvane::reading
