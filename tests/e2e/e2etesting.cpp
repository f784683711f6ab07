#include "e2etesting.h"

#include "app/settings.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvane::testing {

const char* const kStoredSettings =
    "Top=0\nLeft=0\nHeight=3560\nWidth=5265\nIP=127.0.0.1:1\nWrite=1\nOnTop=False\n";

OutputLines lines(const std::string& content) {
    OutputLines result;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        result.push_back(content.substr(start, end - start));
    }
    return result;
}

bool hasReading(const OutputLines& shown) {
    return shown.size() == 4 && shown[0] != "Wrong/No IP address";
}

QProcessEnvironment programEnvironment(const std::filesystem::path& config) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString((config / "data").string()));
    environment.insert("LC_ALL", "en_US.UTF-8");
    environment.insert("TZ", "UTC");
    environment.insert("no_proxy", "*");
    return environment;
}

// ---- ProgramRun

ProgramRun::ProgramRun() : ProgramRun(QStringLiteral(QUORVANE_PROGRAM)) {}

ProgramRun::ProgramRun(QString program) : m_program(std::move(program)) {
    std::filesystem::create_directories(settingsFile().parent_path());
    writeFileBytes(settingsFile(), std::string("[Settings]\n") + kStoredSettings);
    writeFileBytes(m_work.path() / "mytoken.txt",
                   sim::GatewaySimulator::defaultToken().toStdString());
    m_process.setProcessEnvironment(programEnvironment(m_config.path()));
    m_process.setWorkingDirectory(QString::fromStdString(m_work.path().string()));
}

ProgramRun::~ProgramRun() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

void ProgramRun::start(const QStringList& arguments) {
    m_process.start(m_program, arguments);
}

int ProgramRun::run(const QStringList& arguments) {
    start(arguments);
    m_process.waitForFinished(20000);
    return m_process.exitCode();
}

OutputLines ProgramRun::output() const {
    return lines(readFileBytes(m_work.path() / m_outputFile));
}

bool ProgramRun::waitForOutput(const std::function<bool(const OutputLines&)>& ready,
                               int budgetMs) const {
    return QTest::qWaitFor([&] { return ready(output()); }, budgetMs);
}

std::filesystem::path ProgramRun::settingsFile() const {
    return m_config.path() / "Quorvane" / "Quorvane.conf";
}

// ---- GatewayThread

GatewayThread::GatewayThread(const std::function<void(sim::GatewaySimulator&)>& setup) {
    QString error;
    const std::optional<sim::CertificateAndKey> generated =
        sim::generateSelfSignedCertificate(&error);
    EXPECT_TRUE(generated) << error.toStdString();
    if (generated) {
        m_first = *generated;
    }
    const bool listening = m_thread.start(0, [&](sim::GatewaySimulator& simulator) {
        simulator.setCertificate(m_first.certificate, m_first.key);
        setup(simulator);
    });
    EXPECT_TRUE(listening) << m_thread.errorString().toStdString();
}

QString GatewayThread::address() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_thread.port());
}

void GatewayThread::invoke(const std::function<void(sim::GatewaySimulator&)>& action) {
    m_thread.invoke(action);
}

SimulatorCounters GatewayThread::countersAt(const QDateTime& time) {
    SimulatorCounters counters;
    invoke([&](sim::GatewaySimulator& simulator) {
        const std::vector<sim::MeterReading> meters = simulator.model().readingsAt(time);
        counters = {meters[0].totals.actEnergyDlvd, meters[0].totals.actEnergyRcvd,
                    meters[1].totals.actEnergyDlvd, meters[1].totals.actEnergyRcvd};
    });
    return counters;
}

SimulatorEnergy energyBetween(const SimulatorCounters& from, const SimulatorCounters& to) {
    SimulatorEnergy energy;
    energy.produced = to.productionDelivered - from.productionDelivered;
    energy.imported = to.netDelivered - from.netDelivered;
    energy.exported = to.netReceived - from.netReceived;
    energy.consumed = energy.produced - (to.productionReceived - from.productionReceived) +
                      energy.imported - energy.exported;
    return energy;
}

void restartOnSamePort(sim::GatewaySimulator& simulator) {
    const quint16 port = simulator.port();
    simulator.close();
    EXPECT_TRUE(simulator.listen(port)) << simulator.errorString().toStdString();
}

// ---- WindowRun

WindowRun::WindowRun(const QString& gatewayAddress, const std::string& token)
    : m_locale(QLocale(QLocale::English, QLocale::UnitedStates)) {
    m_places.storeSettings(kStoredSettings);
    writeFileBytes(m_places.work() / "mytoken.txt", token);
    m_settings = app::openUserSettings();
    m_window = std::make_unique<app::Quorvanefrm>(app::WindowServices{
        m_gateway.http(), m_gateway.replyBox(), m_clock, m_locale, m_zones, *m_settings,
        "/usr/bin/Quorvane", gatewayAddress.toStdString() + " out.txt",
        [this] { m_gateway.endRequest(); }, [this] { return m_gateway.failureAwaitsOwner(); }});
}

WindowRun::~WindowRun() {
    m_window->close();
    m_window.reset();
}

void WindowRun::startUp() {
    const ModalWatcher watcher([](QWidget& modal) { press(modal, "cmdClose"); });
    m_window->Form_Load();
}

void WindowRun::typeDelay(const QString& milliseconds) {
    auto* delay = m_window->findChild<QLineEdit*>(QStringLiteral("Delay"));
    ASSERT_NE(delay, nullptr);
    // The user comes back to the window after the start-up notices.
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    delay->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([delay] { return delay->hasFocus(); }));
    delay->selectAll();
    QTest::keyClicks(delay, milliseconds);
    QTest::keyClick(delay, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([delay] { return !delay->hasFocus(); }));
}

void WindowRun::click(const char* button) {
    QTest::mouseClick(m_window->findChild<QPushButton*>(QString::fromLatin1(button)),
                      Qt::LeftButton);
}

std::filesystem::path WindowRun::outputFile() const {
    return m_places.work() / "out.txt";
}

OutputLines WindowRun::output() const {
    return lines(readFileBytes(outputFile()));
}

bool WindowRun::waitForOutput(const std::function<bool(const OutputLines&)>& ready,
                              int budgetMs) const {
    return QTest::qWaitFor([&] { return ready(output()); }, budgetMs);
}

} // namespace quorvane::testing
