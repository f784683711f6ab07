#include "app/program.h"

#include "app/certificatedialog.h"
#include "app/desktop.h"
#include "app/endsignals.h"
#include "app/errorreplybox.h"
#include "app/formlayout.h"
#include "app/qtplatform.h"
#include "app/quorvanefrm.h"
#include "app/settings.h"
#include "app/tokenexpiry.h"
#include "client/certificatepins.h"
#include "client/gatewayclient.h"
#include "support/commandline.h"
#include "support/failure.h"

#include <QApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <iostream>
#include <memory>
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
    gateway::CertificatePins pins;
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

// `arguments`: the program's arguments after its options.
int runWindow(char* programName, const std::vector<std::string>& arguments) {
    // argv[0] keeps the name the program was started by; the application's file path would
    // resolve the QuorvaneB link to the program itself.
    const std::string programPath = programName;
    QtArguments qtArguments(programName);
    QApplication application(qtArguments.argc, qtArguments.argv);
    QCoreApplication::setApplicationName("Quorvane");

    const std::string argumentLine = support::argumentText(arguments);

    GatewayAccess gateway;
    const std::unique_ptr<QSettings> settings = openUserSettings();
    QtClock clock;
    QtLocaleTexts locale;
    support::SystemZoneSource zones;

    Quorvanefrm window(WindowServices{gateway.http(), gateway.replyBox(), clock, locale, zones,
                                      *settings, programPath, argumentLine,
                                      [&gateway] { gateway.endRequest(); },
                                      [&gateway] { return gateway.failureAwaitsOwner(); }});
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
    gateway::CertificatePins pins;
    gateway::GatewayClient client{pins, &certificateDialog};
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
        case support::ProgramAction::Run:
            return runWindow(programName, options.arguments);
        }
    } catch (const support::RunTimeError& error) {
        std::cerr << "Quorvane: " << support::errorText(error.failure()) << std::endl;
    }
    return 1;
}

} // namespace quorvane::app
