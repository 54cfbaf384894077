// A scripted page for tests and benchmarks: speaks the web engine's HTTP and
// WebSocket protocol the way the page runtime does, without a browser.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace lockora::engine::web::testing {

struct HttpReply {
    unsigned status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
};

// What a request carries besides its target. Defaults are what the launched
// page sends: the exact host, its own origin, the session cookie.
struct RequestOptions {
    std::optional<std::string> host;   // "127.0.0.1:<port>" when unset
    std::optional<std::string> origin; // the server's origin when unset (upgrades only)
    bool sendOrigin = true;
    bool sendCookie = true;
    std::optional<std::string> cookie; // replaces the session cookie
    std::string method = "GET";

    RequestOptions WithHost(std::string value) const { return With(&RequestOptions::host, std::optional(value)); }
    RequestOptions WithOrigin(std::string value) const { return With(&RequestOptions::origin, std::optional(value)); }
    RequestOptions WithoutOrigin() const { return With(&RequestOptions::sendOrigin, false); }
    RequestOptions WithoutCookie() const { return With(&RequestOptions::sendCookie, false); }
    RequestOptions WithCookie(std::string value) const { return With(&RequestOptions::cookie, std::optional(value)); }
    RequestOptions WithMethod(std::string value) const { return With(&RequestOptions::method, value); }

private:
    template <typename Member, typename Value>
    RequestOptions With(Member member, Value value) const
    {
        RequestOptions changed = *this;
        changed.*member = std::move(value);
        return changed;
    }
};

class PageClient {
public:
    // Answers an invocation of a page function; throw std::exception to
    // answer with its text as a script error.
    using PageFunction = std::function<nlohmann::json(const nlohmann::json& argument)>;
    using Clock = std::chrono::steady_clock;

    explicit PageClient(std::uint16_t port);
    ~PageClient();
    PageClient(const PageClient&) = delete;
    PageClient& operator=(const PageClient&) = delete;

    std::uint16_t port() const { return port_; }
    std::string Origin() const;

    HttpReply Get(const std::string& target, const RequestOptions& options = {});
    // Trades the one-time start address for the session cookie; the start
    // page's status.
    unsigned Start(const std::string& startAddress);
    const std::string& Cookie() const { return cookie_; }

    // Opens the WebSocket; the status of the upgrade answer (101 when
    // accepted).
    unsigned OpenSocket(const RequestOptions& options = {});
    void CloseSocket();

    // Defines a page function that invocations are answered with.
    void Define(const std::string& name, PageFunction function);
    void SendText(std::string text);
    void SendBinary(std::string bytes);
    void Send(const nlohmann::json& message) { SendText(message.dump()); }
    // Announces the page at `path` as ready.
    void Ready(const std::string& path = "/app/index.html");

    // The next received message that `match` accepts (earlier ones that it
    // does not accept are kept); nothing when none arrives in time.
    std::optional<nlohmann::json> WaitFor(const std::function<bool(const nlohmann::json&)>& match,
                                          Clock::duration timeout = std::chrono::seconds(10));
    // Calls a native function as view.<name>(...args) does and waits for its
    // "result" (or "error") message.
    std::optional<nlohmann::json> Call(const std::string& name, nlohmann::json args,
                                       Clock::duration timeout = std::chrono::seconds(10));
    // Whether the server closed the socket within `timeout`.
    bool WaitClosed(Clock::duration timeout = std::chrono::seconds(10));

private:
    struct Socket;

    // A GET, or a WebSocket upgrade request read as plain HTTP.
    HttpReply Request(const std::string& target, const RequestOptions& options, bool upgrade);

    std::uint16_t port_;
    std::string cookie_;
    std::unique_ptr<Socket> socket_;
    std::uint64_t nextId_ = 1;
};

} // namespace lockora::engine::web::testing
