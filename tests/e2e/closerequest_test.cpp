// The built program on a real X server (Xvfb) asked to close by the window system while one of
// its modal windows is up: the WM_DELETE_WINDOW message that a window manager sends for the
// close box, Alt+F4 and the window menu's Close, sent to the main window as a window manager
// sends it. The program ends within two seconds, as a close ends it at any other time.

#include "e2etesting.h"

#include <QByteArray>
#include <QSettings>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace quorvane::testing {
namespace {

constexpr int kStartUpBudgetMs = 40000;
constexpr int kEndBudgetMs = 2000;

// A connection to the X server of $DISPLAY, for finding windows by title and sending them what
// a window manager sends.
class XServer {
public:
    XServer() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~XServer() { xcb_disconnect(m_connection); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool connected() const { return xcb_connection_has_error(m_connection) == 0; }

    // A shown top-level window titled `title`, or whose title starts with it.
    std::optional<xcb_window_t> shownWindow(const QByteArray& title, bool prefix = false) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, root), nullptr),
            &std::free);
        if (!tree) {
            return std::nullopt;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const QByteArray shownTitle = shown(children[i]) ? titleOf(children[i]) : QByteArray();
            if (shownTitle == title || (prefix && shownTitle.startsWith(title))) {
                return children[i];
            }
        }
        return std::nullopt;
    }

    // WM_PROTOCOLS with WM_DELETE_WINDOW, as a window manager sends it for the close box.
    void askToClose(xcb_window_t window) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_connection);
    }

private:
    xcb_atom_t atom(const char* name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_connection,
                                  xcb_intern_atom(m_connection, 0,
                                                  static_cast<std::uint16_t>(std::strlen(name)),
                                                  name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    bool shown(xcb_window_t window) {
        const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
            xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, window), nullptr),
            &std::free);
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    QByteArray titleOf(xcb_window_t window) {
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, window, atom("_NET_WM_NAME"),
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                                   nullptr),
            &std::free);
        if (!reply) {
            return {};
        }
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    xcb_connection_t* m_connection;
};

struct CloseRow {
    std::string name;
    // What the gateway answers, on its thread, before the program starts.
    std::function<void(sim::GatewaySimulator&)> gateway;
    // The title of the modal window that is up when the close request comes.
    QByteArray modalTitle;
    // Whether another certificate than the gateway's is pinned for it, so that the owner is asked.
    bool otherPin = false;
};

void PrintTo(const CloseRow& row, std::ostream* out) {
    *out << row.name;
}

class CloseRequest : public ::testing::TestWithParam<CloseRow> {};

TEST_P(CloseRequest, UnderAModalWindowEndsTheProgramAndSavesItsSettings) {
    const CloseRow& row = GetParam();
    XServer x;
    ASSERT_TRUE(x.connected()) << "no X server at DISPLAY";
    GatewayThread gateway(row.gateway);
    ProgramRun run;
    if (row.otherPin) {
        QSettings(QString::fromStdString(run.settingsFile().string()), QSettings::IniFormat)
            .setValue("Certificates/" + gateway.address(),
                      QStringLiteral("00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF"));
    }
    QProcessEnvironment environment = run.process().processEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    run.process().setProcessEnvironment(environment);
    run.start({gateway.address(), QStringLiteral("out.txt")});

    // The start-up notices come before polling: the modal window is the one polling opened
    // (the certificate question comes only from polling).
    int requests = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            gateway.invoke([&](sim::GatewaySimulator& s) { requests = s.requestsReceived(); });
            return (requests > 0 || row.otherPin) && x.shownWindow(row.modalTitle).has_value();
        },
        kStartUpBudgetMs))
        << run.process().readAllStandardError().toStdString();
    const std::optional<xcb_window_t> main = x.shownWindow("QuorvaneT V", true);
    ASSERT_TRUE(main.has_value());

    x.askToClose(*main);
    ASSERT_TRUE(run.process().waitForFinished(kEndBudgetMs)) << "still running after the close";
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);

    // Saved: the command line's address in place of the stored one.
    QSettings stored(QString::fromStdString(run.settingsFile().string()), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/IP").toString(), gateway.address());
    EXPECT_EQ(stored.value("Settings/OutFile").toString(), "out.txt");
    if (row.otherPin) {
        // Closed as "Keep refusing": the pin stays.
        EXPECT_EQ(stored.value("Certificates/" + gateway.address()).toString(),
                  "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF");
        EXPECT_TRUE(run.process().readAllStandardError().contains("kept refusing"));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Modal, CloseRequest, ::testing::Values(
    CloseRow{"FailureNotice",
             [](sim::GatewaySimulator& s) { s.setFixedReply(500, {}); },
             "Message (auto closes)"},
    CloseRow{"ErrorReplyBox",
             [](sim::GatewaySimulator& s) {
                 s.setFixedReply(200, QByteArrayLiteral(R"({"error":"busy"})"));
             },
             "Quorvane"},
    CloseRow{"CertificateQuestion",
             [](sim::GatewaySimulator& s) {
                 s.setFixedReply(200, QByteArray::fromStdString(
                                          testData("readings-fw7.6.175-production-and-net.json")));
             },
             "New gateway certificate", true}),
    [](const ::testing::TestParamInfo<CloseRow>& row) { return row.param.name; });
// clang-format on

} // namespace
} // namespace quorvane::testing
