// The gate between the launched page and the server: a one-time start token
// that is traded, once, for a session cookie.
//
// The start token travels only in the private start file; the session secret
// only in the cookie that the trade sets. Both come from the system's random
// source and are compared in constant time.
#pragma once

#include "platform/result.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace lockora::engine::web {

class SessionGate {
public:
    // Fails with the random source's error.
    static platform::Result<SessionGate> Create(std::uint16_t port);

    SessionGate(SessionGate&& other) noexcept;
    SessionGate& operator=(SessionGate&&) = delete;

    // The token of the one-time start address.
    const std::string& StartToken() const { return startToken_; }
    // True for the right token, and only the first time it is presented.
    // A wrong token is refused without spending the right one.
    bool TradeStartToken(std::string_view token);

    // The Set-Cookie value that the trade answers with: HttpOnly, SameSite=Strict.
    std::string SetCookieValue() const;
    // Whether a Cookie header carries this run's session cookie.
    bool IsAuthorised(std::string_view cookieHeader) const;

private:
    SessionGate(std::uint16_t port, std::string startToken, std::string sessionSecret);

    // The name carries the port: cookies are not isolated by port, so two
    // runs must not overwrite each other's cookie.
    std::string cookieName_;
    std::string startToken_;
    std::string sessionSecret_;
    std::atomic<bool> traded_{false};
};

} // namespace lockora::engine::web
