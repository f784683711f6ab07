#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <optional>

namespace quorvane::sim {

// A certificate with its private key.
struct CertificateAndKey {
    QSslCertificate certificate;
    QSslKey key;
};

// A fresh self-signed certificate for 127.0.0.1 (CN and IP subject alternative name) with a new
// EC P-256 key, valid from one day ago for one year. nullopt, with `error` set, when OpenSSL
// fails.
std::optional<CertificateAndKey> generateSelfSignedCertificate(QString* error = nullptr);

// The first certificate of a PEM file and the private key (EC or RSA) of another.
std::optional<CertificateAndKey> loadCertificate(const QString& certificatePath,
                                                 const QString& keyPath, QString* error = nullptr);

} // namespace quorvane::sim
