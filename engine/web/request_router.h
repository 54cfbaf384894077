// The server's rules for every HTTP request, apart from the network code.
//
// Plain HTTP serves only GETs: the start trade, the runtime script and
// archive items, all but the trade behind the session cookie. Every action
// travels over the WebSocket, whose upgrade also needs an Origin equal to this
// server's own. Every request must name this server exactly in its Host
// header, so a page of a name that resolves to 127.0.0.1 (DNS rebinding)
// never reaches it.
#pragma once

#include "engine/web/session_gate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lockora::engine::web {

// Address of the WebSocket.
inline constexpr std::string_view kSocketPath = "/engine/socket";

// What the router needs from the engine.
class PageSource {
public:
    virtual ~PageSource() = default;
    // The bytes behind an address such as "this://app/index.html", or nothing.
    virtual std::optional<std::string> ReadItem(const std::u16string& uri) = 0;
    // Server path of the page the window shows ("/app/index.html").
    virtual std::string CurrentPagePath() = 0;
    // The engine's runtime script.
    virtual std::string_view RuntimeScript() = 0;
};

struct HttpRequest {
    std::string method;
    std::string target;
    std::string host;
    std::optional<std::string> origin;
    std::string cookie;
    bool upgrade = false; // a WebSocket upgrade
};

struct HttpResponse {
    unsigned status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

struct RouteDecision {
    bool acceptSocket = false; // upgrade to the WebSocket; `response` unused
    bool authorised = false;   // the request passed the session gate
    HttpResponse response;
};


class RequestRouter {
public:
    RequestRouter(SessionGate& gate, PageSource& source, std::uint16_t port);

    RouteDecision Route(const HttpRequest& request) const;

    // The one-time address that the start file forwards to.
    std::string StartAddress() const;
    // "http://127.0.0.1:<port>".
    const std::string& Origin() const { return origin_; }

private:
    HttpResponse Respond(unsigned status, std::string contentType, std::string body) const;
    HttpResponse StartPage() const;
    HttpResponse Item(std::string_view path) const;

    SessionGate& gate_;
    PageSource& source_;
    std::string host_;   // "127.0.0.1:<port>"
    std::string origin_; // "http://127.0.0.1:<port>"
    std::string contentSecurityPolicy_;
};

// "%41" to "A"; nothing for a malformed escape or an encoded NUL.
std::optional<std::string> PercentDecode(std::string_view text);

} // namespace lockora::engine::web
