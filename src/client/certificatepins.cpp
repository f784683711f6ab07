#include "client/certificatepins.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QSslCertificate>
#include <QStringList>
#include <QUrl>

namespace quorvane::client {

namespace {

constexpr auto kSection = "Certificates";
constexpr auto kDetailsSection = "CertificateDetails";

QString keyOf(const QString& gateway) {
    return QString::fromLatin1(kSection) + '/' + gateway;
}

QString detailKey(const QString& gateway, const char* name) {
    return QString::fromLatin1(kDetailsSection) + '/' + gateway + '/' + QLatin1String(name);
}

// Every value is kept as text: ISO 8601 in UTC for the dates.
QString dateText(const QDateTime& moment) {
    return moment.toUTC().toString(Qt::ISODate);
}

} // namespace

CertificatePins::CertificatePins()
    : CertificatePins(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                  QStringLiteral("Quorvane"),
                                                  QStringLiteral("Quorvane"))) {}

CertificatePins::CertificatePins(std::unique_ptr<QSettings> store) : m_store(std::move(store)) {}

CertificatePins::~CertificatePins() = default;

CertificatePins::Check CertificatePins::check(const QString& gateway,
                                              const QSslCertificate& certificate) {
    Check result;
    result.pinned = pinned(gateway);
    if (certificate.isNull()) {
        return result;
    }
    result.presented = fingerprint(certificate);
    if (!result.pinned.isEmpty() &&
        result.pinned.compare(result.presented, Qt::CaseInsensitive) != 0) {
        reload();
        result.pinned = pinned(gateway);
    }
    if (result.pinned.isEmpty()) {
        store(gateway, detailsOf(certificate));
        result.pinned = result.presented;
        result.verdict = Verdict::PinnedNow;
    } else if (result.pinned.compare(result.presented, Qt::CaseInsensitive) == 0) {
        result.verdict = Verdict::Pinned;
        // A pin kept by an earlier version gets its details once its certificate is seen.
        if (!pinnedDetails(gateway)) {
            store(gateway, detailsOf(certificate));
        }
    } else {
        result.verdict = Verdict::Refused;
    }
    return result;
}

QString CertificatePins::pinned(const QString& gateway) const {
    return m_store->value(keyOf(gateway)).toString();
}

std::optional<CertificatePins::Details>
CertificatePins::pinnedDetails(const QString& gateway) const {
    const QString pin = pinned(gateway);
    const QString kept = m_store->value(detailKey(gateway, "Fingerprint")).toString();
    if (pin.isEmpty() || kept.compare(pin, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return Details{pin, m_store->value(detailKey(gateway, "Subject")).toString(),
                   QDateTime::fromString(m_store->value(detailKey(gateway, "ValidFrom")).toString(),
                                         Qt::ISODate),
                   QDateTime::fromString(m_store->value(detailKey(gateway, "ValidTo")).toString(),
                                         Qt::ISODate)};
}

void CertificatePins::replace(const QString& gateway, const QSslCertificate& certificate) {
    if (!certificate.isNull()) {
        store(gateway, detailsOf(certificate));
    }
}

void CertificatePins::store(const QString& gateway, const Details& details) {
    m_store->setValue(keyOf(gateway), details.fingerprint);
    m_store->setValue(detailKey(gateway, "Fingerprint"), details.fingerprint);
    m_store->setValue(detailKey(gateway, "Subject"), details.subject);
    m_store->setValue(detailKey(gateway, "ValidFrom"), dateText(details.validFrom));
    m_store->setValue(detailKey(gateway, "ValidTo"), dateText(details.validTo));
    // Written at once: a crash before the window closes must not forget the pin.
    m_store->sync();
}

void CertificatePins::reload() {
    m_store->sync();
}

int CertificatePins::forgetAll() {
    m_store->beginGroup(QString::fromLatin1(kSection));
    const auto count = static_cast<int>(m_store->allKeys().size());
    m_store->remove(QString());
    m_store->endGroup();
    m_store->remove(QString::fromLatin1(kDetailsSection));
    m_store->sync();
    return count;
}

QString CertificatePins::gatewayKey(const QUrl& url) {
    QString host = url.host();
    if (host.contains(':')) {
        host = '[' + host + ']';
    }
    if (url.port() != -1) {
        host += ':' + QString::number(url.port());
    }
    return host;
}

QString CertificatePins::fingerprint(const QSslCertificate& certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

CertificatePins::Details CertificatePins::detailsOf(const QSslCertificate& certificate) {
    QStringList parts;
    for (const QByteArray& attribute : certificate.subjectInfoAttributes()) {
        for (const QString& value : certificate.subjectInfo(attribute)) {
            parts.append(QString::fromLatin1(attribute) + '=' + value);
        }
    }
    return Details{fingerprint(certificate), parts.join(QStringLiteral(", ")),
                   certificate.effectiveDate().toUTC(), certificate.expiryDate().toUTC()};
}

} // namespace quorvane::client
