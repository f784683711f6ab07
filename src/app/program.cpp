#include "app/program.h"

#include "app/certificatedialog.h"
#include "app/desktop.h"
#include "app/endsignals.h"
#include "app/energysources.h"
#include "app/energywindow.h"
#include "app/errorreplybox.h"
#include "app/historyfolder.h"
#include "app/formlayout.h"
#include "app/programicon.h"
#include "app/qtplatform.h"
#include "app/quorvanefrm.h"
#include "app/settings.h"
#include "app/tokenexpiry.h"
#include "client/certificatepins.h"
#include "client/gatewayclient.h"
#include "history/energyreport.h"
#include "history/historystore.h"
#include "history/localdays.h"
#include "history/recorder.h"
#include "history/totals.h"
#include "reading/shownreading.h"
#include "support/commandline.h"
#include "support/failure.h"

#include <QApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QTimer>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::app {

namespace {

// The application object's arguments: the program's name alone, so that Qt takes none of its
// own options (-style, -reverse, -platform ...) from the user's text; Qt's settings stay
// reachable through its environment variables. Qt keeps references to both.
struct QtArguments {
    explicit QtArguments(char* programName) : argv{programName, nullptr} {}
    int argc = 1;
    char* argv[2];
};

// `outputSeen`: whether standard output reaches the user; otherwise a message box says it.
int forgetCertificates(char* programName, bool outputSeen) {
    QtArguments qtArguments(programName);
    const QCoreApplication application(qtArguments.argc, qtArguments.argv);
    client::CertificatePins pins;
    const int count = pins.forgetAll();
    const std::string said = "Forgot " + std::to_string(count) + " pinned gateway certificate" +
                             (count == 1 ? "" : "s") + ".";
    if (!outputSeen) {
        desktop::showInformation(nullptr, QStringLiteral("Quorvane"), QString::fromStdString(said));
        return 0;
    }
    std::cout << said << std::endl;
    return 0;
}

// --energy: the history's report on standard output, or an error on standard error (exit code
// 2); a message box says either when standard output does not reach the user. Sends nothing.
int printEnergy(char* programName, const std::optional<std::string>& argument,
                bool outputSeen) {
    QtArguments qtArguments(programName);
    const QCoreApplication application(qtArguments.argc, qtArguments.argv);
    QCoreApplication::setApplicationName("Quorvane");
    const bool variant = support::isConsumptionVariant(programName);
    std::string report;
    std::string error;
    const int status = history::energyCommand(
        historyFolder(variant), argument,
        variant ? history::SecondMeter::TotalConsumption : history::SecondMeter::NetConsumption,
        report, error);
    if (!outputSeen) {
        desktop::showInformation(nullptr, QStringLiteral("Quorvane"),
                                 QString::fromStdString(status == 0 ? report : error));
    } else if (status == 0) {
        std::cout << report << std::flush;
    } else {
        std::cerr << "Quorvane: " << error << std::flush;
    }
    return status;
}

// How long the notice that the energy history cannot be written stays up, in milliseconds.
constexpr std::int32_t kHistoryNoticeTime = 15000;

// `arguments`: the program's arguments after its options.
int runWindow(char* programName, const std::vector<std::string>& arguments) {
    // argv[0] keeps the name the program was started by; the application's file path would
    // resolve the QuorvaneB link to the program itself.
    const std::string programPath = programName;
    QtArguments qtArguments(programName);
    QApplication application(qtArguments.argc, qtArguments.argv);
    QCoreApplication::setApplicationName("Quorvane");
    // The desktop entry's name lets a Wayland desktop match the window with its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    QApplication::setWindowIcon(programIcon());

    const std::string argumentLine = support::argumentText(arguments);

    GatewayAccess gateway;
    const std::unique_ptr<QSettings> settings = openUserSettings();
    QtClock clock;
    QtLocaleTexts locale;
    support::SystemZoneSource zones;

    // The energy history: a snapshot of the meters' counters each minute, and the window that
    // shows the totals. A failure to write it is one notice, never a hold on the readings.
    const bool consumptionVariant = support::isConsumptionVariant(programPath);
    const history::SecondMeter meter = consumptionVariant ? history::SecondMeter::TotalConsumption
                                                          : history::SecondMeter::NetConsumption;
    const history::HistoryStore store(historyFolder(consumptionVariant));
    Quorvanefrm* noticeWindow = nullptr;
    history::Recorder recorder(store, [&noticeWindow](const std::string& message) {
        if (noticeWindow == nullptr) {
            return;
        }
        // Shown from the event loop: the cycle that drew the reading goes on meanwhile.
        QTimer::singleShot(0, noticeWindow, [window = noticeWindow, message] {
            try {
                window->TestTimeoutMsgBox(message, kHistoryNoticeTime);
            } catch (const support::RunTimeError&) {
                // Another notice was up: it shows this text now.
            }
        });
    });
    const auto today = [] {
        return history::localDateOf(std::time(nullptr)).value_or(history::LocalDate{});
    };
    EnergyWindow energy(
        EnergySources{[&](history::LocalDate date) { return history::dayEnergy(store, date, meter); },
                      [&](int year, int month) {
                          return history::monthEnergy(store, year, month, meter, today());
                      },
                      today},
        *settings);
    const auto recordReading = [&recorder, &energy](const reading::ShownReading& shown) {
        const std::int64_t before = recorder.lastSnapshot();
        recorder.record(shown.readingTime(), shown.reply());
        if (recorder.lastSnapshot() != before) {
            energy.refresh();
        }
    };

    Quorvanefrm window(WindowServices{gateway.http(), gateway.replyBox(), clock, locale, zones,
                                      *settings, programPath, argumentLine,
                                      [&gateway] { gateway.endRequest(); },
                                      [&gateway] { return gateway.failureAwaitsOwner(); },
                                      recordReading});
    noticeWindow = &window;
    QObject::connect(&window, &Quorvanefrm::energyWindowRequested, &energy, &EnergyWindow::open);
    // The last reading joins the history however the program ends, short of being killed.
    struct FinishHistory {
        history::Recorder& recorder;
        const Quorvanefrm& window;
        ~FinishHistory() {
            const reading::ShownReading& last = window.cycle().shown();
            recorder.finish(last.readingTime(), last.reply());
        }
    } finishHistory{recorder, window};
    // The time stamp is shown and written whole, in one format for the whole run.
    if (const auto* stamp = window.findChild<QLineEdit*>(QStringLiteral("TimeStamp"))) {
        const QFontMetricsF metrics(stamp->font());
        locale.fitDateTimeTo(
            [&metrics](const QString& text) { return metrics.horizontalAdvance(text); },
            textRoom(*stamp));
    }

    const EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::endRequested, &window, &QWidget::close);
    desktop::closeWhenSessionEnds(window);
    // Whatever quits the application (a desktop session's end on Linux) closes the window first,
    // as its close box would, so that the settings are saved.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window, [&window] {
        if (!window.closing()) {
            window.close();
        }
    });

    window.Form_Load();
    // Ended from the token dialog, or closed while starting: the event loop has nothing to do.
    if (window.closing()) {
        return 0;
    }
    return QApplication::exec();
}

} // namespace

struct GatewayAccess::Parts {
    ErrorReplyBox replyBox;
    CertificateDialog certificateDialog;
    client::CertificatePins pins;
    client::GatewayClient client{pins, &certificateDialog};
    TokenExpiryNote note{client, [] { return QDateTime::currentDateTime(); }, QLocale()};
};

GatewayAccess::GatewayAccess() : m_parts(std::make_unique<Parts>()) {}

GatewayAccess::~GatewayAccess() = default;

gateway::HttpGet& GatewayAccess::http() {
    return m_parts->note;
}

gateway::ReplyMessageBox& GatewayAccess::replyBox() {
    return m_parts->replyBox;
}

bool GatewayAccess::failureAwaitsOwner() {
    return m_parts->client.takeFailureAwaitingOwner();
}

void GatewayAccess::endRequest() {
    m_parts->client.abort();
    m_parts->replyBox.shutDown();
    m_parts->certificateDialog.shutDown();
}

int runProgram(int argc, char** argv) {
    const support::ProgramOptions options =
        support::parseProgramOptions(support::programArguments(argc, argv));
    static char noName[] = "Quorvane";
    char* programName = argc > 0 ? argv[0] : noName;
    const bool outputSeen =
        options.action == support::ProgramAction::Run || desktop::attachStartingConsole();
    try {
        switch (options.action) {
        case support::ProgramAction::Help:
            std::cout << support::usageText();
            return 0;
        case support::ProgramAction::Version:
            std::cout << support::versionLine() << std::endl;
            return 0;
        case support::ProgramAction::UnknownOption:
            std::cerr << "Quorvane: unknown option " << options.unknownOption
                      << " (see Quorvane --help)" << std::endl;
            return 2;
        case support::ProgramAction::ForgetCertificates:
            return forgetCertificates(programName, outputSeen);
        case support::ProgramAction::Energy:
            return printEnergy(programName, options.energyArgument, outputSeen);
        case support::ProgramAction::Run:
            return runWindow(programName, options.arguments);
        }
    } catch (const support::RunTimeError& error) {
        std::cerr << "Quorvane: " << support::errorText(error.failure()) << std::endl;
    }
    return 1;
}

} // namespace quorvane::app
