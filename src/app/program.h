#pragma once

#include <memory>

namespace quorvane::gateway {
class HttpGet;
class ReplyMessageBox;
} // namespace quorvane::gateway

namespace quorvane::app {

// The whole program: the "--" options, then the main window's start-up and event loop.
// Returns the exit code: 0 normally, 2 for an unknown option.
int runProgram(int argc, char** argv);

// The gateway as the main window reaches it: the HTTPS client with the certificate pins of the
// per-user store, the message box for a reply that contains "error", the dialog that asks about
// a changed gateway certificate, and the note that names an expired token's date when the
// gateway refuses the token. Needs the application object.
class GatewayAccess {
public:
    GatewayAccess();
    ~GatewayAccess();
    GatewayAccess(const GatewayAccess&) = delete;
    GatewayAccess& operator=(const GatewayAccess&) = delete;

    gateway::HttpGet& http();
    gateway::ReplyMessageBox& replyBox();
    // Whether the request that has just failed failed only because the owner has yet to answer
    // the question about the gateway's new certificate; says so once per such failure.
    bool failureAwaitsOwner();
    // Ends a request that is under way and closes its message box or certificate dialog as
    // "Keep refusing" (the window is closing).
    void endRequest();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace quorvane::app
