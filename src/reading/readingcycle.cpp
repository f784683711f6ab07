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

using support::Box;

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
        m_cycle.m_phases.GetVolts(currentItem, m_cycle.m_ports.boxes);
    }
    void GetPFs(std::string_view currentItem) override { m_cycle.m_phases.GetPFs(currentItem); }
    void GetAmps(std::string_view currentItem) override {
        m_cycle.m_phases.GetAmps(currentItem, m_cycle.m_ports.boxes);
    }
    void powerRule(std::string_view currentItem, support::Trap& trap) override {
        m_power.apply(currentItem, trap);
    }

private:
    ReadingCycle& m_cycle;
    PowerRule& m_power;
};

ReadingCycle::ReadingCycle(ReadingPorts ports) : m_ports(std::move(ports)) {}

void ReadingCycle::setConsumptionVariant(bool on) {
    m_consumptionVariant = on;
}

bool ReadingCycle::consumptionVariant() const {
    return m_consumptionVariant;
}

void ReadingCycle::updateTimeZoneBias() {
    const auto bias = support::GetTimeZoneBias(m_ports.zones.zoneInformation(), m_ports.locale);
    m_timeZoneBias = bias ? bias->seconds : 0;
    if (bias && !bias->zoneText.empty() && m_ports.boxes.text(Box::Zone) != bias->zoneText) {
        m_ports.boxes.setText(Box::Zone, bias->zoneText);
    }
}

std::int32_t ReadingCycle::timeZoneBias() const {
    return m_timeZoneBias;
}

bool ReadingCycle::running() const {
    return m_running > 0;
}

const std::string& ReadingCycle::responseText() const {
    return m_responseText;
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
    auto& boxes = m_ports.boxes;
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
    std::string reply = m_responseText;
    trap.run([&] { RequestReadings(reply); });
    if (m_lastShownCycle > cycleNumber) {
        // A later cycle has shown a newer reading while this one waited; its own is older.
        return;
    }
    m_lastShownCycle = cycleNumber;
    m_responseText = std::move(reply);
    // Counted from here: a cycle that ran under this one's modal window has counted its own.
    m_phases.resetCounters();
    trap.run([&] {
        // Unsigned subtraction keeps the count right across a wrap of the tick counter.
        const std::uint32_t elapsed = m_ports.clock.tickCount() - StartTick;
        boxes.setText(Box::Turnaround, std::to_string(elapsed) + " ms");
    });

    if (m_responseText.empty()) {
        trap.run([&] { boxes.setText(Box::TimeStamp, "Wrong/No IP address"); });
    } else {
        trap.run([&] {
            for (Box box : {Box::TimeStamp, Box::Production, Box::Grid, Box::S1, Box::S2, Box::S3,
                            Box::G1, Box::G2, Box::G3}) {
                boxes.setText(box, "0");
            }
        });
        m_zoneChecked = false;
        PowerRule power(boxes, m_consumptionVariant);
        Walk walk(*this, power);
        walkReply(m_responseText, walk, trap);
    }
    trap.run([&] { support::Save(boxes, m_ports.locale); });
}

bool ReadingCycle::tokenDialogVisible() const {
    return m_ports.tokenDialogVisible && m_ports.tokenDialogVisible();
}

void ReadingCycle::RequestReadings(std::string& reply) {
    if (tokenDialogVisible()) {
        return;
    }
    const std::string url = "https://" + gateway::urlAddress(m_ports.boxes.text(Box::IP)) +
                            "/ivp/meters/readings?cache=" +
                            gateway::queryValue(m_ports.locale.timeText(m_ports.clock.localNow()));
    const std::string token = m_ports.boxes.text(Box::TokenString);
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
    if (reply.find("error") != std::string::npos && !m_replyBoxShown) {
        // One box at a time: a later reply containing "error" while this one is up is used as
        // usual, without a box of its own, so that no stack of boxes builds up unattended.
        const RaisedFlag boxShown(m_replyBoxShown);
        m_ports.replyBox.showReply(firstCharacters(reply, kMessageBoxCharacters));
    }
}

void ReadingCycle::timeStampRule(std::string_view currentItem) {
    if (m_ports.boxes.text(Box::TimeStamp) != "0") {
        return;
    }
    const support::Epoch e = support::valueTextToFixedPoint(timeStampDigits(currentItem));
    if (!m_zoneChecked) {
        // Looked at again before converting, so a daylight-saving switch shows at once.
        m_zoneChecked = true;
        updateTimeZoneBias();
    }
    const support::DateTime date = support::Epoch2Date(e, m_timeZoneBias, m_ports.errorLog);
    m_ports.boxes.setText(Box::TimeStamp, m_ports.locale.dateTimeText(support::toCalendar(date)));
}

} // namespace quorvane::reading
