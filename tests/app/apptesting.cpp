#include "apptesting.h"

#include "app/settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <cstdlib>

namespace quorvane::testing {

AppPlaces::AppPlaces() : m_previous(std::filesystem::current_path()) {
    ::setenv("XDG_CONFIG_HOME", m_config.path().c_str(), 1);
    // QSettings reads XDG_CONFIG_HOME once per process; this keeps every test of a run apart.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(m_config.path().string()));
    // The energy history and other local data: read again at each use.
    const char* data = std::getenv("XDG_DATA_HOME");
    m_previousData = data != nullptr ? std::optional<std::string>(data) : std::nullopt;
    ::setenv("XDG_DATA_HOME", dataFolder().c_str(), 1);
    std::filesystem::current_path(m_work.path());
}

AppPlaces::~AppPlaces() {
    std::filesystem::current_path(m_previous);
    if (m_previousData) {
        ::setenv("XDG_DATA_HOME", m_previousData->c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

std::filesystem::path AppPlaces::settingsFile() const {
    return m_config.path() / "Quorvane" / "Quorvane.conf";
}

void AppPlaces::storeSettings(const std::string& lines) const {
    std::filesystem::create_directories(settingsFile().parent_path());
    writeFileBytes(settingsFile(), "[Settings]\n" + lines);
}

ModalWatcher::ModalWatcher(Handler handler) : m_handler(std::move(handler)) {
    qApp->installEventFilter(this);
}

ModalWatcher::~ModalWatcher() {
    qApp->removeEventFilter(this);
}

bool ModalWatcher::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && widget != nullptr && widget->isWindow() &&
        widget->isModal()) {
        // Queued, so that it runs inside the window's modal loop.
        QTimer::singleShot(0, this, [this, modal = QPointer<QWidget>(widget)] {
            if (modal && modal->isVisible()) {
                ++m_seen;
                m_handler(*modal);
            }
        });
    }
    return false;
}

WindowRig::WindowRig(std::string programPath, std::string arguments)
    : settings(app::openUserSettings()) {
    window = std::make_unique<app::Quorvanefrm>(
        app::WindowServices{http, replyBox, clock, locale, zones, *settings, std::move(programPath),
                            std::move(arguments), [this] { ++endRequests; }, {}});
}

void startUp(WindowRig& rig) {
    const ModalWatcher watcher([](QWidget& modal) { press(modal, "cmdClose"); });
    rig.window->Form_Load();
}

void press(QWidget& dialog, const char* button) {
    if (auto* target = dialog.findChild<QAbstractButton*>(QString::fromLatin1(button))) {
        target->click();
    }
}

std::string noticeText(QWidget& modal) {
    auto* box = modal.findChild<QPlainTextEdit*>(QStringLiteral("txtMessage"));
    return box != nullptr ? box->toPlainText().toStdString() : std::string();
}

std::string unreadableNotice(const QWidget& notice) {
    const auto* box = notice.findChild<QPlainTextEdit*>(QStringLiteral("txtMessage"));
    const auto* ok = notice.findChild<QAbstractButton*>(QStringLiteral("cmdClose"));
    if (box == nullptr || ok == nullptr) {
        return "no notice";
    }
    std::string problems;
    const QRect button = ok->geometry();
    const QWidget* viewport = box->viewport();
    if (QRect(viewport->mapTo(&notice, QPoint(0, 0)), viewport->size()).intersects(button)) {
        problems += "text under OK; ";
    }
    const QScrollBar* bar = box->verticalScrollBar();
    if (bar->maximum() > 0 && !bar->isVisible()) {
        problems += "text beyond the box without a scroll bar; ";
    }
    if (bar->isVisible() &&
        QRect(bar->mapTo(&notice, QPoint(0, 0)), bar->size()).intersects(button)) {
        problems += "scroll bar under OK; ";
    }
    const qreal lineWidth = viewport->width() - 2 * box->document()->documentMargin();
    const QFontMetricsF metrics(box->font());
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        for (int i = 1; i < layout->lineCount(); ++i) {
            const int cut = layout->lineAt(i).textStart();
            if (cut <= 0 || cut >= text.size() || text.at(cut - 1).isSpace() ||
                text.at(cut).isSpace()) {
                continue;
            }
            qsizetype start = cut;
            while (start > 0 && !text.at(start - 1).isSpace()) {
                --start;
            }
            qsizetype end = cut;
            while (end < text.size() && !text.at(end).isSpace()) {
                ++end;
            }
            const QString word = text.mid(start, end - start);
            // After a hyphen or colon a word may go on in the next line, as in print; a
            // command-line option never, it is to be typed as shown.
            const bool option = word.startsWith(u'-');
            if ((option || text.at(cut - 1).isLetterOrNumber()) &&
                metrics.horizontalAdvance(word) <= lineWidth) {
                problems += "\"" + word.toStdString() + "\" broken; ";
            }
        }
    }
    return problems;
}

} // namespace quorvane::testing
