#include "app/program.h"

#include "app/desktop.h"
#include "app/endsignals.h"
#include "app/errorreplybox.h"
#include "app/qtplatform.h"
#include "app/quorvanefrm.h"
#include "app/settings.h"
#include "app/tokenexpiry.h"
#include "gateway/certificatepins.h"
#include "gateway/gatewayclient.h"
#include "support/commandline.h"
#include "support/failure.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QSettings>
#include <QStringList>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstdio>
#include <windows.h>
#endif

namespace quorvane::app {

namespace {

std::vector<std::string> argumentsAfterName(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

int forgetCertificates(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    gateway::CertificatePins pins;
    const int count = pins.forgetAll();
    std::cout << "Forgot " << count << " pinned gateway certificate" << (count == 1 ? "" : "s")
              << "." << std::endl;
    return 0;
}

int runWindow(int argc, char** argv) {
    // argv[0] keeps the name the program was started by; the application's file path would
    // resolve the QuorvaneB link to the program itself.
    const std::string programPath = argc > 0 ? argv[0] : "";
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Quorvane");
    // Where MS Sans Serif is missing (everywhere but Windows), a family as narrow as Arial keeps
    // the texts inside their twip-sized boxes; the usual sans-serif fallback is wider.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});

    // Qt has taken its own options (-platform, -style, ...) off by now.
    std::vector<std::string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i) {
        arguments.push_back(all.at(i).toStdString());
    }
    const std::string argumentLine =
        support::argumentText(support::parseProgramOptions(arguments).arguments);

    GatewayAccess gateway;
    const std::unique_ptr<QSettings> settings = openUserSettings();
    QtClock clock;
    const QtLocaleTexts locale;
    support::SystemZoneSource zones;

    Quorvanefrm window(WindowServices{gateway.http(), clock, locale, zones, *settings, programPath,
                                      argumentLine, [&gateway] { gateway.endRequest(); }});

    const EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::endRequested, &window, &QWidget::close);
    desktop::closeWhenSessionEnds(window);
    // The session's end quits the application (on Windows straight from WM_ENDSESSION); the
    // window closes first, as by its close box, so the settings are saved.
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
    gateway::CertificatePins pins;
    gateway::GatewayClient client{pins, replyBox};
    TokenExpiryNote note{client, [] { return QDateTime::currentDateTime(); }, QLocale()};
};

GatewayAccess::GatewayAccess() : m_parts(std::make_unique<Parts>()) {}

GatewayAccess::~GatewayAccess() = default;

gateway::HttpGet& GatewayAccess::http() {
    return m_parts->note;
}

void GatewayAccess::endRequest() {
    m_parts->client.abort();
    m_parts->replyBox.shutDown();
}

int runProgram(int argc, char** argv) {
    const support::ProgramOptions options =
        support::parseProgramOptions(argumentsAfterName(argc, argv));
#ifdef _WIN32
    // A windowed program has no console of its own; its texts go to the one it was started from.
    if (options.action != support::ProgramAction::Run && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
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
            return forgetCertificates(argc, argv);
        case support::ProgramAction::Run:
            return runWindow(argc, argv);
        }
    } catch (const support::RunTimeError& error) {
        std::cerr << "Quorvane: " << support::errorText(error.failure()) << std::endl;
    }
    return 1;
}

} // namespace quorvane::app
