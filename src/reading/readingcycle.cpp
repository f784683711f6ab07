#include "reading/readingcycle.h"

#include "gateway/gatewayaddress.h"
#include "gateway/httpreply.h"
#include "reading/displayrules.h"
#include "reading/replywalk.h"
#include "support/failure.h"
#include "support/numerictext.h"
#include "support/outputfile.h"
#include "support/timeconversion.h"

#include <cstddef>
#include <string>
#include <utility>

namespace quorvane::reading {

namespace {

// Counts a cycle as running for as long as it lasts, however it ends.
class RunningCount {
public:
    explicit RunningCount(int& count) : m_count(count) { ++m_count; }
    ~RunningCount() { --m_count; }
    RunningCount(const RunningCount&) = delete;
    RunningCount& operator=(const RunningCount&) = delete;

private:
    int& m_count;
};

// Holds a flag up for as long as it lives, however the scope ends.
class RaisedFlag {
public:
    explicit RaisedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RaisedFlag() { m_flag = false; }
    RaisedFlag(const RaisedFlag&) = delete;
    RaisedFlag& operator=(const RaisedFlag&) = delete;

private:
    bool& m_flag;
};

constexpr std::int32_t kFailureNoticeTime = 15000;
constexpr std::string_view kNoReading = "Wrong/No IP address";

// Seconds since 1970 of a time stamp's fixed-point value, which holds seconds or, above the
// millisecond threshold, milliseconds; 0 for none before 1970.
std::int64_t epochSeconds(support::Epoch e) {
    const std::int64_t seconds = e >= support::kMillisecondThreshold
                                     ? e / support::kEpochScale / 1000
                                     : e / support::kEpochScale;
    return seconds > 0 ? seconds : 0;
}

// The first `count` characters of a UTF-8 text, never cutting a character in two.
std::string firstCharacters(const std::string& utf8, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
        if (startsCharacter && seen++ == count) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

} // namespace

// The key tests of one cycle's walk, bound to the cycle's boxes and rules.
class ReadingCycle::Walk final : public EntryTests {
public:
    Walk(ReadingCycle& cycle, PowerRule& power) : m_cycle(cycle), m_power(power) {}

    void timeStampRule(std::string_view currentItem) override {
        m_cycle.timeStampRule(currentItem);
    }
    void GetVolts(std::string_view currentItem) override {
        m_cycle.m_phases.GetVolts(currentItem, m_cycle.m_shown);
    }
    void GetPFs(std::string_view currentItem) override { m_cycle.m_phases.GetPFs(currentItem); }
    void GetAmps(std::string_view currentItem) override {
        m_cycle.m_phases.GetAmps(currentItem, m_cycle.m_shown);
    }
    void powerRule(std::string_view currentItem, support::Trap& trap) override {
        m_power.apply(currentItem, trap);
    }

private:
    ReadingCycle& m_cycle;
    PowerRule& m_power;
};

ReadingCycle::ReadingCycle(ReadingPorts ports) : m_ports(std::move(ports)) {}

void ReadingCycle::setShown(const ShownReading& initial) {
    m_shown = initial;
}

void ReadingCycle::draw() const {
    if (m_ports.show) {
        m_ports.show(m_shown);
    }
}

void ReadingCycle::setConsumptionVariant(bool on) {
    m_consumptionVariant = on;
}

bool ReadingCycle::consumptionVariant() const {
    return m_consumptionVariant;
}

void ReadingCycle::updateTimeZoneBias() {
    const auto bias = support::GetTimeZoneBias(m_ports.zones.zoneInformation(), m_ports.locale);
    m_timeZoneBias = bias ? bias->seconds : 0;
    if (bias && !bias->zoneText.empty() && m_shown.text(Box::Zone) != bias->zoneText) {
        m_shown.setText(Box::Zone, bias->zoneText);
        // A cycle draws the box with the rest when it ends.
        if (!running()) {
            draw();
        }
    }
}

std::int32_t ReadingCycle::timeZoneBias() const {
    return m_timeZoneBias;
}

bool ReadingCycle::running() const {
    return m_running > 0;
}

const std::string& ReadingCycle::responseText() const {
    return m_shown.reply();
}

double ReadingCycle::gridPowerFactor(int phase) const {
    return m_phases.gridPF(phase);
}

void ReadingCycle::QuorvaneRead() {
    // Requests never overlap. The window stays responsive while one is in flight, and a tick
    // then would only pile up requests behind a slow gateway.
    if (m_requestInFlight) {
        return;
    }
    const RunningCount running(m_running);
    support::Trap trap = support::Trap::resumeSilently();

    bool dialogVisible = false;
    if (!trap.run([&] { dialogVisible = tokenDialogVisible(); })) {
        return;
    }
    if (dialogVisible) {
        return;
    }
    const std::uint64_t cycleNumber = ++m_cyclesStarted;
    const std::uint32_t StartTick = m_ports.clock.tickCount();
    // The reply stays local until the cycle shows it: later cycles may run meanwhile, under
    // this one's notice or message box, and use ResponseText for their own replies.
    std::string reply = m_shown.reply();
    trap.run([&] { RequestReadings(reply); });
    if (m_lastShownCycle > cycleNumber) {
        // A later cycle has shown a newer reading while this one waited; its own is older.
        return;
    }
    m_lastShownCycle = cycleNumber;
    m_shown.setReply(std::move(reply));
    m_shown.setReadingTime(0);
    // Counted from here: a cycle that ran under this one's modal window has counted its own.
    m_phases.resetCounters();
    trap.run([&] {
        // Unsigned subtraction keeps the count right across a wrap of the tick counter.
        const std::uint32_t elapsed = m_ports.clock.tickCount() - StartTick;
        m_shown.setText(Box::Turnaround, std::to_string(elapsed) + " ms");
    });
    // Drawn however the cycle ends: a second failure leaves what the steps before it showed.
    try {
        showReply(trap);
    } catch (...) {
        draw();
        throw;
    }
    draw();
}

void ReadingCycle::showReply(support::Trap& trap) {
    if (m_shown.reply().empty()) {
        trap.run([&] { m_shown.setText(Box::TimeStamp, kNoReading); });
    } else {
        trap.run([&] {
            for (Box box : {Box::TimeStamp, Box::Production, Box::Grid, Box::S1, Box::S2, Box::S3,
                            Box::G1, Box::G2, Box::G3}) {
                m_shown.setText(box, "0");
            }
        });
        m_zoneChecked = false;
        PowerRule power(m_shown, m_consumptionVariant);
        Walk walk(*this, power);
        walkReply(m_shown.reply(), walk, trap);
    }
    trap.run([&] {
        if (m_ports.inputs.writing()) {
            // Composed before the file is touched, so a failing piece leaves it whole.
            const std::string content = composeOutput(m_shown, m_ports.locale);
            support::Save(m_ports.inputs.outputFile(), content);
        }
    });
}

bool ReadingCycle::tokenDialogVisible() const {
    return m_ports.tokenDialogVisible && m_ports.tokenDialogVisible();
}

void ReadingCycle::RequestReadings(std::string& reply) {
    if (tokenDialogVisible()) {
        return;
    }
    const std::string url = "https://" + gateway::urlAddress(m_ports.inputs.address()) +
                            "/ivp/meters/readings?cache=" +
                            gateway::queryValue(m_ports.locale.timeText(m_ports.clock.localNow()));
    const std::string token = m_ports.inputs.token();
    std::string errorText;
    {
        const RaisedFlag inFlight(m_requestInFlight);
        m_ports.http.ApiGet(url, token, reply, errorText);
    }
    if (!errorText.empty()) {
        // Dropped before the notice, which raises at once when another one is up: walking the
        // previous reply again would show and write an old reading as new.
        reply.clear();
        m_ports.notices.TestTimeoutMsgBox("API Call Failed: " + errorText, kFailureNoticeTime);
        return;
    }
    if (reply.find("error") == std::string::npos) {
        return;
    }
    // The gateway's own word of failure is no reading: walked, it would show and write zeros
    // as if the sun and the grid had stopped. Dropped before the box, as a later cycle may show
    // its reading while the box is up.
    const std::string shown = firstCharacters(reply, kMessageBoxCharacters);
    reply.clear();
    if (!m_replyBoxShown) {
        // One box at a time: a later such reply while this one is up shows no box of its own,
        // so that no stack of boxes builds up unattended.
        const RaisedFlag boxShown(m_replyBoxShown);
        m_ports.replyBox.showReply(shown);
    }
}

void ReadingCycle::timeStampRule(std::string_view currentItem) {
    if (m_shown.text(Box::TimeStamp) != "0") {
        return;
    }
    const support::Epoch e = support::valueTextToFixedPoint(timeStampDigits(currentItem));
    m_shown.setReadingTime(epochSeconds(e));
    if (!m_zoneChecked) {
        // Looked at again before converting, so a daylight-saving switch shows at once.
        m_zoneChecked = true;
        updateTimeZoneBias();
    }
    const support::DateTime date = support::Epoch2Date(e, m_timeZoneBias, m_ports.errorLog);
    m_shown.setText(Box::TimeStamp, m_ports.locale.dateTimeText(support::toCalendar(date)));
}

} // namespace quorvane::reading
