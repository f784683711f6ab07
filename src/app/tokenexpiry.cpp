#include "app/tokenexpiry.h"

#include <cmath>
#include <utility>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>
#include <QTimeZone>

namespace quorvane::app {

namespace {

// 9999-12-31 23:59:59 UTC in seconds since 1970.
constexpr double kLatestExpiry = 253402300799.0;
constexpr qint64 kMsecsPerDay = 24 * 60 * 60 * 1000;

// One part of a token decoded from base64url and read as a JSON object.
std::optional<QJsonObject> jsonPart(const QString& part) {
    // Characters beyond Latin-1 become '?', which base64url refuses like any other stray byte.
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        part.toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals |
                             QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(decoded.decoded, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

// The short date of `expiry` as a clock in the zone of `now` shows it.
QString expiryDate(const QDateTime& expiry, const QDateTime& now, const QLocale& locale) {
    return locale.toString(expiry.toTimeZone(now.timeZone()).date(), QLocale::ShortFormat);
}

bool isUnauthorized(const std::string& errorText) {
    return errorText.rfind("Error 401:", 0) == 0;
}

} // namespace

std::optional<QDateTime> tokenExpiry(const QString& token) {
    const QStringList parts = token.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 3 || !jsonPart(parts[0])) {
        return std::nullopt;
    }
    const std::optional<QJsonObject> payload = jsonPart(parts[1]);
    if (!payload) {
        return std::nullopt;
    }
    const QJsonValue exp = payload->value(QStringLiteral("exp"));
    if (!exp.isDouble()) {
        return std::nullopt;
    }
    const double seconds = exp.toDouble();
    if (!(seconds >= 0.0 && seconds <= kLatestExpiry)) {
        return std::nullopt;
    }
    // The claim may carry a fraction of a second; the token is void from that moment on.
    const auto msecs = static_cast<qint64>(std::floor(seconds * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(msecs).toUTC();
}

QString tokenExpiryToolTip(const QString& token, const QDateTime& now, const QLocale& locale) {
    const std::optional<QDateTime> expiry = tokenExpiry(token);
    if (!expiry) {
        return {};
    }
    const QString date = expiryDate(*expiry, now, locale);
    const qint64 left = now.msecsTo(*expiry);
    if (left <= 0) {
        return QStringLiteral("Token expired on ") + date;
    }
    const qint64 days = left / kMsecsPerDay;
    return QStringLiteral("Token expires on %1 (%2 %3 left)")
        .arg(date, QString::number(days),
             days == 1 ? QStringLiteral("day") : QStringLiteral("days"));
}

QString expiredSuffix(const QString& token, const QDateTime& now, const QLocale& locale) {
    const std::optional<QDateTime> expiry = tokenExpiry(token);
    if (!expiry || now.msecsTo(*expiry) > 0) {
        return {};
    }
    return QStringLiteral(" (token expired on ") + expiryDate(*expiry, now, locale) +
           QLatin1Char(')');
}

TokenExpiryNote::TokenExpiryNote(gateway::HttpGet& inner, std::function<QDateTime()> now,
                                 QLocale locale)
    : m_inner(inner), m_now(std::move(now)), m_locale(std::move(locale)) {}

void TokenExpiryNote::ApiGet(const std::string& url, const std::string& token, std::string& reply,
                             std::string& errorText) {
    // A fresh text, so that a success leaves the caller's text as it was, noted or not.
    std::string failure;
    m_inner.ApiGet(url, token, reply, failure);
    if (failure.empty()) {
        return;
    }
    if (isUnauthorized(failure)) {
        failure += expiredSuffix(QString::fromStdString(token), m_now(), m_locale).toStdString();
    }
    errorText = std::move(failure);
}

} // namespace quorvane::app
