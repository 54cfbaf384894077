#include "engine/web/request_router.h"

#include "engine/web/page_content.h"
#include "platform/text.h"

namespace lockora::engine::web {
namespace {

constexpr std::string_view kStartPrefix = "/start/";
constexpr std::string_view kStartScriptPath = "/engine/start.js";
constexpr std::string_view kItemPrefix = "/app/";

// The start page cannot carry an inline script (the policy forbids them), so
// it loads this one, which moves it to the application page. A redirect
// would not do: the browser leaves a SameSite=Strict cookie off a redirect
// chain that a file:// page started.
constexpr std::string_view kStartScript = "location.replace(document.documentElement.dataset.next);\n";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view PathOf(std::string_view target)
{
    return target.substr(0, target.find_first_of("?#"));
}

} // namespace

std::optional<std::string> PercentDecode(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return decoded;
}

RequestRouter::RequestRouter(SessionGate& gate, PageSource& source, std::uint16_t port)
    : gate_(gate), source_(source), host_("127.0.0.1:" + std::to_string(port)), origin_("http://" + host_)
{
    // No inline script and no evaluation of text; inline styles cannot run
    // code, and pages use style attributes freely.
    contentSecurityPolicy_ = "default-src 'self'; script-src 'self'; style-src 'self' 'unsafe-inline'"
                             "; img-src 'self' data:; font-src 'self' data:; connect-src 'self' ws://" +
                             host_ + "; object-src 'none'; base-uri 'self'; form-action 'none'; frame-ancestors 'self'";
}

std::string RequestRouter::StartAddress() const
{
    return origin_ + std::string(kStartPrefix) + gate_.StartToken();
}

HttpResponse RequestRouter::Respond(unsigned status, std::string contentType, std::string body) const
{
    HttpResponse response;
    response.status = status;
    response.headers = {
        {"Content-Type", std::move(contentType)},
        {"Content-Security-Policy", contentSecurityPolicy_},
        {"X-Content-Type-Options", "nosniff"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
        {"X-Frame-Options", "SAMEORIGIN"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    };
    response.body = std::move(body);
    return response;
}

RouteDecision RequestRouter::Route(const HttpRequest& request) const
{
    RouteDecision decision;
    auto refuse = [&](unsigned status, std::string_view text) {
        decision.response = Respond(status, "text/plain; charset=utf-8", std::string(text) + "\n");
        return decision;
    };
    // Exactly this address: "localhost", "127.1", "2130706433" and names that
    // resolve here are other origins to the browser.
    if (request.host != host_)
        return refuse(403, "Forbidden");
    if (request.method != "GET") {
        refuse(405, "Method Not Allowed");
        decision.response.headers.emplace_back("Allow", "GET");
        return decision;
    }
    const std::string_view path = PathOf(request.target);
    if (!request.upgrade && path.starts_with(kStartPrefix)) {
        if (!gate_.TradeStartToken(path.substr(kStartPrefix.size())))
            return refuse(403, "Forbidden");
        decision.authorised = true;
        decision.response = StartPage();
        return decision;
    }
    if (!request.upgrade && path == kStartScriptPath) {
        decision.response = Respond(200, "text/javascript; charset=utf-8", std::string(kStartScript));
        return decision;
    }
    if (!gate_.IsAuthorised(request.cookie))
        return refuse(403, "Forbidden");
    decision.authorised = true;
    if (request.upgrade) {
        if (path != kSocketPath || !request.origin || *request.origin != origin_)
            return refuse(403, "Forbidden");
        decision.acceptSocket = true;
        return decision;
    }
    if (path == kRuntimeScriptPath) {
        decision.response = Respond(200, "text/javascript; charset=utf-8", std::string(source_.RuntimeScript()));
        return decision;
    }
    if (path.starts_with(kItemPrefix)) {
        decision.response = Item(path.substr(kItemPrefix.size()));
        return decision;
    }
    return refuse(404, "Not Found");
}

HttpResponse RequestRouter::StartPage() const
{
    std::string body = "<!DOCTYPE html><html data-next=\"" + EscapeAttribute(source_.CurrentPagePath()) +
                       "\"><head><meta charset=\"utf-8\"><script src=\"" + std::string(kStartScriptPath) +
                       "\"></script></head><body></body></html>\n";
    HttpResponse response = Respond(200, "text/html; charset=utf-8", std::move(body));
    response.headers.emplace_back("Set-Cookie", gate_.SetCookieValue());
    return response;
}

HttpResponse RequestRouter::Item(std::string_view path) const
{
    auto decoded = PercentDecode(path);
    if (!decoded || decoded->empty() || !platform::IsValidUtf8(*decoded))
        return Respond(404, "text/plain; charset=utf-8", "Not Found\n");
    auto bytes = source_.ReadItem(u"this://app/" + platform::Utf8ToUtf16(*decoded));
    if (!bytes)
        return Respond(404, "text/plain; charset=utf-8", "Not Found\n");
    const std::string_view type = ContentTypeFor(*decoded);
    if (IsHtml(type))
        return Respond(200, std::string(type), InjectRuntimeScript(*bytes));
    return Respond(200, std::string(type), std::move(*bytes));
}

} // namespace lockora::engine::web
