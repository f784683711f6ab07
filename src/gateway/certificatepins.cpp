#include "gateway/certificatepins.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QSslCertificate>
#include <QUrl>

namespace quorvane::gateway {

namespace {

constexpr auto kSection = "Certificates";

QString keyOf(const QString& gateway) {
    return QString::fromLatin1(kSection) + '/' + gateway;
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
    if (result.pinned.isEmpty()) {
        m_store->setValue(keyOf(gateway), result.presented);
        // Written at once: a crash before the window closes must not forget the pin.
        m_store->sync();
        result.pinned = result.presented;
        result.verdict = Verdict::PinnedNow;
    } else if (result.pinned.compare(result.presented, Qt::CaseInsensitive) == 0) {
        result.verdict = Verdict::Pinned;
    } else {
        result.verdict = Verdict::Refused;
    }
    return result;
}

QString CertificatePins::pinned(const QString& gateway) const {
    return m_store->value(keyOf(gateway)).toString();
}

int CertificatePins::forgetAll() {
    m_store->beginGroup(QString::fromLatin1(kSection));
    const auto count = static_cast<int>(m_store->allKeys().size());
    m_store->remove(QString());
    m_store->endGroup();
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

} // namespace quorvane::gateway
