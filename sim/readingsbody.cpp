#include "sim/readingsbody.h"

#include <array>
#include <charconv>
#include <utility>

namespace quorvane::sim {
namespace {

using Field = std::pair<const char*, QByteArray>;

std::vector<Field> fieldsOf(const ChannelReading& r) {
    return {
        {"eid", QByteArray::number(static_cast<qlonglong>(r.eid))},
        {"timestamp", QByteArray::number(static_cast<qlonglong>(r.timestamp))},
        {"actEnergyDlvd", formatReadingNumber(r.actEnergyDlvd)},
        {"actEnergyRcvd", formatReadingNumber(r.actEnergyRcvd)},
        {"apparentEnergy", formatReadingNumber(r.apparentEnergy)},
        {"reactEnergyLagg", formatReadingNumber(r.reactEnergyLagg)},
        {"reactEnergyLead", formatReadingNumber(r.reactEnergyLead)},
        {"instantaneousDemand", formatReadingNumber(r.instantaneousDemand)},
        {"activePower", formatReadingNumber(r.activePower)},
        {"apparentPower", formatReadingNumber(r.apparentPower)},
        {"reactivePower", formatReadingNumber(r.reactivePower)},
        {"pwrFactor", formatReadingNumber(r.pwrFactor)},
        {"voltage", formatReadingNumber(r.voltage)},
        {"current", formatReadingNumber(r.current)},
        {"freq", formatReadingNumber(r.freq)},
    };
}

// Writes JSON in either layout; `depth` counts 4-space steps in the indented one.
class Writer {
public:
    explicit Writer(BodyLayout layout) : m_indented(layout == BodyLayout::Indented) {}

    void meters(const std::vector<MeterReading>& list) {
        m_out += '[';
        for (std::size_t i = 0; i < list.size(); ++i) {
            separator(i, 1);
            object(list[i].totals, &list[i].channels, 1);
        }
        closing(']', 0, !list.empty());
    }

    QByteArray take() { return std::move(m_out); }

private:
    void object(const ChannelReading& reading, const std::vector<ChannelReading>* channels,
                int depth) {
        m_out += '{';
        const std::vector<Field> fields = fieldsOf(reading);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            separator(i, depth + 1);
            key(fields[i].first);
            m_out += fields[i].second;
        }
        if (channels != nullptr) {
            separator(fields.size(), depth + 1);
            key("channels");
            m_out += '[';
            for (std::size_t i = 0; i < channels->size(); ++i) {
                separator(i, depth + 2);
                object((*channels)[i], nullptr, depth + 2);
            }
            closing(']', depth + 1, !channels->empty());
        }
        closing('}', depth, true);
    }

    void separator(std::size_t index, int depth) {
        if (index > 0) {
            m_out += ',';
        }
        newline(depth);
    }

    void closing(char bracket, int depth, bool hadContent) {
        if (hadContent) {
            newline(depth);
        }
        m_out += bracket;
    }

    void newline(int depth) {
        if (m_indented) {
            m_out += '\n';
            m_out += QByteArray(depth * 4, ' ');
        }
    }

    void key(const char* name) {
        m_out += '"';
        m_out += name;
        m_out += m_indented ? "\": " : "\":";
    }

    bool m_indented;
    QByteArray m_out;
};

} // namespace

QByteArray readingsBody(const std::vector<MeterReading>& meters, BodyLayout layout) {
    Writer writer(layout);
    writer.meters(meters);
    return writer.take();
}

QByteArray formatReadingNumber(double value) {
    // std::to_chars ignores the C locale, which QCoreApplication sets from the environment.
    std::array<char, 64> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 3);
    if (result.ec != std::errc()) {
        return QByteArrayLiteral("0.000");
    }
    return QByteArray(text.data(), result.ptr - text.data());
}

QByteArray oversizeReadingsBody(const std::vector<MeterReading>& meters, qsizetype size) {
    const QByteArray normal = readingsBody(meters);
    if (meters.empty() || normal.size() >= size) {
        return normal;
    }
    // The meters between "[\n" and "\n]", repeated while another copy still fits.
    const QByteArray inner = normal.mid(2, normal.size() - 4);
    QByteArray body;
    body.reserve(size);
    body += "[\n";
    body += inner;
    while (body.size() + 2 + inner.size() + 2 <= size) {
        body += ",\n";
        body += inner;
    }
    body += QByteArray(size - body.size() - 2, ' ');
    body += "\n]";
    return body;
}

} // namespace quorvane::sim
