// The main window's token flow: the token file at start-up, the token dialog, saving the token
// the user types, and the expiry in the TokenString tooltip.
#include "app/frmcustominput.h"
#include "app/quorvanefrm.h"
#include "app/tokenexpiry.h"
#include "gateway/tokenfile.h"
#include "support/failure.h"
#include "support/systemtext.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <filesystem>
#include <iostream>

namespace quorvane::app {

using reading::Box;

namespace {

constexpr qint64 kMsecsPerDay = 24 * 60 * 60 * 1000;
// A token file that cannot be read or written is announced as long as a failed request.
constexpr std::int32_t kTokenFileNoticeTime = 15000;
// How long the notices about an entered or a missing token stay up, in milliseconds.
constexpr std::int32_t kTokenNoticeTime = 5000;

// Characters as the user counts them, not UTF-16 units.
qsizetype characterCount(const QString& text) {
    return text.toUcs4().size();
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

void Quorvanefrm::LoadToken() {
    const std::optional<gateway::TokenRead> read = gateway::readTokenFile(tokenFilePath());
    if (read && read->problem.empty() && !read->token.empty()) {
        BearerToken = read->token;
        setText(Box::TokenString, BearerToken);
        const QString shown = QString::fromStdString(text(Box::TokenString));
        TestTimeoutMsgBox("token with length " + std::to_string(characterCount(shown)) + "\r\n" +
                              BearerToken,
                          kTokenNoticeTime);
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
    const std::optional<QString> entered = m_tokenDialog->ask();
    if (m_closing) {
        return;
    }
    BearerToken = entered ? entered->toStdString() : std::string();
    if (entered) {
        TestTimeoutMsgBox("Entered token with length " + std::to_string(characterCount(*entered)) +
                              "\r\n" + BearerToken,
                          kTokenNoticeTime);
        return;
    }
    TestTimeoutMsgBox("Input was canceled - program will end.", kTokenNoticeTime);
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

void Quorvanefrm::refreshTokenToolTipWhenDue() {
    if (m_tokenToolTipChangeAt.isValid() &&
        localDateTime(m_services.clock.localNow()) >= m_tokenToolTipChangeAt) {
        refreshTokenToolTip();
    }
}

} // namespace quorvane::app
