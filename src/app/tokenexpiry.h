#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QDateTime>
#include <QLocale>
#include <QString>

#include "gateway/httpget.h"

// When the gateway's bearer token runs out. Gateway tokens are JSON Web Tokens that the gateway
// refuses with status 401 once their "exp" claim has passed; the window names that date so the
// user knows a new token is needed.
namespace quorvane::app {

// The moment (UTC) given by the "exp" claim of the token's payload, read without checking the
// signature. The token is trimmed of surrounding white space first. nullopt when it is not three
// dot-separated parts whose header and payload are base64url JSON objects, or when "exp" is
// missing, not a JSON number, or outside 1970 to 9999.
std::optional<QDateTime> tokenExpiry(const QString& token);

// "Token expires on <date> (N days left)" while the token is valid, "(1 day left)" for one day;
// "Token expired on <date>" from its "exp" moment on; empty when tokenExpiry() has no answer.
// N counts whole days left (rounded down, so the last day reads "0 days left"); <date> is the
// locale's short date of the expiry in the time zone of `now`.
QString tokenExpiryToolTip(const QString& token, const QDateTime& now, const QLocale& locale);

// " (token expired on <date>)" when the token has expired at `now`, otherwise empty; the same
// <date> as tokenExpiryToolTip().
QString expiredSuffix(const QString& token, const QDateTime& now, const QLocale& locale);

// ApiGet through another client that adds expiredSuffix() to the failure text of a request the
// gateway refused with status 401 ("Error 401: Unauthorized (token expired on 3/14/25)").
class TokenExpiryNote final : public gateway::HttpGet {
public:
    // `inner` must outlive this object; `now` gives the time the token is judged at.
    TokenExpiryNote(gateway::HttpGet& inner, std::function<QDateTime()> now,
                    QLocale locale = QLocale::system());

    void ApiGet(const std::string& url, const std::string& token, std::string& reply,
                std::string& errorText) override;

private:
    gateway::HttpGet& m_inner;
    std::function<QDateTime()> m_now;
    QLocale m_locale;
};

} // namespace quorvane::app
