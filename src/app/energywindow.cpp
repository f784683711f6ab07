#include "app/energywindow.h"

#include "app/energychartstyle.h"
#include "app/energycsv.h"
#include "app/energydaychart.h"
#include "app/energymonthchart.h"
#include "app/energysources.h"
#include "app/localeformats.h"
#include "app/settings.h"

#include <QCloseEvent>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>
#include <utility>

namespace quorvane::app {

namespace {

constexpr double kWhPerKwh = 1000.0;
constexpr double kPercent = 100.0;
// How often the Month view reads its month again while today's numbers grow.
constexpr qint64 kMonthRereadMilliseconds = 60'000;
const QString kNone = QStringLiteral("\u2013");

QDate toQDate(history::LocalDate date) {
    return QDate(date.year, date.month, date.day);
}

history::LocalDate fromQDate(QDate date) {
    return {date.year(), date.month(), date.day()};
}

QString kwhText(double wh) {
    return QLocale().toString(wh / kWhPerKwh, 'f', 2) + QStringLiteral(" kWh");
}

QString kwText(double kw) {
    return QLocale().toString(kw, 'f', 2) + QStringLiteral(" kW");
}

QString percentText(std::optional<double> ratio) {
    if (!ratio) {
        return kNone;
    }
    const QLocale locale;
    return locale.toString(*ratio * kPercent, 'f', 0) + locale.percent();
}

QString timeText(std::int64_t secondsSinceEpoch) {
    const QLocale locale;
    return locale.toString(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).time(),
                           timeFormatWithSeconds(locale));
}

// A square of `colour` as tall as the text beside it, for a legend.
QLabel* swatch(const QColor& colour, const QFont& font, QWidget* parent) {
    const int side = QFontMetrics(font).height() * 2 / 3;
    const qreal ratio = parent->devicePixelRatioF();
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(colour.darker(150));
    painter.drawRect(QRectF(0, 0, side - 1.0 / ratio, side - 1.0 / ratio));
    painter.end();
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    return label;
}

// A row of coloured squares, each with its name.
QHBoxLayout* legend(const std::array<std::pair<QColor, QString>, 4>& entries, QWidget* parent) {
    auto* row = new QHBoxLayout;
    for (const auto& [colour, name] : entries) {
        row->addWidget(swatch(colour, parent->font(), parent));
        row->addWidget(new QLabel(name, parent));
        row->addSpacing(parent->fontMetrics().averageCharWidth() * 2);
    }
    row->addStretch();
    return row;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(name);
    made->setAutoDefault(false);
    return made;
}

QLabel* heading(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    label->setFont(font);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* incompleteMark(const char* name, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("incomplete"), parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setItalic(true);
    label->setFont(font);
    label->setToolTip(QStringLiteral(
        "The history misses the start or the end of this time, or a gap of over 15 minutes"));
    return label;
}

QLabel* selectionLine(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

// The six totals under a chart: energies in kWh and the two ratios, each value label named for
// a screen reader.
struct EnergyWindow::TotalsView {
    QLabel* produced;
    QLabel* consumed;
    QLabel* imported;
    QLabel* exported;
    QLabel* selfConsumption;
    QLabel* selfSufficiency;

    TotalsView(const QString& prefix, QWidget* parent, QGridLayout* grid) {
        const auto add = [&](const QString& caption, const char* name, int row, int column) {
            auto* captionLabel = new QLabel(caption + u':', parent);
            auto* value = new QLabel(kNone, parent);
            value->setObjectName(prefix + QString::fromLatin1(name));
            value->setAccessibleName(caption);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            captionLabel->setBuddy(value);
            grid->addWidget(captionLabel, row, column * 3);
            grid->addWidget(value, row, column * 3 + 1);
            return value;
        };
        produced = add(QStringLiteral("Produced"), "Produced", 0, 0);
        consumed = add(QStringLiteral("Consumed"), "Consumed", 1, 0);
        imported = add(QStringLiteral("Imported"), "Imported", 0, 1);
        exported = add(QStringLiteral("Exported"), "Exported", 1, 1);
        selfConsumption = add(QStringLiteral("Self-consumption"), "SelfConsumption", 0, 2);
        selfSufficiency = add(QStringLiteral("Self-sufficiency"), "SelfSufficiency", 1, 2);
        const int space = parent->fontMetrics().averageCharWidth() * 3;
        grid->setColumnMinimumWidth(2, space);
        grid->setColumnMinimumWidth(5, space);
        grid->setColumnStretch(8, 1);
    }

    void show(const history::EnergyTotals& totals) {
        produced->setText(kwhText(totals.produced));
        consumed->setText(kwhText(totals.consumed));
        imported->setText(kwhText(totals.imported));
        exported->setText(kwhText(totals.exported));
        selfConsumption->setText(percentText(totals.selfConsumption()));
        selfSufficiency->setText(percentText(totals.selfSufficiency()));
    }

    void showNone() {
        for (QLabel* value :
             {produced, consumed, imported, exported, selfConsumption, selfSufficiency}) {
            value->setText(kNone);
        }
    }
};

EnergyWindow::EnergyWindow(EnergySources sources, QSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), m_sources(std::make_unique<EnergySources>(std::move(sources))),
      m_settings(settings) {
    setObjectName("EnergyWindow");
    setWindowTitle(QStringLiteral("Quorvane \u2014 Energy"));
    // The main window's closing ends the program, whether or not this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_views = new QTabWidget(this);
    m_views->setObjectName("views");
    auto* dayPage = new QWidget(m_views);
    auto* monthPage = new QWidget(m_views);
    buildDayPage(dayPage);
    buildMonthPage(monthPage);
    m_views->addTab(dayPage, QStringLiteral("&Day"));
    m_views->addTab(monthPage, QStringLiteral("M&onth"));

    QPushButton* exportButton = button(QStringLiteral("&Export CSV\u2026"), "cmdExportCsv", this);
    QPushButton* closeButton = button(QStringLiteral("&Close"), "cmdClose", this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(exportButton);
    bottom->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_views, 1);
    layout->addLayout(bottom);

    connect(exportButton, &QPushButton::clicked, this, &EnergyWindow::exportCsv);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_views, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1) {
            if (m_month == 0) {
                m_monthYear = m_day.year();
                m_month = m_day.month();
            }
            loadMonth();
        } else {
            loadDay();
        }
    });

    // Page Up and Page Down step the view in front; Escape closes, as in a dialog.
    auto* earlier = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(earlier, &QShortcut::activated, this,
            [this] { monthViewShown() ? stepMonth(-1) : stepDay(-1); });
    auto* later = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    connect(later, &QShortcut::activated, this, [this] {
        QPushButton* next = monthViewShown() ? m_nextMonth : m_nextDay;
        if (next->isEnabled()) {
            next->click();
        }
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    setTabOrder(m_views, m_dayChart);
}

EnergyWindow::~EnergyWindow() {
    // The program can end with this window open; its place is kept as on closing.
    if (isVisible()) {
        savePlace();
    }
}

void EnergyWindow::buildDayPage(QWidget* page) {
    m_dayHeading = heading("dayHeading", page);
    m_dayIncomplete = incompleteMark("dayIncomplete", page);
    QPushButton* previous = button(QStringLiteral("&Previous day"), "cmdPreviousDay", page);
    m_nextDay = button(QStringLiteral("&Next day"), "cmdNextDay", page);
    QPushButton* today = button(QStringLiteral("&Today"), "cmdToday", page);
    auto* top = new QHBoxLayout;
    top->addWidget(m_dayHeading);
    top->addWidget(m_dayIncomplete);
    top->addStretch();
    top->addWidget(previous);
    top->addWidget(m_nextDay);
    top->addWidget(today);

    const QPalette& colours = palette();
    QHBoxLayout* key =
        legend({std::pair{chartstyle::productionColour(colours), QStringLiteral("Production")},
                std::pair{chartstyle::consumptionColour(colours), QStringLiteral("Consumption")},
                std::pair{chartstyle::exportColour(), QStringLiteral("Exporting")},
                std::pair{chartstyle::importColour(), QStringLiteral("Importing")}},
               page);
    m_daySelection = selectionLine("daySelection", page);
    m_dayChart = new EnergyDayChart(page);
    auto* totals = new QGridLayout;
    m_dayTotals = std::make_unique<TotalsView>(QStringLiteral("day"), page, totals);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addLayout(key);
    layout->addWidget(m_dayChart, 1);
    layout->addWidget(m_daySelection);
    layout->addLayout(totals);

    connect(previous, &QPushButton::clicked, this, [this] { stepDay(-1); });
    connect(m_nextDay, &QPushButton::clicked, this, [this] { stepDay(1); });
    connect(today, &QPushButton::clicked, this, &EnergyWindow::showToday);
    connect(m_dayChart, &EnergyDayChart::selectionChanged, this, &EnergyWindow::updateDaySelection);
    setTabOrder(m_dayChart, previous);
    setTabOrder(previous, m_nextDay);
    setTabOrder(m_nextDay, today);
}

void EnergyWindow::buildMonthPage(QWidget* page) {
    m_monthHeading = heading("monthHeading", page);
    m_monthIncomplete = incompleteMark("monthIncomplete", page);
    QPushButton* previous = button(QStringLiteral("Pre&vious month"), "cmdPreviousMonth", page);
    m_nextMonth = button(QStringLiteral("Ne&xt month"), "cmdNextMonth", page);
    QPushButton* thisMonth = button(QStringLiteral("This &month"), "cmdThisMonth", page);
    auto* top = new QHBoxLayout;
    top->addWidget(m_monthHeading);
    top->addWidget(m_monthIncomplete);
    top->addStretch();
    top->addWidget(previous);
    top->addWidget(m_nextMonth);
    top->addWidget(thisMonth);

    const QPalette& colours = palette();
    QHBoxLayout* key =
        legend({std::pair{chartstyle::productionColour(colours), QStringLiteral("Produced")},
                std::pair{chartstyle::consumptionColour(colours), QStringLiteral("Consumed")},
                std::pair{chartstyle::importColour(), QStringLiteral("Imported")},
                std::pair{chartstyle::exportColour(), QStringLiteral("Exported")}},
               page);
    m_monthSelection = selectionLine("monthSelection", page);
    m_monthChart = new EnergyMonthChart(page);
    auto* totals = new QGridLayout;
    m_monthTotals = std::make_unique<TotalsView>(QStringLiteral("month"), page, totals);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addLayout(key);
    layout->addWidget(m_monthChart, 1);
    layout->addWidget(m_monthSelection);
    layout->addLayout(totals);

    connect(previous, &QPushButton::clicked, this, [this] { stepMonth(-1); });
    connect(m_nextMonth, &QPushButton::clicked, this, [this] { stepMonth(1); });
    connect(thisMonth, &QPushButton::clicked, this, &EnergyWindow::showThisMonth);
    connect(m_monthChart, &EnergyMonthChart::selectionChanged, this,
            &EnergyWindow::updateMonthSelection);
    connect(m_monthChart, &EnergyMonthChart::dayActivated, this, [this](int day) {
        showDay({m_monthYear, m_month, day});
    });
    setTabOrder(m_monthChart, previous);
    setTabOrder(previous, m_nextMonth);
    setTabOrder(m_nextMonth, thisMonth);
}

history::LocalDate EnergyWindow::shownDay() const {
    return fromQDate(m_day);
}

bool EnergyWindow::monthViewShown() const {
    return m_views->currentIndex() == 1;
}

void EnergyWindow::setExportFileChooser(std::function<QString(const QString&)> chooser) {
    m_chooseExportFile = std::move(chooser);
}

void EnergyWindow::showDay(const history::LocalDate& date) {
    m_day = toQDate(date);
    if (monthViewShown()) {
        // Showing the Day view loads the day.
        m_views->setCurrentIndex(0);
    } else {
        loadDay();
    }
}

void EnergyWindow::showMonth(int year, int month) {
    m_monthYear = year;
    m_month = month;
    if (!monthViewShown()) {
        m_views->setCurrentIndex(1);
    } else {
        loadMonth();
    }
}

void EnergyWindow::loadDay() {
    m_dayChart->setDay(m_sources->day(fromQDate(m_day)));
    const history::DayEnergy& day = m_dayChart->day();
    m_dayHeading->setText(QLocale().toString(m_day, QLocale::LongFormat));
    if (day.hasHistory()) {
        m_dayTotals->show(day.totals);
    } else {
        m_dayTotals->showNone();
    }
    m_dayIncomplete->setVisible(day.hasHistory() && !day.complete);
    updateDaySelection();
    updateNavigation();
}

void EnergyWindow::loadMonth() {
    m_monthChart->setMonth(m_sources->month(m_monthYear, m_month));
    m_monthRead.start();
    const history::MonthEnergy& month = m_monthChart->month();
    const QLocale locale;
    m_monthHeading->setText(locale.standaloneMonthName(m_month) + u' ' +
                            QString::number(m_monthYear));
    const bool hasHistory = !month.days.empty();
    if (hasHistory) {
        m_monthTotals->show(month.totals);
    } else {
        m_monthTotals->showNone();
    }
    m_monthIncomplete->setVisible(hasHistory && !month.complete);
    updateMonthSelection();
    updateNavigation();
}

void EnergyWindow::stepDay(int days) {
    showDay(fromQDate(m_day.addDays(days)));
}

void EnergyWindow::stepMonth(int months) {
    const QDate first = QDate(m_monthYear, m_month, 1).addMonths(months);
    showMonth(first.year(), first.month());
}

void EnergyWindow::showToday() {
    showDay(m_sources->today());
}

void EnergyWindow::showThisMonth() {
    const history::LocalDate today = m_sources->today();
    showMonth(today.year, today.month);
}

void EnergyWindow::updateDaySelection() {
    const int selected = m_dayChart->selected();
    QString text;
    if (selected < 0) {
        text = m_dayChart->day().hasHistory()
                   ? QStringLiteral("Point at the chart, or use the arrow keys in it, to see the "
                                    "power at a time.")
                   : QString();
    } else {
        const history::Interval& interval =
            m_dayChart->day().intervals[static_cast<std::size_t>(selected)];
        const double grid = averageKw(interval.exported - interval.imported, interval);
        text = timeText(interval.start) + QStringLiteral(" \u2013 ") + timeText(interval.end) +
               QStringLiteral(":   Production ") + kwText(averageKw(interval.produced, interval)) +
               QStringLiteral("   Consumption ") + kwText(averageKw(interval.consumed, interval)) +
               (grid > 0 ? QStringLiteral("   Export ") : QStringLiteral("   Import ")) +
               kwText(std::abs(grid));
    }
    m_daySelection->setText(text);
    m_dayChart->setAccessibleDescription(text);
}

void EnergyWindow::updateMonthSelection() {
    const int day = m_monthChart->selectedDay();
    QString text;
    if (day == 0) {
        text = m_monthChart->month().days.empty()
                   ? QString()
                   : QStringLiteral("Point at a day, or use the arrow keys in the chart; "
                                    "double-click it or press Enter to see the day.");
    } else {
        const QString date =
            QLocale().toString(QDate(m_monthYear, m_month, day), QLocale::LongFormat);
        if (const history::DayEnergy* entry = m_monthChart->dayEntry(day)) {
            const history::EnergyTotals& totals = entry->totals;
            text = date + QStringLiteral(":   Produced ") + kwhText(totals.produced) +
                   QStringLiteral("   Consumed ") + kwhText(totals.consumed) +
                   QStringLiteral("   Imported ") + kwhText(totals.imported) +
                   QStringLiteral("   Exported ") + kwhText(totals.exported) +
                   (entry->complete ? QString() : QStringLiteral("   (incomplete)"));
        } else {
            text = date + QStringLiteral(":   no history");
        }
    }
    m_monthSelection->setText(text);
    m_monthChart->setAccessibleDescription(text);
}

void EnergyWindow::updateNavigation() {
    const history::LocalDate today = m_sources->today();
    m_nextDay->setEnabled(m_day < toQDate(today));
    m_nextMonth->setEnabled(std::pair{m_monthYear, m_month} < std::pair{today.year, today.month});
}

void EnergyWindow::open() {
    if (!isVisible()) {
        if (!m_placed) {
            m_placed = true;
            if (!loadEnergyWindowPlace(*this, m_settings)) {
                resize(sizeHint());
            }
        }
        if (monthViewShown()) {
            showThisMonth();
        } else {
            showToday();
        }
        show();
    }
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void EnergyWindow::refresh() {
    if (!isVisible()) {
        return;
    }
    const history::LocalDate today = m_sources->today();
    const QDate yesterday = toQDate(today).addDays(-1);
    if (!monthViewShown()) {
        // Yesterday gets its last minute from the first reading after midnight.
        if (m_day == toQDate(today) || m_day == yesterday) {
            loadDay();
        }
    } else if ((std::pair{m_monthYear, m_month} == std::pair{today.year, today.month} ||
                std::pair{m_monthYear, m_month} ==
                    std::pair{yesterday.year(), yesterday.month()}) &&
               m_monthRead.hasExpired(kMonthRereadMilliseconds)) {
        loadMonth();
    }
    updateNavigation();
}

void EnergyWindow::exportCsv() {
    const bool month = monthViewShown();
    const QString suggested =
        month ? QStringLiteral("energy-%1-%2.csv")
                    .arg(m_monthYear, 4, 10, QLatin1Char('0'))
                    .arg(m_month, 2, 10, QLatin1Char('0'))
              : QStringLiteral("energy-%1.csv").arg(m_day.toString(Qt::ISODate));
    QString path;
    if (m_chooseExportFile) {
        path = m_chooseExportFile(suggested);
    } else {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                            QDir(folder).filePath(suggested),
                                            QStringLiteral("CSV files (*.csv);;All files (*)"));
    }
    if (path.isEmpty()) {
        return;
    }
    const QByteArray text =
        (month ? monthCsv(m_monthChart->month()) : dayCsv(m_dayChart->day())).toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        QMessageBox::warning(this, QStringLiteral("Export CSV"),
                             QStringLiteral("Could not write %1:\n%2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
}

void EnergyWindow::closeEvent(QCloseEvent* event) {
    savePlace();
    QWidget::closeEvent(event);
}

void EnergyWindow::savePlace() {
    saveEnergyWindowPlace(*this, m_settings);
}

} // namespace quorvane::app
