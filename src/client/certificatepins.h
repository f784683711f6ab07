#pragma once

#include <memory>
#include <optional>

#include <QDateTime>
#include <QString>

class QSettings;
class QSslCertificate;
class QUrl;

namespace quorvane::client {

// Trust on first use for gateways whose certificate does not verify (real gateways present
// self-signed ones): the SHA-256 fingerprint first seen for a gateway address is kept in the
// settings store, section "Certificates", and only that certificate is accepted afterwards,
// until the owner trusts another one in its place. Beside each pin, in section
// "CertificateDetails" (one group per address: Fingerprint, Subject, ValidFrom, ValidTo), the
// certificate's subject and validity are kept, so that the owner can later be shown what was
// trusted; pins without them (kept by earlier versions) read and work as before.
class CertificatePins {
public:
    // What the owner is shown of a certificate.
    struct Details {
        // Upper-case hex pairs joined by colons.
        QString fingerprint;
        // The subject's attributes as "CN=envoy, O=...", in the certificate's order.
        QString subject;
        // UTC.
        QDateTime validFrom;
        QDateTime validTo;

        bool operator==(const Details&) const = default;
    };

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
    // once) when nothing is pinned yet; refuses any other, and a null certificate. Before
    // refusing, the store is read again: another copy of the program may have trusted it.
    Check check(const QString& gateway, const QSslCertificate& certificate);

    // The fingerprint pinned for `gateway`; empty when none.
    QString pinned(const QString& gateway) const;

    // The details kept of the certificate pinned for `gateway`; nullopt when there is no pin or
    // nothing is kept of that very certificate.
    std::optional<Details> pinnedDetails(const QString& gateway) const;

    // Pins `certificate` for `gateway` in place of what was pinned (the owner trusts it),
    // written at once. A null certificate changes nothing.
    void replace(const QString& gateway, const QSslCertificate& certificate);

    // Reads the store again, with what other programs have written to it since.
    void reload();

    // Drops every pin and returns how many there were (the --forget-certificates option).
    int forgetAll();

    // The address a pin is kept under: the URL's host, with ":port" when the URL names one.
    static QString gatewayKey(const QUrl& url);

    // The certificate's SHA-256 fingerprint as upper-case hex pairs joined by colons.
    static QString fingerprint(const QSslCertificate& certificate);

    static Details detailsOf(const QSslCertificate& certificate);

private:
    // Writes the pin and its details for `gateway` and flushes the store.
    void store(const QString& gateway, const Details& details);

    std::unique_ptr<QSettings> m_store;
};

} // namespace quorvane::client
