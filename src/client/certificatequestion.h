#pragma once

#include "client/certificatepins.h"

#include <QString>
#include <optional>

namespace quorvane::client {

// Asks the owner whether to trust a certificate that a gateway presents in place of the pinned
// one; the window implements it with a modal dialog. trustNew returns when the owner has
// decided: true to trust the presented certificate, false to keep refusing it.
class CertificateQuestion {
public:
    virtual ~CertificateQuestion() = default;

    // `gateway` is the address the pin is kept under; `trusted` is nullopt when nothing but the
    // fingerprint `trustedFingerprint` is kept of the pinned certificate.
    virtual bool trustNew(const QString& gateway, const CertificatePins::Details& presented,
                          const QString& trustedFingerprint,
                          const std::optional<CertificatePins::Details>& trusted) = 0;
};

} // namespace quorvane::client
