#pragma once

#include "client/certificatequestion.h"

#include <QPointer>

class QMessageBox;

namespace quorvane::app {

// The dialog "New gateway certificate": the gateway's address, why a gateway presents another
// certificate, both certificates' fingerprints and what is kept of them (subject, validity), and
// the buttons "Trust the new certificate" (Alt+T) and "Keep refusing". Keep refusing is the
// default: Enter, Esc and the close box all mean it.
class CertificateDialog final : public client::CertificateQuestion {
public:
    CertificateDialog() = default;
    ~CertificateDialog() override;
    CertificateDialog(const CertificateDialog&) = delete;
    CertificateDialog& operator=(const CertificateDialog&) = delete;

    // Returns when the owner has decided; false at once after shutDown().
    bool trustNew(const QString& gateway, const client::CertificatePins::Details& presented,
                  const QString& trustedFingerprint,
                  const std::optional<client::CertificatePins::Details>& trusted) override;

    // Closes a dialog that is shown as "Keep refusing" and shows none from now on (the program
    // is ending).
    void shutDown();

    // The dialog now shown, if any.
    QMessageBox* shown() const;

    // The dialog's text.
    static QString text(const QString& gateway, const client::CertificatePins::Details& presented,
                        const QString& trustedFingerprint,
                        const std::optional<client::CertificatePins::Details>& trusted);

private:
    QPointer<QMessageBox> m_box;
    bool m_shutDown = false;
};

} // namespace quorvane::app
