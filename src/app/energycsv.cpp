#include "app/energycsv.h"

#include <QDateTime>
#include <QStringList>
#include <cmath>

namespace quorvane::app {

namespace {

QString wholeWh(double wh) {
    return QString::number(std::llround(wh));
}

QString energyColumns(double produced, double consumed, double imported, double exported) {
    return QStringList{wholeWh(produced), wholeWh(consumed), wholeWh(imported), wholeWh(exported)}
        .join(QLatin1Char(','));
}

QString localIsoTime(std::int64_t secondsSinceEpoch) {
    const int offset = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).offsetFromUtc();
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::OffsetFromUTC, offset)
        .toString(Qt::ISODate);
}

QString yesNo(bool yes) {
    return yes ? QStringLiteral("yes") : QStringLiteral("no");
}

QString twoDigits(int number) {
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

} // namespace

QString dayCsv(const history::DayEnergy& day) {
    QString text = QStringLiteral("start,end,produced_wh,consumed_wh,imported_wh,exported_wh\n");
    for (const history::Interval& interval : day.intervals) {
        text += localIsoTime(interval.start) + u',' + localIsoTime(interval.end) + u',' +
                energyColumns(interval.produced, interval.consumed, interval.imported,
                              interval.exported) +
                u'\n';
    }
    return text;
}

QString monthCsv(const history::MonthEnergy& month) {
    QString text =
        QStringLiteral("date,produced_wh,consumed_wh,imported_wh,exported_wh,complete\n");
    if (month.days.empty()) {
        return text;
    }
    const QString monthName = QString::number(month.year) + u'-' + twoDigits(month.month);
    for (const history::DayEnergy& day : month.days) {
        const history::EnergyTotals& totals = day.totals;
        text += monthName + u'-' + twoDigits(day.date.day) + u',' +
                energyColumns(totals.produced, totals.consumed, totals.imported, totals.exported) +
                u',' + yesNo(day.complete) + u'\n';
    }
    const history::EnergyTotals& totals = month.totals;
    text += monthName + u',' +
            energyColumns(totals.produced, totals.consumed, totals.imported, totals.exported) +
            u',' + yesNo(month.complete) + u'\n';
    return text;
}

} // namespace quorvane::app
