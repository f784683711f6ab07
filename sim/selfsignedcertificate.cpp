#include "sim/selfsignedcertificate.h"

#include <QFile>
#include <memory>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace quorvane::sim {
namespace {

constexpr long kDay = 24L * 60 * 60;

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* pointer) const { Free(pointer); }
};

using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

QString openSslError(const char* step) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return QStringLiteral("%1: %2").arg(QLatin1String(step), QLatin1String(text));
}

bool addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const ExtensionPtr extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, const_cast<char*>(value)));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

QByteArray bioContents(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, static_cast<qsizetype>(size));
}

std::optional<CertificateAndKey> fail(QString* error, QString text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
    return std::nullopt;
}

} // namespace

std::optional<CertificateAndKey> generateSelfSignedCertificate(QString* error) {
    const KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) {
        return fail(error, openSslError("key generation"));
    }
    const X509Ptr certificate(X509_new());
    const BignumPtr serial(BN_new());
    if (!certificate || !serial || X509_set_version(certificate.get(), X509_VERSION_3) != 1 ||
        BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) == nullptr) {
        return fail(error, openSslError("certificate"));
    }
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -kDay);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 364 * kDay);

    X509_NAME* name = X509_get_subject_name(certificate.get());
    const auto text = [](const char* s) { return reinterpret_cast<const unsigned char*>(s); };
    if (X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, text("Quorvane gateway simulator"), -1,
                                   -1, 0) != 1 ||
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, text("127.0.0.1"), -1, -1, 0) != 1 ||
        X509_set_issuer_name(certificate.get(), name) != 1 ||
        X509_set_pubkey(certificate.get(), key.get()) != 1) {
        return fail(error, openSslError("certificate name"));
    }
    if (!addExtension(certificate.get(), NID_subject_alt_name, "IP:127.0.0.1") ||
        !addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE") ||
        !addExtension(certificate.get(), NID_key_usage, "critical,digitalSignature") ||
        !addExtension(certificate.get(), NID_ext_key_usage, "serverAuth") ||
        !addExtension(certificate.get(), NID_subject_key_identifier, "hash")) {
        return fail(error, openSslError("certificate extensions"));
    }
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
        return fail(error, openSslError("signing"));
    }

    const BioPtr certificatePem(BIO_new(BIO_s_mem()));
    const BioPtr keyPem(BIO_new(BIO_s_mem()));
    if (!certificatePem || !keyPem ||
        PEM_write_bio_X509(certificatePem.get(), certificate.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyPem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1) {
        return fail(error, openSslError("PEM encoding"));
    }
    CertificateAndKey result{QSslCertificate(bioContents(certificatePem.get()), QSsl::Pem),
                             QSslKey(bioContents(keyPem.get()), QSsl::Ec, QSsl::Pem)};
    if (result.certificate.isNull() || result.key.isNull()) {
        return fail(error, QStringLiteral("the TLS backend cannot read the new certificate"));
    }
    return result;
}

std::optional<CertificateAndKey> loadCertificate(const QString& certificatePath,
                                                 const QString& keyPath, QString* error) {
    QFile certificateFile(certificatePath);
    QFile keyFile(keyPath);
    if (!certificateFile.open(QIODevice::ReadOnly)) {
        return fail(error, certificatePath + QStringLiteral(": ") + certificateFile.errorString());
    }
    if (!keyFile.open(QIODevice::ReadOnly)) {
        return fail(error, keyPath + QStringLiteral(": ") + keyFile.errorString());
    }
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromData(certificateFile.readAll(), QSsl::Pem);
    if (certificates.isEmpty() || certificates.first().isNull()) {
        return fail(error, certificatePath + QStringLiteral(": no PEM certificate"));
    }
    const QByteArray keyBytes = keyFile.readAll();
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa}) {
        QSslKey key(keyBytes, algorithm, QSsl::Pem);
        if (!key.isNull()) {
            return CertificateAndKey{certificates.first(), key};
        }
    }
    return fail(error, keyPath + QStringLiteral(": no unencrypted PEM EC or RSA private key"));
}

} // namespace quorvane::sim
