#pragma once

#include <string>

namespace quorvane::gateway {

// The gateway's HTTP GET as the reading cycle uses it.
class HttpGet {
public:
    virtual ~HttpGet() = default;

    // GETs `url` with "Authorization: Bearer <token>" (left out for an empty token) and
    // "Accept: application/json". On success `reply` holds the body and `errorText` is left as
    // it was; on failure `reply` is empty and `errorText` is "Error <code>: <description>".
    // Returns when the reply or the failure is in.
    virtual void ApiGet(const std::string& url, const std::string& token, std::string& reply,
                        std::string& errorText) = 0;
};

} // namespace quorvane::gateway
