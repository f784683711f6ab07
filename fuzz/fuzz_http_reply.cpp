// Fuzz target: the HTTP/1.1 reply reader. Byte 0 chooses the set-up (bits 0-1 the body limit:
// 0, 16 bytes, 4 KiB or 4 MiB; bit 2 the connection ends after the reply); bytes 1-3 are three
// split points, each a fraction of the reply in 256ths; the rest is the reply. It is read whole,
// in the four pieces the split points give and, when short, one byte at a time.

#include "common/replypieces.h"
#include "fuzzcheck.h"
#include "gateway/httpreply.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quorvane::gateway::HttpReplyReader;
using State = HttpReplyReader::State;

constexpr std::array<std::size_t, 4> kLimits = {0, 16, 4096, 4 * 1024 * 1024};
// Replies up to this long are also read one byte at a time.
constexpr std::size_t kByteByByteLength = 1024;
// The header lines whose values are compared between the readings.
constexpr std::array<std::string_view, 5> kHeaderNames = {
    "Content-Length", "Transfer-Encoding", "Connection", "Content-Type", "content-encoding"};

// Everything a reader tells once the bytes are in.
struct Outcome {
    State state;
    bool started;
    int status;
    std::string reason;
    std::string body;
    bool keepAlive;
    std::size_t trailingBytes;
    std::string problem;
    std::array<std::optional<std::string>, kHeaderNames.size()> headers;

    bool operator==(const Outcome&) const = default;
};

const char* stateName(State state) {
    switch (state) {
    case State::Incomplete:
        return "Incomplete";
    case State::Complete:
        return "Complete";
    case State::Malformed:
        return "Malformed";
    case State::TooLarge:
        return "TooLarge";
    }
    return "?";
}

std::string describe(const Outcome& outcome) {
    return std::string(stateName(outcome.state)) + " " + std::to_string(outcome.status) +
           " body " + std::to_string(outcome.body.size()) + " bytes, keepAlive " +
           (outcome.keepAlive ? "yes" : "no") + ", trailing " +
           std::to_string(outcome.trailingBytes) + ", problem \"" + outcome.problem + "\"";
}

Outcome outcomeOf(const HttpReplyReader& reader) {
    Outcome outcome{reader.state(),     reader.started(),       reader.status(),
                    reader.reason(),    reader.body(),          reader.keepAlive(),
                    reader.trailingBytes(), reader.problem(),   {}};
    for (std::size_t i = 0; i < kHeaderNames.size(); ++i) {
        if (const auto value = reader.header(kHeaderNames[i])) {
            outcome.headers[i] = std::string(*value);
        }
    }
    return outcome;
}

// Reads `reply` in pieces that end at `splits` (ascending) and at its end.
Outcome readInPieces(std::string_view reply, const std::vector<std::size_t>& splits,
                     std::size_t limit, bool finish) {
    HttpReplyReader reader(limit);
    quorvane::testing::feedInPieces(reader, reply, splits, finish);
    return outcomeOf(reader);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length a Content-Length value gives when it is a list of one and the same short whole
// number.
std::optional<std::size_t> contentLength(std::string_view value) {
    std::optional<std::size_t> length;
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        std::string_view element = value.substr(0, comma);
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
        while (!element.empty() && (element.front() == ' ' || element.front() == '\t')) {
            element.remove_prefix(1);
        }
        while (!element.empty() && (element.back() == ' ' || element.back() == '\t')) {
            element.remove_suffix(1);
        }
        if (element.empty()) {
            continue;
        }
        if (element.size() > 9 || !std::all_of(element.begin(), element.end(), isDigit)) {
            return std::nullopt;
        }
        const auto parsed = static_cast<std::size_t>(std::stoul(std::string(element)));
        if (length && *length != parsed) {
            return std::nullopt;
        }
        length = parsed;
    }
    return length;
}

void checkOutcome(const Outcome& outcome, std::string_view reply, std::size_t limit) {
    const std::string detail = describe(outcome);
    QUORVANE_FUZZ_CHECK(outcome.started == !reply.empty(), detail);
    QUORVANE_FUZZ_CHECK((outcome.state == State::Malformed) == !outcome.problem.empty(), detail);
    QUORVANE_FUZZ_CHECK(!outcome.keepAlive ||
                            (outcome.state == State::Complete && outcome.trailingBytes == 0),
                        detail);
    if (outcome.state != State::Complete) {
        QUORVANE_FUZZ_CHECK(!outcome.keepAlive && outcome.trailingBytes == 0, detail);
    }
    if (outcome.state == State::Malformed || outcome.state == State::TooLarge) {
        QUORVANE_FUZZ_CHECK(outcome.body.empty(), detail);
    }
    if (outcome.state != State::Complete) {
        return;
    }

    QUORVANE_FUZZ_CHECK(outcome.body.size() <= limit, detail);
    // Interim replies are skipped and a switch of protocols refused.
    QUORVANE_FUZZ_CHECK(outcome.status >= 200 && outcome.status <= 599, detail);
    QUORVANE_FUZZ_CHECK(outcome.trailingBytes <= reply.size(), detail);

    const auto& codings = outcome.headers[1];
    const bool noBody = outcome.status == 204 || outcome.status == 304;
    if (noBody) {
        QUORVANE_FUZZ_CHECK(outcome.body.empty(), detail);
    }
    if (!codings && !noBody) {
        // Without chunks the body is the bytes in front of what came after the reply.
        const std::size_t end = reply.size() - outcome.trailingBytes;
        QUORVANE_FUZZ_CHECK(outcome.body.size() <= end &&
                                reply.substr(end - outcome.body.size(), outcome.body.size()) ==
                                    outcome.body,
                            detail);
        if (const auto& length = outcome.headers[0]) {
            const auto parsed = contentLength(*length);
            QUORVANE_FUZZ_CHECK(!parsed || *parsed == outcome.body.size(),
                                detail + ", Content-Length \"" + *length + "\"");
        }
    }
}

// Bytes that come after a final state change nothing but the count of trailing bytes.
void checkFinal(HttpReplyReader& reader, const Outcome& before, std::string_view more) {
    reader.append(more);
    reader.finish();
    Outcome after = outcomeOf(reader);
    const std::string detail = describe(before) + " became " + describe(after);
    if (before.state == State::Complete) {
        QUORVANE_FUZZ_CHECK(after.trailingBytes == before.trailingBytes + more.size(), detail);
        QUORVANE_FUZZ_CHECK(!after.keepAlive || more.empty(), detail);
        after.trailingBytes = before.trailingBytes;
        after.keepAlive = before.keepAlive;
    }
    QUORVANE_FUZZ_CHECK(after == before, detail);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::size_t limit = kLimits[data[0] & 3];
    const bool finish = (data[0] & 4) != 0;
    const std::string_view reply = quorvane::fuzz::inputText(data + 4, size - 4);

    HttpReplyReader reader(limit);
    reader.append(reply);
    if (finish) {
        reader.finish();
    }
    const Outcome whole = outcomeOf(reader);
    checkOutcome(whole, reply, limit);

    std::vector<std::size_t> splits;
    for (std::size_t i = 1; i < 4; ++i) {
        splits.push_back(reply.size() * data[i] / 256);
    }
    std::sort(splits.begin(), splits.end());
    const Outcome pieces = readInPieces(reply, splits, limit, finish);
    QUORVANE_FUZZ_CHECK(pieces == whole, "whole: " + describe(whole) + "; in pieces at " +
                                             std::to_string(splits[0]) + ", " +
                                             std::to_string(splits[1]) + ", " +
                                             std::to_string(splits[2]) + ": " + describe(pieces));
    if (reply.size() <= kByteByByteLength) {
        std::vector<std::size_t> everyByte;
        for (std::size_t split = 1; split < reply.size(); ++split) {
            everyByte.push_back(split);
        }
        const Outcome bytes = readInPieces(reply, everyByte, limit, finish);
        QUORVANE_FUZZ_CHECK(bytes == whole,
                            "whole: " + describe(whole) + "; byte by byte: " + describe(bytes));
    }

    if (whole.state != State::Incomplete) {
        checkFinal(reader, whole, reply);
    }
    return 0;
}
