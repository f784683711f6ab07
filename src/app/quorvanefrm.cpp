#include "app/quorvanefrm.h"

#include "app/desktop.h"
#include "app/formlayout.h"
#include "app/frmcustominput.h"
#include "app/frmtimeoutmsg.h"
#include "app/settings.h"
#include "app/tokenexpiry.h"
#include "app/windowmenu.h"
#include "gateway/tokenfile.h"
#include "quorvane/version.h"
#include "support/commandline.h"
#include "support/failure.h"
#include "support/systemtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <vector>

namespace quorvane::app {

using support::Box;

namespace {

// The design text of the IP box: an address on the owner's LAN, replaced by the settings or
// the command line.
constexpr const char* kDesignAddress = "192.168.1.64";
constexpr const char* kPhaseTip = "Green Export, Red Iimport";
constexpr double kIpPhasesShownHeight = 2560;
constexpr int kLongestDelay = 65535;
constexpr qint64 kMsecsPerDay = 24 * 60 * 60 * 1000;
// A token file that cannot be read or written is announced as long as a failed request.
constexpr std::int32_t kTokenFileNoticeTime = 15000;

enum class Kind { Label, Text, HiddenText, MultiLineText, Button, CheckBox };
enum class Font { Window, Value, Setting };

// One control of the main window as designed: position and size in twips.
struct Control {
    const char* name;
    Kind kind;
    double left;
    double top;
    double width;
    double height;
    const char* text;
    const char* toolTip;
    int tabIndex;
    Font font;
    // What a screen reader calls the box: its label, or its row and column.
    const char* accessibleName = "";
};

// clang-format off
const Control kControls[] = {
    // The main panel.
    {"Label3", Kind::Label, 120, 120, 855, 255, "Timestamp", "", 7, Font::Window},
    {"TimeStamp", Kind::Text, 1200, 120, 2300, 360, "0", "Instant time stamp", 2,
     Font::Value, "Timestamp"},
    {"Label2", Kind::Label, 120, 480, 975, 255, "Production", "", 6, Font::Window},
    {"Production", Kind::Text, 1200, 480, 950, 285, "0", "Solar Production", 1,
     Font::Value, "Production"},
    {"Label4", Kind::Label, 120, 840, 975, 255, "Consumption", "", 8, Font::Window},
    {"Consumption", Kind::Text, 1200, 840, 950, 285, "0", "Production +/- Grid", 3,
     Font::Value, "Consumption"},
    {"Label1", Kind::Label, 120, 1200, 615, 255, "Grid", "", 5, Font::Window},
    {"Grid", Kind::Text, 1200, 1200, 950, 285, "0", kPhaseTip, 0, Font::Value, "Grid"},
    {"Label5", Kind::Label, 2280, 840, 1815, 255, "Response time     Delay", "", 12, Font::Window},
    {"Turnaround", Kind::Text, 2280, 1200, 975, 285, "0", "Response time from Envoy", 10,
     Font::Value, "Response time"},
    {"Delay", Kind::Text, 3480, 1200, 615, 285, "1000", "Delay between requests", 11,
     Font::Value, "Delay"},
    {"Startbtn", Kind::Button, 3550, 120, 735, 255, "Start", "", 15, Font::Window},
    {"Stopbtn", Kind::Button, 3550, 480, 735, 255, "Stop", "", 16, Font::Window},
    // The phase panel.
    {"Label8", Kind::Label, 1200, 1680, 3855, 255,
     "   Solar                   Grid                 Amps          Volts", "", 19, Font::Window},
    {"Label9", Kind::Label, 120, 1920, 615, 255, "Phase 1", "", 26, Font::Window},
    {"Label10", Kind::Label, 120, 2280, 615, 255, "Phase 2", "", 27, Font::Window},
    {"Label11", Kind::Label, 120, 2640, 615, 255, "Phase 3", "", 28, Font::Window},
    {"S1", Kind::Text, 1200, 1920, 950, 285, "0", "", 21, Font::Value, "Phase 1 Solar"},
    {"S2", Kind::Text, 1200, 2280, 950, 285, "0", "", 23, Font::Value, "Phase 2 Solar"},
    {"S3", Kind::Text, 1200, 2640, 950, 285, "0", "", 25, Font::Value, "Phase 3 Solar"},
    {"G1", Kind::Text, 2280, 1920, 975, 285, "0", kPhaseTip, 20, Font::Value, "Phase 1 Grid"},
    {"G2", Kind::Text, 2280, 2280, 975, 285, "0", kPhaseTip, 22, Font::Value, "Phase 2 Grid"},
    {"G3", Kind::Text, 2280, 2640, 975, 285, "0", kPhaseTip, 24, Font::Value, "Phase 3 Grid"},
    {"A1", Kind::Text, 3360, 1920, 700, 360, "0", kPhaseTip, 33, Font::Value, "Phase 1 Amps"},
    {"A2", Kind::Text, 3360, 2280, 700, 360, "0", kPhaseTip, 32, Font::Value, "Phase 2 Amps"},
    {"A3", Kind::Text, 3360, 2640, 700, 360, "0", kPhaseTip, 31, Font::Value, "Phase 3 Amps"},
    {"V1", Kind::Text, 4200, 1920, 700, 360, "0", kPhaseTip, 36, Font::Value, "Phase 1 Volts"},
    {"V2", Kind::Text, 4200, 2280, 700, 360, "0", kPhaseTip, 37, Font::Value, "Phase 2 Volts"},
    {"V3", Kind::Text, 4200, 2640, 700, 360, "0", kPhaseTip, 38, Font::Value, "Phase 3 Volts"},
    // The settings panel.
    {"Label7", Kind::Label, 5040, 120, 495, 255, "Envoy", "", 18, Font::Window},
    {"IP", Kind::Text, 5640, 120, 1695, 285, kDesignAddress, "", 4, Font::Setting, "Envoy address"},
    {"Label6", Kind::Label, 5280, 555, 1815, 255, "Write?  File to write to", "", 17,
     Font::Window},
    {"CreateOutputchk", Kind::CheckBox, 5280, 840, 255, 255, "Check1", "", 14,
     Font::Window, "Write output file"},
    {"OutFile", Kind::Text, 5640, 840, 3135, 285, "E:\\Meters.txt", "", 13,
     Font::Setting, "File to write to"},
    {"Label12", Kind::Label, 5280, 1200, 975, 255, "Time Zone", "", 30, Font::Window},
    {"Zone", Kind::Text, 6120, 1200, 915, 285, "", "Delay between requests", 29,
     Font::Setting, "Time Zone"},
    {"MyTime", Kind::HiddenText, 7680, 1200, 1095, 285, "0", "", 9, Font::Window},
    {"Label13", Kind::Label, 5160, 1680, 3135, 255, "Token - see doc", "", 35, Font::Window},
    {"TokenString", Kind::MultiLineText, 5040, 1920, 3855, 1090, "", "", 34, Font::Window, "Token"},
};
// clang-format on

QWidget* makeControl(const Control& design, QWidget* parent) {
    const QString text = QString::fromUtf8(design.text);
    QWidget* control = nullptr;
    switch (design.kind) {
    case Kind::Label:
        control = new QLabel(text, parent);
        break;
    case Kind::Text:
    case Kind::HiddenText:
        control = new QLineEdit(text, parent);
        break;
    case Kind::MultiLineText: {
        auto* multiLine = new QPlainTextEdit(text, parent);
        // Tab moves on to the next control; a token holds no tab.
        multiLine->setTabChangesFocus(true);
        control = multiLine;
        break;
    }
    case Kind::Button:
        control = new QPushButton(text, parent);
        keepCaptionWhole(*static_cast<QPushButton*>(control));
        break;
    case Kind::CheckBox:
        control = new QCheckBox(text, parent);
        break;
    }
    control->setObjectName(QString::fromUtf8(design.name));
    placeTwips(*control, design.left, design.top, design.width, design.height);
    control->setToolTip(QString::fromUtf8(design.toolTip));
    control->setAccessibleName(QString::fromUtf8(design.accessibleName));
    if (design.font == Font::Value) {
        control->setFont(designFont(9.75, true));
        // Most of the line edit's inner margin goes to the text, as in the design's boxes: a
        // five-digit delay or turnaround fits whole.
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setTextMargins(-1, 0, -2, 0);
        }
    } else if (design.font == Font::Setting) {
        control->setFont(designFont(8.25, true));
    }
    if (design.kind == Kind::HiddenText) {
        control->setVisible(false);
    }
    return control;
}

// Characters as the user counts them, not UTF-16 units.
qsizetype characterCount(const QString& text) {
    return text.toUcs4().size();
}

std::uint32_t toBgr(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

QColor fromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

// The token file in the current folder, named in full in what the user is told.
std::filesystem::path tokenFilePath() {
    const std::filesystem::path name(std::string(gateway::kTokenFileName));
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? name : full;
}

QDateTime localDateTime(const support::CalendarTime& time) {
    return QDateTime(QDate(time.year, time.month, time.day),
                     QTime(time.hour, time.minute, time.second));
}

// The first moment from which the tooltip of a token expiring at `expiry` reads differently than
// at `now`: a whole day left fewer, or expired. Invalid once it has expired.
QDateTime toolTipChangeAt(const QDateTime& expiry, const QDateTime& now) {
    const qint64 left = now.msecsTo(expiry);
    if (left <= 0) {
        return {};
    }
    const qint64 days = left / kMsecsPerDay;
    return days == 0 ? expiry : expiry.addMSecs(1 - days * kMsecsPerDay);
}

} // namespace

Quorvanefrm::Quorvanefrm(WindowServices services)
    : QWidget(nullptr), m_services(std::move(services)),
      m_errorLog(m_services.clock, m_services.locale) {
    setObjectName("Quorvanefrm");
    setWindowTitle("QuorvaneT");
    // The window's font, which every control without a font of its own uses: the platform's
    // default is larger and cuts the labels off.
    setFont(designFont(8.25, false));
    createControls();
    setClientTwips(*this, 4410, 1530);
    setBackColour(Box::Grid, support::colours::kLightRed);

    m_cycle = std::make_unique<reading::ReadingCycle>(
        reading::ReadingPorts{*this, *this, m_services.replyBox, m_services.http, m_services.clock,
                              m_services.locale, m_services.zones, m_errorLog,
                              [this] { return m_tokenDialog && m_tokenDialog->isVisible(); }});

    connect(findChild<QPushButton*>("Startbtn"), &QPushButton::clicked, this,
            &Quorvanefrm::Startbtn_Click);
    connect(findChild<QPushButton*>("Stopbtn"), &QPushButton::clicked, this,
            &Quorvanefrm::Stopbtn_Click);
    connect(m_createOutputchk, &QCheckBox::toggled, this, &Quorvanefrm::CreateOutputchk_Click);
    connect(&Timer1, &PollTimer::tick, this, &Quorvanefrm::Timer1_Timer);
    for (Box watched : {Box::Delay, Box::TokenString, Box::Grid, Box::IP}) {
        box(watched)->installEventFilter(this);
    }
    connect(static_cast<QPlainTextEdit*>(box(Box::TokenString)), &QPlainTextEdit::textChanged, this,
            &Quorvanefrm::refreshTokenToolTip);
}

Quorvanefrm::~Quorvanefrm() = default;

void Quorvanefrm::createControls() {
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const Control& design : kControls) {
        QWidget* control = makeControl(design, this);
        if (design.kind != Kind::Label) {
            tabOrder.emplace_back(design.tabIndex, control);
        }
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    }
    for (int i = 0; i < support::kBoxCount; ++i) {
        const auto name = support::boxName(static_cast<Box>(i));
        m_boxes[static_cast<std::size_t>(i)] = findChild<QWidget*>(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    m_label8 = findChild<QLabel*>("Label8");
    m_createOutputchk = findChild<QCheckBox*>("CreateOutputchk");
}

QWidget* Quorvanefrm::box(Box which) const {
    return m_boxes.at(static_cast<std::size_t>(which));
}

// ---- Start-up and shutdown

void Quorvanefrm::Form_Load() {
    SetupSystemMenu(*this, "Stay On Top toggle..", "Show Settings...", "Show Phases...",
                    "About...");
    setStayOnTop(false);
    show();

    LoadToken();
    if (m_closing) {
        return;
    }

    LoadSettings(*this, m_services.settings);
    m_settingsLoaded = true;

    setWindowTitle(
        windowTitle() +
        QStringLiteral(" V%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));

    if (support::isConsumptionVariant(m_services.programPath)) {
        m_cycle->setConsumptionVariant(true);
        m_label8->setText("Solar                 Consumption");
        for (Box phase : {Box::G1, Box::G2, Box::G3}) {
            box(phase)->setAccessibleName(box(phase)->accessibleName().replace(
                QStringLiteral("Grid"), QStringLiteral("Consumption")));
        }
    }

    m_cycle->updateTimeZoneBias();

    const support::CommandLineTargets targets = support::commandLineTargets(m_services.arguments);
    if (targets.ip) {
        setText(Box::IP, *targets.ip);
    }
    if (targets.outFile) {
        setText(Box::OutFile, *targets.outFile);
    }

    TestTimeoutMsgBox("ip " + text(Box::IP) + "\r\nWith file " + text(Box::OutFile), 5000);
    if (m_closing) {
        return;
    }
    Startbtn_Click();
}

void Quorvanefrm::Form_Unload() {
    SaveSettings(*this, m_services.settings);
    m_tokenDialog.reset();
}

void Quorvanefrm::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        // Before the stored settings are in, saving would overwrite them with the design values.
        if (m_settingsLoaded) {
            Form_Unload();
        } else {
            m_ended = true;
        }
        m_closing = true;
        // A token typed into the box and not yet left is kept, as leaving the box would; a
        // failure to save it goes to standard error alone, with no notice to hold the closing.
        if (m_settingsLoaded && text(Box::TokenString) != BearerToken) {
            TokenString_LostFocus();
        }
        Timer1.setEnabled(false);
        // Whatever waits in a modal loop returns now; the cycle then finds the window closing.
        if (m_notice) {
            m_notice->cmdClose_Click();
        }
        if (m_tokenDialog && m_tokenDialog->isVisible()) {
            m_tokenDialog->cmdCancel_Click();
        }
        if (m_services.endRequest) {
            m_services.endRequest();
        }
    }
    event->accept();
}

void Quorvanefrm::endProgram() {
    m_ended = true;
    m_closing = true;
    Timer1.setEnabled(false);
    hide();
}

// ---- Polling

void Quorvanefrm::Startbtn_Click() {
    Timer1.setEnabled(true);
}

void Quorvanefrm::Stopbtn_Click() {
    Timer1.setEnabled(false);
}

void Quorvanefrm::Timer1_Timer() {
    if (m_closing) {
        return;
    }
    // Before the cycle, so that a refusal of the token finds the tooltip already saying why.
    if (m_tokenToolTipChangeAt.isValid() &&
        localDateTime(m_services.clock.localNow()) >= m_tokenToolTipChangeAt) {
        refreshTokenToolTip();
    }
    try {
        m_cycle->QuorvaneRead();
    } catch (const support::RunTimeError& error) {
        std::cerr << "Quorvane: reading failed: " << support::errorText(error.failure())
                  << std::endl;
        return;
    } catch (const std::exception& error) {
        std::cerr << "Quorvane: reading failed: " << error.what() << std::endl;
        return;
    }
    if (m_closing) {
        return;
    }
    setText(Box::MyTime, m_services.locale.timeText(m_services.clock.localNow()));
    QCoreApplication::processEvents();
}

void Quorvanefrm::Delay_LostFocus() {
    // Digits of any script count: keyboards for Arabic, Persian or Hindi type their own.
    const QList<uint> typed = QString::fromStdString(text(Box::Delay)).trimmed().toUcs4();
    int milliseconds = typed.isEmpty() ? -1 : 0;
    for (const uint c : typed) {
        if (QChar::category(c) != QChar::Number_DecimalDigit) {
            milliseconds = -1;
            break;
        }
        milliseconds = std::min(milliseconds * 10 + QChar::digitValue(c), kLongestDelay + 1);
    }
    if (milliseconds < 0 || milliseconds > kLongestDelay) {
        setText(Box::Delay, std::to_string(Timer1.interval()));
        return;
    }
    Timer1.setInterval(milliseconds);
}

void Quorvanefrm::Grid_DblClick() {
    togglePhasePanel(*this);
}

void Quorvanefrm::IP_DblClick() {
    setOuterWidth(kWidthPhases);
    if (outerHeight() < kIpPhasesShownHeight) {
        setOuterWidth(kWidthMainPanel);
    }
}

void Quorvanefrm::CreateOutputchk_Click() {
    if (m_createOutputchk->isChecked()) {
        setOuterWidth(kWidthPhases);
    }
}

bool Quorvanefrm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !m_closing) {
        // Only a move to another control of this window leaves the box. A notice, a message
        // box or another program taking the focus, or a context menu opening, does not: the
        // user comes back to the box, and a half-typed token must not be saved.
        const QWidget* next = QApplication::focusWidget();
        if (next != nullptr && next != watched && next->window() == this) {
            if (watched == box(Box::Delay)) {
                Delay_LostFocus();
            } else if (watched == box(Box::TokenString)) {
                TokenString_LostFocus();
            }
        }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == box(Box::Grid)) {
            Grid_DblClick();
        } else if (watched == box(Box::IP)) {
            IP_DblClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Token

void Quorvanefrm::LoadToken() {
    const std::optional<gateway::TokenRead> read = gateway::readTokenFile(tokenFilePath());
    if (read && read->problem.empty() && !read->token.empty()) {
        BearerToken = read->token;
        setText(Box::TokenString, BearerToken);
        const QString shown = QString::fromStdString(text(Box::TokenString));
        TestTimeoutMsgBox("token with length " + std::to_string(characterCount(shown)) + "\r\n" +
                              BearerToken,
                          5000);
        return;
    }
    if (read && !read->problem.empty()) {
        // Said before the dialog, or the user would be asked for a token again at every start
        // without knowing why.
        std::cerr << "Quorvane: " << read->problem << std::endl;
        TestTimeoutMsgBox(read->problem + "\r\nPaste the token into the dialog that follows.",
                          kTokenFileNoticeTime);
        if (m_closing) {
            return;
        }
    }
    AskToken();
    if (m_closing) {
        return;
    }
    if (!BearerToken.empty()) {
        SaveToken();
    }
}

void Quorvanefrm::AskToken() {
    if (!m_tokenDialog) {
        m_tokenDialog = std::make_unique<frmCustomInput>();
    }
    m_tokenDialog->txtInput->clear();
    m_tokenDialog->InputResult.clear();
    m_tokenDialog->exec();
    if (m_closing) {
        return;
    }
    const QString entered = m_tokenDialog->InputResult;
    BearerToken = entered.toStdString();
    if (!BearerToken.empty()) {
        TestTimeoutMsgBox("Entered token with length " + std::to_string(characterCount(entered)) +
                              "\r\n" + BearerToken,
                          5000);
        return;
    }
    TestTimeoutMsgBox("Input was canceled - program will end.", 5000);
    endProgram();
}

void Quorvanefrm::SaveToken() {
    setText(Box::TokenString, BearerToken);
    if (BearerToken.empty()) {
        return;
    }
    const std::filesystem::path file = tokenFilePath();
    try {
        gateway::writeTokenFile(file, BearerToken);
    } catch (const support::RunTimeError& error) {
        const std::string problem = "The token was not saved in " + support::textOfPath(file) +
                                    ": " + support::errorText(error.failure());
        std::cerr << "Quorvane: " << problem << std::endl;
        // A token not saved is asked for again at the next start.
        TestTimeoutMsgBox(problem, kTokenFileNoticeTime);
    }
}

void Quorvanefrm::TokenString_LostFocus() {
    BearerToken = text(Box::TokenString);
    if (!BearerToken.empty()) {
        SaveToken();
    }
}

void Quorvanefrm::refreshTokenToolTip() {
    const QString token = static_cast<QPlainTextEdit*>(box(Box::TokenString))->toPlainText();
    const QDateTime now = localDateTime(m_services.clock.localNow());
    // QLocale() is the user's locale, or the default a test has set in its place.
    box(Box::TokenString)->setToolTip(tokenExpiryToolTip(token, now, QLocale()));
    const std::optional<QDateTime> expiry = tokenExpiry(token);
    m_tokenToolTipChangeAt = expiry ? toolTipChangeAt(*expiry, now) : QDateTime();
}

// ---- Notices

void Quorvanefrm::TestTimeoutMsgBox(const std::string& message, std::int32_t timeout) {
    if (m_closing) {
        return;
    }
    const std::string copy = message;
    if (m_notice) {
        // Raises: the notice is already shown.
        m_notice->ShowTimeoutMessage(copy, timeout);
        return;
    }
    m_notice = std::make_unique<frmTimeoutMsg>();
    struct Unload {
        std::unique_ptr<frmTimeoutMsg>& notice;
        ~Unload() { notice.reset(); }
    } unload{m_notice};
    m_notice->ShowTimeoutMessage(copy, timeout);
}

// ---- Display boxes

std::string Quorvanefrm::text(Box which) const {
    QWidget* control = box(which);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text().toStdString();
    }
    return static_cast<QPlainTextEdit*>(control)->toPlainText().toStdString();
}

void Quorvanefrm::setText(Box which, std::string_view value) {
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    QWidget* control = box(which);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
        // The view shows the text's start, as the number's or the date's first digits matter.
        edit->setCursorPosition(0);
        return;
    }
    auto* multiLine = static_cast<QPlainTextEdit*>(control);
    // Setting the same text again would only move the user's cursor to the start.
    if (multiLine->toPlainText() != text) {
        multiLine->setPlainText(text);
    }
}

std::uint32_t Quorvanefrm::backColour(Box which) const {
    const QPalette& palette = box(which)->palette();
    if (!palette.isBrushSet(QPalette::Active, QPalette::Base)) {
        return support::colours::kWindowBackground;
    }
    return toBgr(palette.color(QPalette::Active, QPalette::Base));
}

void Quorvanefrm::setBackColour(Box which, std::uint32_t colour) {
    QWidget* control = box(which);
    if (colour == support::colours::kWindowBackground) {
        // Only Base and Text are ever set on a box; an empty palette gives the box the theme's
        // back and text again.
        control->setPalette(QPalette());
        return;
    }
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, fromBgr(colour));
    // The design's window text (black) on the program's own colours: a dark theme's light text
    // would hardly show on green or light red.
    palette.setColor(QPalette::Text, Qt::black);
    control->setPalette(palette);
}

std::string Quorvanefrm::toolTip(Box which) const {
    return box(which)->toolTip().toStdString();
}

void Quorvanefrm::setToolTip(Box which, std::string_view value) {
    box(which)->setToolTip(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

int Quorvanefrm::writeCheckValue() const {
    if (m_closing) {
        return 0;
    }
    return m_createOutputchk->isChecked() ? 1 : 0;
}

// ---- Window options

double Quorvanefrm::outerTop() const {
    return m_outer.get(*this, OuterTwips::Edge::Top);
}
double Quorvanefrm::outerLeft() const {
    return m_outer.get(*this, OuterTwips::Edge::Left);
}
double Quorvanefrm::outerWidth() const {
    return m_outer.get(*this, OuterTwips::Edge::Width);
}
double Quorvanefrm::outerHeight() const {
    return m_outer.get(*this, OuterTwips::Edge::Height);
}

void Quorvanefrm::setOuterTop(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Top, twips);
}

void Quorvanefrm::setOuterLeft(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Left, twips);
}

void Quorvanefrm::setOuterWidth(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Width, twips);
}

void Quorvanefrm::setOuterHeight(double twips) {
    m_outer.set(*this, OuterTwips::Edge::Height, twips);
}

double Quorvanefrm::screenWidth() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size().width() * kTwipsPerPixel : 0.0;
}

double Quorvanefrm::screenHeight() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size().height() * kTwipsPerPixel : 0.0;
}

QString Quorvanefrm::ipText() const {
    return static_cast<QLineEdit*>(box(Box::IP))->text();
}

void Quorvanefrm::setIpText(const QString& ip) {
    static_cast<QLineEdit*>(box(Box::IP))->setText(ip);
}

void Quorvanefrm::setWriteCheckValue(int value) {
    m_createOutputchk->setChecked(value == 1);
}

bool Quorvanefrm::stayOnTop() const {
    return StayOnTop;
}

void Quorvanefrm::setStayOnTop(bool on) {
    StayOnTop = on;
    desktop::setStaysOnTop(*this, on);
}

} // namespace quorvane::app
