#pragma once

#include <memory>

#include <QString>

class QSettings;
class QSslCertificate;
class QUrl;

namespace quorvane::gateway {

// Trust on first use for gateways whose certificate does not verify (real gateways present
// self-signed ones): the SHA-256 fingerprint first seen for a gateway address is kept in the
// settings store, section "Certificates", and only that certificate is accepted afterwards.
class CertificatePins {
public:
    // What check() decided about a certificate.
    enum class Verdict { Pinned, PinnedNow, Refused };

    struct Check {
        Verdict verdict = Verdict::Refused;
        // The fingerprint the gateway presented and the one kept for it (the same unless
        // refused).
        QString presented;
        QString pinned;
    };

    // Pins kept in the per-user store (organisation and application "Quorvane", native format).
    CertificatePins();
    // Pins kept in `store`.
    explicit CertificatePins(std::unique_ptr<QSettings> store);
    ~CertificatePins();
    CertificatePins(const CertificatePins&) = delete;
    CertificatePins& operator=(const CertificatePins&) = delete;

    // Accepts `certificate` for `gateway` when it is the pinned one, or pins it (written at
    // once) when nothing is pinned yet; refuses any other, and a null certificate.
    Check check(const QString& gateway, const QSslCertificate& certificate);

    // The fingerprint pinned for `gateway`; empty when none.
    QString pinned(const QString& gateway) const;

    // Drops every pin and returns how many there were (the --forget-certificates option).
    int forgetAll();

    // The address a pin is kept under: the URL's host, with ":port" when the URL names one.
    static QString gatewayKey(const QUrl& url);

    // The certificate's SHA-256 fingerprint as upper-case hex pairs joined by colons.
    static QString fingerprint(const QSslCertificate& certificate);

private:
    std::unique_ptr<QSettings> m_store;
};

} // namespace quorvane::gateway
