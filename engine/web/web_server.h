// The HTTP and WebSocket server on 127.0.0.1 with an ephemeral port, its
// network I/O on a thread of its own.
//
// The server only moves bytes: every request is decided by the delegate
// (RequestRouter's rules), every WebSocket message handed to it. The network
// library stays inside web_server.cpp.
#pragma once

#include "engine/web/page_link.h"
#include "engine/web/request_router.h"
#include "platform/result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lockora::engine::web {

class WebServer {
public:
    // Called on the network thread.
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual RouteDecision Route(const HttpRequest& request) = 0;
        virtual void OnSocketOpened(ConnectionId connection) = 0;
        // A whole message; `text` false for a binary one.
        virtual void OnSocketMessage(ConnectionId connection, std::string message, bool text) = 0;
        virtual void OnSocketClosed(ConnectionId connection) = 0;
    };

    struct Limits {
        // Cookies ignore ports, so other local pages can fill the jar that
        // the browser sends here: a browser's whole jar for one host (180
        // cookies of 4 KiB) fits, and the session cookie is found in it.
        std::size_t maxHeaderBytes = 1024 * 1024;
        std::size_t maxMessageBytes = 4 * 1024 * 1024; // a larger message closes the socket
        // Answers waiting to go out on one socket; past it the socket closes.
        std::size_t maxQueuedBytes = 32 * 1024 * 1024;
        // Open connections; at the cap a connection that has not passed the
        // session gate goes first, and the page's own are kept.
        std::size_t maxConnections = 32;
        // For the first byte and the headers of a request, and for an idle
        // keep-alive connection.
        std::chrono::milliseconds requestTimeout{5000};
    };

    // Binds 127.0.0.1 on a port the system chooses; fails when it cannot.
    static platform::Result<std::unique_ptr<WebServer>> Listen(Limits limits);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    std::uint16_t Port() const;
    // Starts accepting, on the network thread. The delegate must outlive the
    // server.
    void Start(Delegate& delegate);
    // Queues a text message for a connection; any thread. Unknown or closed
    // connections drop it.
    void Send(ConnectionId connection, std::string message);
    // Closes a WebSocket connection; any thread.
    void Close(ConnectionId connection);

    // Defined in web_server.cpp only; public so that its sessions can name it.
    struct Impl;

private:
    explicit WebServer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace lockora::engine::web
