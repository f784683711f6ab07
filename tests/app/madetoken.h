#pragma once

// Made-up gateway tokens for the tests: header.payload.signature, each part base64url without
// padding, as gateways issue them.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace quorvane::testing {

inline QString base64Url(const QByteArray& json) {
    return QString::fromLatin1(
        json.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

inline QString makeToken(const QByteArray& payloadJson) {
    return base64Url(R"({"alg":"ES256","typ":"JWT"})") + '.' + base64Url(payloadJson) +
           ".c2lnbmF0dXJl";
}

// A token whose "exp" claim is `moment`, to the second.
inline QString tokenExpiringAt(const QDateTime& moment) {
    return makeToken("{\"exp\":" + QByteArray::number(moment.toSecsSinceEpoch()) + "}");
}

} // namespace quorvane::testing
