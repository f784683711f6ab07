#pragma once

#include "gateway/httpget.h"
#include "gateway/replymessagebox.h"
#include "reading/notices.h"
#include "reading/phasevalues.h"
#include "reading/shownreading.h"
#include "support/clock.h"
#include "support/errorlog.h"
#include "support/localetexts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvane::reading {

// What the owner has set in the window that a cycle asks for.
class CycleInputs {
public:
    virtual ~CycleInputs() = default;

    // The IP box: the gateway's address as typed.
    virtual std::string address() const = 0;
    // The TokenString box: the bearer token as typed.
    virtual std::string token() const = 0;
    // The OutFile box: the output file's name.
    virtual std::string outputFile() const = 0;
    // Whether the output file is to be written (the CreateOutputchk box ticked).
    virtual bool writing() const = 0;
};

// Everything a reading cycle reaches outside itself.
struct ReadingPorts {
    CycleInputs& inputs;
    Notices& notices;
    // The modal box that shows a reply containing "error".
    gateway::ReplyMessageBox& replyBox;
    gateway::HttpGet& http;
    support::Clock& clock;
    const support::LocaleTexts& locale;
    support::ZoneSource& zones;
    support::ErrorLog& errorLog;
    // Whether the token dialog frmCustomInput is visible; an empty function means never.
    std::function<bool()> tokenDialogVisible;
    // Draws what the cycle shows: after each cycle that changed it (however the cycle ended)
    // and after a change of the Zone box outside a cycle. An empty function draws nothing.
    std::function<void(const ShownReading&)> show;
};

// One poll of the gateway from request to display, and the state that lasts between polls.
class ReadingCycle {
public:
    explicit ReadingCycle(ReadingPorts ports);
    ReadingCycle(const ReadingCycle&) = delete;
    ReadingCycle& operator=(const ReadingCycle&) = delete;

    // The second meter measures consumption instead of the grid.
    void setConsumptionVariant(bool on);
    bool consumptionVariant() const;

    // What the cycles show. It starts as `initial` (the window's design texts and colours), so
    // that a step which fails leaves the box as it was.
    const ShownReading& shown() const { return m_shown; }
    void setShown(const ShownReading& initial);

    // Works out the local offset (TimeZoneBias) and shows the hours in the Zone box; 0 when the
    // platform has no time-zone information. Each cycle does the same again before it converts
    // a time stamp, so the offset follows daylight-saving switches. Raises kOverflow for an
    // offset beyond the 32-bit range, leaving TimeZoneBias as it was.
    void updateTimeZoneBias();
    std::int32_t timeZoneBias() const;

    // How many characters of a reply containing "error" the message box gets at most.
    static constexpr std::size_t kMessageBoxCharacters = 2000;

    // One reading cycle. The first failure is absorbed; a second ends the cycle before Save and
    // passes to the caller. Does nothing at all while a request is in flight (requests never
    // overlap) or the token dialog is visible; a cycle asked for while an earlier one waits in
    // a failure notice or the "error" message box runs with a request of its own. An earlier
    // cycle that resumes after a later one has shown its reading ends without touching the
    // display or the output file.
    void QuorvaneRead();

    // Whether a cycle is running now (also one that waits in a notice or message box).
    bool running() const;

    // The body of the last reply; empty after a failed request or a reply containing "error".
    const std::string& responseText() const;

    // The second meter's power factor of `phase` (1 to 3) kept between cycles.
    double gridPowerFactor(int phase) const;

private:
    class Walk;

    bool tokenDialogVisible() const;
    // Requests the readings into `reply`. A failure is announced for 15 s and leaves `reply`
    // empty; a reply containing "error" is shown in the message box, unless one is up already,
    // and is no reading either: `reply` is left empty.
    void RequestReadings(std::string& reply);
    // The display steps and the output file of a cycle whose reply is in m_shown.
    void showReply(support::Trap& trap);
    void draw() const;
    // Shows a "timestamp" entry in TimeStamp while that still reads "0".
    void timeStampRule(std::string_view currentItem);

    ReadingPorts m_ports;
    bool m_consumptionVariant = false;
    std::int32_t m_timeZoneBias = 0;
    // Cycles now running, nested in the modal windows of earlier ones.
    int m_running = 0;
    bool m_requestInFlight = false;
    bool m_replyBoxShown = false;
    // Numbers of the cycles in their order of starting: the last one started, and the last one
    // that went on to show its reply.
    std::uint64_t m_cyclesStarted = 0;
    std::uint64_t m_lastShownCycle = 0;
    // Whether this cycle has already looked at the time zone again.
    bool m_zoneChecked = false;
    ShownReading m_shown;
    PhaseValues m_phases;
};

} // namespace quorvane::reading
