#include "common/testdoubles.h"

#include "support/failure.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quorvane::testing {

using reading::Box;

MemoryBoxes::MemoryBoxes() {
    for (auto& entry : m_entries) {
        entry.text = "0";
    }
    m_entries[static_cast<std::size_t>(Box::Grid)].colour = reading::colours::kLightRed;
    m_entries[static_cast<std::size_t>(Box::Delay)].text = "1000";
    m_entries[static_cast<std::size_t>(Box::IP)].text = "127.0.0.1";
    m_entries[static_cast<std::size_t>(Box::OutFile)].text = "out.txt";
    m_entries[static_cast<std::size_t>(Box::Zone)].text = "";
    m_entries[static_cast<std::size_t>(Box::TokenString)].text = "";
    for (Box box : {Box::Grid, Box::G1, Box::G2, Box::G3, Box::A1, Box::A2, Box::A3, Box::V1,
                    Box::V2, Box::V3}) {
        m_entries[static_cast<std::size_t>(box)].toolTip = "Green Export, Red Iimport";
    }
}

std::string MemoryBoxes::text(Box box) const {
    return m_entries.at(static_cast<std::size_t>(box)).text;
}

void MemoryBoxes::setText(Box box, std::string_view text) {
    m_entries.at(static_cast<std::size_t>(box)).text = std::string(text);
    ++changes;
}

std::uint32_t MemoryBoxes::backColour(Box box) const {
    return m_entries.at(static_cast<std::size_t>(box)).colour;
}

void MemoryBoxes::setBackColour(Box box, std::uint32_t colour) {
    m_entries.at(static_cast<std::size_t>(box)).colour = colour;
    ++changes;
}

std::string MemoryBoxes::toolTip(Box box) const {
    return m_entries.at(static_cast<std::size_t>(box)).toolTip;
}

void MemoryBoxes::setToolTip(Box box, std::string_view text) {
    m_entries.at(static_cast<std::size_t>(box)).toolTip = std::string(text);
    ++changes;
}

void MemoryBoxes::draw(const reading::ShownReading& shown) {
    for (Box box : reading::ShownReading::kBoxes) {
        auto& entry = m_entries.at(static_cast<std::size_t>(box));
        entry.text = shown.text(box);
        entry.colour = shown.backColour(box);
        entry.toolTip = shown.toolTip(box);
    }
    ++changes;
}

reading::ShownReading MemoryBoxes::shown() const {
    reading::ShownReading shown;
    for (Box box : reading::ShownReading::kBoxes) {
        const auto& entry = m_entries.at(static_cast<std::size_t>(box));
        shown.setText(box, entry.text);
        shown.setBackColour(box, entry.colour);
        shown.setToolTip(box, entry.toolTip);
    }
    return shown;
}

namespace {
std::string twoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}
} // namespace

std::string FixedLocale::timeText(const support::CalendarTime& time) const {
    return twoDigits(time.hour) + ":" + twoDigits(time.minute) + ":" + twoDigits(time.second) +
           timeSuffix;
}

std::string FixedLocale::dateTimeText(const support::CalendarTime& time) const {
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", time.year, time.month, time.day);
    return std::string(date) + " " + timeText(time);
}

void RecordingNotices::TestTimeoutMsgBox(const std::string& message, std::int32_t timeout) {
    shown.emplace_back(message, timeout);
    if (m_up) {
        support::raise(support::errors::kFormAlreadyShown);
    }
    if (whileShown) {
        m_up = true;
        struct Down {
            bool& up;
            ~Down() { up = false; }
        } down{m_up};
        whileShown();
    }
}

void RecordingReplyBox::showReply(const std::string& text) {
    shown.push_back(text);
    if (whileShown) {
        whileShown();
    }
}

void ScriptedHttp::ApiGet(const std::string& url, const std::string& token, std::string& reply,
                          std::string& errorText) {
    requests.emplace_back(url, token);
    reply.clear();
    if (clock != nullptr) {
        clock->ticks += turnaround;
    }
    if (duringRequest) {
        duringRequest();
    }
    Answer answer = fallback;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (answer.errorText.empty()) {
        reply = answer.reply;
    } else {
        errorText = answer.errorText;
    }
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            base / ("quorvane-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders made read-only by a test must be writable again to be removed.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string testData(const std::string& name) {
    return readFileBytes(std::filesystem::path(QUORVANE_TEST_DATA_DIR) / name);
}

} // namespace quorvane::testing
