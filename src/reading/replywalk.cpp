#include "reading/replywalk.h"

#include "support/numerictext.h"

#include <cmath>

namespace quorvane::reading {

namespace {

// Where a key occurs next in the reply, from the entry under test on. No key holds a comma, so
// an occurrence never spans two entries and an entry contains the key exactly when the next
// occurrence starts inside it: one search runs on through the whole reply instead of one search
// per key in every entry. The search looks for the key's anchor, a letter that few other keys
// of a readings reply contain, rather than its first letter, which most of them share.
class KeySearch {
public:
    KeySearch(std::string_view reply, std::string_view key, std::size_t anchor)
        : m_reply(reply), m_key(key), m_anchor(anchor), m_next(find(0)) {}

    // Whether the entry from `begin` up to `end` contains the key; entries come in order.
    bool inEntry(std::size_t begin, std::size_t end) {
        if (m_next < begin) {
            m_next = find(begin);
        }
        return m_next < end;
    }

private:
    // The first occurrence at or after `from`.
    std::size_t find(std::size_t from) const {
        std::size_t at = from + m_anchor;
        while (true) {
            at = m_reply.find(m_key[m_anchor], at);
            if (at == std::string_view::npos) {
                return at;
            }
            const std::size_t start = at - m_anchor;
            if (m_reply.substr(start, m_key.size()) == m_key) {
                return start;
            }
            ++at;
        }
    }

    std::string_view m_reply;
    std::string_view m_key;
    std::size_t m_anchor;
    std::size_t m_next;
};

// The searches for every text the walk looks for.
struct ReplyKeys {
    explicit ReplyKeys(std::string_view reply)
        : openBracket(reply, "[", 0), closeBracket(reply, "]", 0),
          timestamp(reply, "timestamp", 2), reactivePower(reply, "reactivePower", 8),
          voltage(reply, "voltage", 2), pwrFactor(reply, "pwrFactor", 3),
          current(reply, "current", 1), activePower(reply, "activePower", 6) {}

    KeySearch openBracket;
    KeySearch closeBracket;
    KeySearch timestamp;
    KeySearch reactivePower;
    KeySearch voltage;
    KeySearch pwrFactor;
    KeySearch current;
    KeySearch activePower;
};

void testEntry(std::string_view reply, std::size_t begin, std::size_t end, ReplyKeys& keys,
               EntryTests& tests, support::Trap& trap) {
    const std::string_view entry = reply.substr(begin, end - begin);
    // A pair that shares its entry with a bracket is not examined at all.
    if (keys.openBracket.inEntry(begin, end) || keys.closeBracket.inEntry(begin, end)) {
        return;
    }
    if (keys.timestamp.inEntry(begin, end)) {
        trap.run([&] { tests.timeStampRule(entry); });
    }
    // "reactivePower" contains "activePower"; its entries are left alone altogether.
    if (keys.reactivePower.inEntry(begin, end)) {
        return;
    }
    if (keys.voltage.inEntry(begin, end)) {
        trap.run([&] { tests.GetVolts(entry); });
    }
    if (keys.pwrFactor.inEntry(begin, end)) {
        trap.run([&] { tests.GetPFs(entry); });
    }
    if (keys.current.inEntry(begin, end)) {
        trap.run([&] { tests.GetAmps(entry); });
    }
    if (keys.activePower.inEntry(begin, end)) {
        tests.powerRule(entry, trap);
    }
}

} // namespace

void walkReply(std::string_view reply, EntryTests& tests, support::Trap& trap) {
    ReplyKeys keys(reply);
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = reply.find(',', start);
        if (comma == std::string_view::npos) {
            testEntry(reply, start, reply.size(), keys, tests, trap);
            return;
        }
        testEntry(reply, start, comma, keys, tests, trap);
        start = comma + 1;
    }
}

std::optional<std::string_view> valueText(std::string_view entry) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = entry.substr(colon + 1);
    return rest.substr(0, rest.find(':'));
}

double entryValue(std::string_view entry) {
    const auto text = valueText(entry);
    if (!text) {
        support::raise(support::errors::kTypeMismatch);
    }
    return support::valueTextToNumber(*text);
}

int phaseOfOrdinal(int ordinal) {
    if (ordinal >= 2 && ordinal <= 4) {
        return ordinal - 1;
    }
    if (ordinal >= 6 && ordinal <= 8) {
        return ordinal - 5;
    }
    return 0;
}

double checkedResult(double value) {
    if (!std::isfinite(value)) {
        support::raise(support::errors::kOverflow);
    }
    return value;
}

} // namespace quorvane::reading
