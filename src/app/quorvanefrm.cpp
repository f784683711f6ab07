// The main window: its start-up and shutdown, polling, the handlers of its controls and its
// notices. Its design table is formdesign.cpp, its display boxes and outer geometry
// formboxes.cpp, its token flow formtoken.cpp.
#include "app/quorvanefrm.h"

#include "app/formdesign.h"
#include "app/formlayout.h"
#include "app/frmcustominput.h"
#include "app/frmtimeoutmsg.h"
#include "app/settings.h"
#include "app/windowmenu.h"
#include "quorvane/version.h"
#include "support/commandline.h"
#include "support/failure.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <iostream>

namespace quorvane::app {

using reading::Box;

namespace {

constexpr double kIpPhasesShownHeight = 2560;
constexpr int kLongestDelay = 65535;
// How long the start-up notice naming the address and the file stays up, in milliseconds.
constexpr std::int32_t kGreetingNoticeTime = 5000;

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
    setBackColour(Box::Grid, reading::colours::kLightRed);

    m_cycle = std::make_unique<reading::ReadingCycle>(
        reading::ReadingPorts{*this, *this, m_services.replyBox, m_services.http, m_services.clock,
                              m_services.locale, m_services.zones, m_errorLog,
                              [this] { return m_tokenDialog && m_tokenDialog->isVisible(); },
                              [this](const reading::ShownReading& shown) { drawReading(shown); }});

    connect(findChild<QPushButton*>("Startbtn"), &QPushButton::clicked, this,
            &Quorvanefrm::Startbtn_Click);
    connect(findChild<QPushButton*>("Stopbtn"), &QPushButton::clicked, this,
            &Quorvanefrm::Stopbtn_Click);
    connect(m_createOutputchk, &QCheckBox::toggled, this, &Quorvanefrm::CreateOutputchk_Click);
    connect(&Timer1, &PollTimer::tick, this, &Quorvanefrm::Timer1_Timer);
    for (Box watched :
         {Box::Delay, Box::TokenString, Box::Grid, Box::IP, Box::Production, Box::Consumption}) {
        box(watched)->installEventFilter(this);
    }
    // The energy history: the shortcut works whichever control has the focus (the text boxes
    // would take Ctrl+E for themselves: see eventFilter), and the two boxes that open it say so.
    for (QLineEdit* textBox : findChildren<QLineEdit*>()) {
        textBox->installEventFilter(this);
    }
    auto* energy = new QShortcut(energyShortcut(), this);
    energy->setContext(Qt::WindowShortcut);
    connect(energy, &QShortcut::activated, this, &Quorvanefrm::energyWindowRequested);
    const QString energyTip = QStringLiteral("\nDouble-click or %1: energy history")
                                  .arg(energyShortcut().toString(QKeySequence::NativeText));
    for (Box opener : {Box::Production, Box::Consumption}) {
        box(opener)->setToolTip(box(opener)->toolTip() + energyTip);
    }
    // The boxes as designed and set up here are where the readings start.
    m_cycle->setShown(shownBoxes());
    connect(static_cast<QPlainTextEdit*>(box(Box::TokenString)), &QPlainTextEdit::textChanged, this,
            &Quorvanefrm::refreshTokenToolTip);
}

Quorvanefrm::~Quorvanefrm() = default;

void Quorvanefrm::createControls() {
    createDesignedControls(*this);
    for (int i = 0; i < reading::kBoxCount; ++i) {
        const auto name = reading::boxName(static_cast<Box>(i));
        m_boxes[static_cast<std::size_t>(i)] = findChild<QWidget*>(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    m_label8 = findChild<QLabel*>("Label8");
    m_createOutputchk = findChild<QCheckBox*>("CreateOutputchk");
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

    TestTimeoutMsgBox("ip " + text(Box::IP) + "\r\nWith file " + text(Box::OutFile),
                      kGreetingNoticeTime);
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
    refreshTokenToolTipWhenDue();
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
    } else if (event->type() == QEvent::ShortcutOverride &&
               static_cast<QKeyEvent*>(event)->keyCombination() == energyShortcut()[0]) {
        // A line edit under X11 claims Ctrl+E as "end of line"; the window's shortcut goes first.
        event->ignore();
        return true;
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == box(Box::Grid)) {
            Grid_DblClick();
        } else if (watched == box(Box::IP)) {
            IP_DblClick();
        } else if (watched == box(Box::Production) || watched == box(Box::Consumption)) {
            emit energyWindowRequested();
        }
    }
    return QWidget::eventFilter(watched, event);
}

QKeySequence Quorvanefrm::energyShortcut() {
    return QKeySequence(Qt::CTRL | Qt::Key_E);
}

// ---- Settings

QString Quorvanefrm::outFileText() const {
    return QString::fromStdString(text(Box::OutFile));
}

void Quorvanefrm::setOutFileText(const QString& text) {
    setText(Box::OutFile, text.toStdString());
}

// ---- Notices

void Quorvanefrm::TestTimeoutMsgBox(const std::string& message, std::int32_t timeout) {
    if (m_closing) {
        return;
    }
    // The certificate question is already up, or about to come: no notice is stacked over it.
    if (m_services.failureAwaitsOwner && m_services.failureAwaitsOwner()) {
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

} // namespace quorvane::app
