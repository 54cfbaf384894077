#include "engine/web/session_gate.h"

#include "engine/web/secret.h"

#include <utility>

namespace lockora::engine::web {
namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

platform::Result<SessionGate> SessionGate::Create(std::uint16_t port)
{
    auto startToken = GenerateSecret();
    PLATFORM_TRY(startToken);
    auto sessionSecret = GenerateSecret();
    PLATFORM_TRY(sessionSecret);
    return SessionGate(port, std::move(startToken).value(), std::move(sessionSecret).value());
}

SessionGate::SessionGate(std::uint16_t port, std::string startToken, std::string sessionSecret)
    : cookieName_("lockora-" + std::to_string(port)), startToken_(std::move(startToken)),
      sessionSecret_(std::move(sessionSecret))
{
}

SessionGate::SessionGate(SessionGate&& other) noexcept
    : cookieName_(std::move(other.cookieName_)), startToken_(std::move(other.startToken_)),
      sessionSecret_(std::move(other.sessionSecret_)), traded_(other.traded_.load())
{
}

bool SessionGate::TradeStartToken(std::string_view token)
{
    if (!SecretEquals(token, startToken_))
        return false;
    return !traded_.exchange(true);
}

std::string SessionGate::SetCookieValue() const
{
    return cookieName_ + "=" + sessionSecret_ + "; Path=/; HttpOnly; SameSite=Strict";
}

bool SessionGate::IsAuthorised(std::string_view cookieHeader) const
{
    bool found = false;
    while (!cookieHeader.empty()) {
        const auto end = cookieHeader.find(';');
        const std::string_view pair = Trim(cookieHeader.substr(0, end));
        cookieHeader = end == std::string_view::npos ? std::string_view{} : cookieHeader.substr(end + 1);
        const auto equals = pair.find('=');
        if (equals == std::string_view::npos || Trim(pair.substr(0, equals)) != cookieName_)
            continue;
        // Every cookie of that name is checked, so one planted by another
        // local page cannot hide ours, and none is accepted by accident.
        found = SecretEquals(Trim(pair.substr(equals + 1)), sessionSecret_) || found;
    }
    return found;
}

} // namespace lockora::engine::web
