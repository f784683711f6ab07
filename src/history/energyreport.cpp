#include "history/energyreport.h"

#include "history/historystore.h"
#include "history/localdays.h"
#include "history/totals.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace quorvane::history {

namespace {

constexpr int kExitMalformed = 2;

// Whole Wh, half away from zero; to_chars keeps it free of the locale and of any range limit.
void appendWh(std::string& line, double wh) {
    char text[400];
    const double whole = std::round(wh) == 0.0 ? 0.0 : std::round(wh);
    const auto result =
        std::to_chars(text, text + sizeof text, whole, std::chars_format::fixed, 0);
    line.push_back(',');
    line.append(text, result.ptr);
}

void appendLine(std::string& report, const std::string& label, const EnergyTotals& totals,
                bool complete) {
    report.append(label);
    appendWh(report, totals.produced);
    appendWh(report, totals.consumed);
    appendWh(report, totals.imported);
    appendWh(report, totals.exported);
    report.append(complete ? ",yes\n" : ",no\n");
}

} // namespace

std::optional<EnergyRequest> parseEnergyArgument(std::optional<std::string_view> argument,
                                                 const LocalDate& today) {
    if (!argument) {
        return EnergyRequest{today, false};
    }
    if (argument->size() == 7) {
        if (const auto date = parseDate(std::string(*argument) + "-01")) {
            return EnergyRequest{*date, true};
        }
        return std::nullopt;
    }
    if (const auto date = parseDate(*argument)) {
        return EnergyRequest{*date, false};
    }
    return std::nullopt;
}

std::string energyReport(const DayEnergy& day) {
    std::string report(kEnergyReportHeader);
    if (day.hasHistory()) {
        appendLine(report, formatDate(day.date), day.totals, day.complete);
    }
    return report;
}

std::string energyReport(const MonthEnergy& month) {
    std::string report(kEnergyReportHeader);
    if (month.days.empty()) {
        return report;
    }
    for (const DayEnergy& day : month.days) {
        appendLine(report, formatDate(day.date), day.totals, day.complete);
    }
    appendLine(report, formatMonth(month.year, month.month), month.totals, month.complete);
    return report;
}

int energyCommand(const std::filesystem::path& folder, std::optional<std::string_view> argument,
                  SecondMeter meter, std::string& out, std::string& err) {
    const auto today = localDateOf(static_cast<std::int64_t>(std::time(nullptr)));
    const auto request = parseEnergyArgument(argument, today.value_or(LocalDate{1970, 1, 1}));
    if (!request) {
        err = "--energy takes a day as YYYY-MM-DD or a month as YYYY-MM, not \"" +
              std::string(*argument) + "\"\n";
        return kExitMalformed;
    }
    const HistoryStore store(folder);
    if (request->wholeMonth) {
        out = energyReport(monthEnergy(store, request->date.year, request->date.month, meter,
                                       today.value_or(request->date)));
    } else {
        out = energyReport(dayEnergy(store, request->date, meter));
    }
    return 0;
}

} // namespace quorvane::history
