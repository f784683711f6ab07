#include "reading/readingcycle.h"

#include "gateway/gatewayaddress.h"
#include "reading/displayrules.h"
#include "reading/replywalk.h"
#include "support/failure.h"
#include "support/numerictext.h"
#include "support/outputfile.h"
#include "support/timeconversion.h"

#include <utility>

namespace quorvane::reading {

using support::Box;

namespace {

// Marks a cycle as running for as long as it lasts, however it ends.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& m_flag;
};

constexpr std::int32_t kFailureNoticeTime = 15000;

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
    return m_running;
}

const std::string& ReadingCycle::responseText() const {
    return m_responseText;
}

double ReadingCycle::gridPowerFactor(int phase) const {
    return m_phases.gridPF(phase);
}

void ReadingCycle::QuorvaneRead() {
    // A cycle started from inside another (a timer tick while a notice or message box is up)
    // would walk the previous reply again and show it as new.
    if (m_running) {
        return;
    }
    const RunningFlag running(m_running);
    auto& boxes = m_ports.boxes;
    support::Trap trap = support::Trap::resumeSilently();

    bool dialogVisible = false;
    if (!trap.run([&] { dialogVisible = tokenDialogVisible(); })) {
        return;
    }
    if (dialogVisible) {
        return;
    }
    m_phases.resetCounters();
    const std::uint32_t StartTick = m_ports.clock.tickCount();
    trap.run([&] { RequestReadings(); });
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

void ReadingCycle::RequestReadings() {
    if (tokenDialogVisible()) {
        return;
    }
    const std::string url =
        "https://" + gateway::urlAddress(m_ports.boxes.text(Box::IP)) +
        "/ivp/meters/readings?cache=" + m_ports.locale.timeText(m_ports.clock.localNow());
    const std::string token = m_ports.boxes.text(Box::TokenString);
    std::string reply;
    std::string errorText;
    m_ports.http.ApiGet(url, token, reply, errorText);
    if (!errorText.empty()) {
        // The previous reply stays until the notice has closed, and goes even when the notice
        // cannot be shown: walking it again would show and write an old reading as new.
        struct DropReply {
            std::string& reply;
            ~DropReply() { reply.clear(); }
        } dropReply{m_responseText};
        m_ports.notices.TestTimeoutMsgBox("API Call Failed: " + errorText, kFailureNoticeTime);
    } else {
        m_responseText = std::move(reply);
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
