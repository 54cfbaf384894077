#include "engine/web/web_server.h"

#include "platform/errors.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <chrono>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

namespace lockora::engine::web {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

constexpr auto kHttpTimeout = std::chrono::seconds(30); // writing an answer
constexpr auto kFirstRetry = std::chrono::milliseconds(10);
constexpr auto kLongestRetry = std::chrono::milliseconds(1000);
// Requests are GETs; anything with a body larger than this is not ours.
constexpr std::size_t kMaxRequestBody = 64 * 1024;

class SocketSession;

// An open connection, HTTP or WebSocket, as the connection cap sees it. It
// enters the server's list when made and leaves it when destroyed, both on
// the network thread.
class Connection {
public:
    explicit Connection(std::list<Connection*>& list) : list_(list), at_(list.insert(list.end(), this)) {}
    virtual ~Connection() { list_.erase(at_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Closes the socket at once; its handlers end the session.
    void Abort()
    {
        if (aborted_)
            return;
        aborted_ = true;
        beast::error_code ignored;
        Socket().close(ignored);
    }
    bool aborted() const { return aborted_; }

    bool authorised = false; // a request of it passed the session gate

protected:
    virtual tcp::socket& Socket() = 0;

private:
    std::list<Connection*>& list_;
    std::list<Connection*>::iterator at_;
    bool aborted_ = false;
};

} // namespace

struct WebServer::Impl {
    explicit Impl(Limits limits) : limits(limits) {}

    void Accept();
    void RetryAccept();
    // Closes the oldest connection that has not passed the session gate;
    // false when there is none.
    bool EvictStranger();
    std::size_t LiveConnections() const;
    void Register(ConnectionId id, std::weak_ptr<SocketSession> session);
    void Unregister(ConnectionId id);
    std::shared_ptr<SocketSession> Find(ConnectionId id);

    Limits limits;
    std::uint16_t port = 0;
    // Before the io_context: sessions its destruction frees leave this list.
    std::list<Connection*> connections;
    net::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    net::steady_timer retry{ioc};
    std::chrono::milliseconds backoff{0};
    Delegate* delegate = nullptr;
    std::thread thread;

    std::mutex mutex; // guards the two below; taken from any thread
    std::unordered_map<ConnectionId, std::weak_ptr<SocketSession>> sockets;
    ConnectionId nextId = 1;
};

namespace {

// One WebSocket: a read loop and a queue of outgoing messages, both on the
// network thread.
class SocketSession : public Connection, public std::enable_shared_from_this<SocketSession> {
public:
    SocketSession(tcp::socket socket, WebServer::Impl& server)
        : Connection(server.connections), ws_(std::move(socket)), server_(server)
    {
        authorised = true; // only the gate's requests are upgraded
    }

    void Accept(http::request<http::string_body> request)
    {
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.read_message_max(server_.limits.maxMessageBytes);
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) { self->OnAccept(error); });
    }

    void Send(std::string message)
    {
        net::post(ws_.get_executor(), [self = shared_from_this(), message = std::move(message)]() mutable {
            if (self->closed_)
                return;
            // A page that does not read its answers must not make the
            // process hold them without end.
            self->queued_ += message.size();
            if (self->queued_ > self->server_.limits.maxQueuedBytes) {
                self->Abort();
                return;
            }
            self->outbox_.push_back(std::move(message));
            if (self->outbox_.size() == 1)
                self->Write();
        });
    }

    void Close()
    {
        net::post(ws_.get_executor(), [self = shared_from_this()] {
            if (self->closed_)
                return;
            self->ws_.async_close(websocket::close_code::normal, [self](beast::error_code) {});
        });
    }

private:
    void OnAccept(beast::error_code error)
    {
        if (error)
            return;
        {
            std::lock_guard lock(server_.mutex);
            id_ = server_.nextId++;
        }
        server_.Register(id_, weak_from_this());
        server_.delegate->OnSocketOpened(id_);
        Read();
    }

    void Read()
    {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            self->OnRead(error);
        });
    }

    void OnRead(beast::error_code error)
    {
        if (error) {
            // Closed by either side, or a message over the limit.
            Closed();
            return;
        }
        std::string message = beast::buffers_to_string(buffer_.data());
        buffer_.consume(buffer_.size());
        server_.delegate->OnSocketMessage(id_, std::move(message), ws_.got_text());
        Read();
    }

    void Write()
    {
        ws_.text(true);
        ws_.async_write(net::buffer(outbox_.front()),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            if (error) {
                                self->outbox_.clear();
                                return; // the read loop reports the close
                            }
                            self->queued_ -= self->outbox_.front().size();
                            self->outbox_.pop_front();
                            if (!self->outbox_.empty())
                                self->Write();
                        });
    }

    void Closed()
    {
        if (closed_)
            return;
        closed_ = true;
        outbox_.clear();
        server_.Unregister(id_);
        server_.delegate->OnSocketClosed(id_);
    }

    tcp::socket& Socket() override { return ws_.next_layer().socket(); }

    websocket::stream<beast::tcp_stream> ws_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::deque<std::string> outbox_;
    std::size_t queued_ = 0;
    ConnectionId id_ = 0;
    bool closed_ = false;
};

// A request parser that keeps the Cookie header apart: one field of the HTTP
// library's messages holds at most 64 KiB, and a cookie jar that pages of
// other local ports filled (cookies ignore ports) may hold far more.
class RequestParser : public http::basic_parser<true> {
public:
    http::request<http::string_body>& request() { return request_; }
    const std::string& cookie() const { return cookie_; }

private:
    void on_request_impl(http::verb method, beast::string_view methodText, beast::string_view target, int version,
                         beast::error_code& error) override
    {
        try {
            if (method == http::verb::unknown)
                request_.method_string(methodText);
            else
                request_.method(method);
            request_.target(target);
        } catch (const std::length_error&) {
            error = http::error::bad_target;
            return;
        }
        request_.version(version);
    }

    void on_response_impl(int, beast::string_view, int, beast::error_code&) override {}

    void on_field_impl(http::field name, beast::string_view nameText, beast::string_view value,
                       beast::error_code& error) override
    {
        if (name == http::field::cookie) {
            if (!cookie_.empty())
                cookie_ += "; ";
            cookie_.append(value.data(), value.size());
            return;
        }
        try {
            if (name == http::field::unknown)
                request_.insert(nameText, value);
            else
                request_.insert(name, value);
        } catch (const std::length_error&) {
            error = http::error::header_limit;
        }
    }

    void on_header_impl(beast::error_code&) override {}
    void on_body_init_impl(const boost::optional<std::uint64_t>&, beast::error_code&) override {}

    std::size_t on_body_impl(beast::string_view body, beast::error_code&) override
    {
        request_.body().append(body.data(), body.size());
        return body.size();
    }

    void on_chunk_header_impl(std::uint64_t, beast::string_view, beast::error_code&) override {}

    std::size_t on_chunk_body_impl(std::uint64_t, beast::string_view body, beast::error_code&) override
    {
        request_.body().append(body.data(), body.size());
        return body.size();
    }

    void on_finish_impl(beast::error_code&) override {}

    http::request<http::string_body> request_;
    std::string cookie_;
};

// One HTTP connection: requests in turn, each answered by the delegate's
// decision, until the peer closes or the request is upgraded.
class HttpSession : public Connection, public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, WebServer::Impl& server)
        : Connection(server.connections), stream_(std::move(socket)), server_(server)
    {
    }

    void Run()
    {
        net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->Read(); });
    }

private:
    void Read()
    {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits.maxHeaderBytes));
        parser_->body_limit(kMaxRequestBody);
        // A connection that says nothing, or trickles its headers, is let go.
        stream_.expires_after(server_.limits.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) { self->OnRead(error); });
    }

    void OnRead(beast::error_code error)
    {
        if (error == http::error::end_of_stream) {
            beast::error_code ignored;
            stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
            return;
        }
        if (error) {
            // A malformed or oversized request gets an answer, then the close.
            if (error.category() == http::make_error_code(http::error::bad_target).category())
                Answer(HttpResponse{400, {{"Content-Type", "text/plain; charset=utf-8"}}, "Bad Request\n"}, 11, false);
            return;
        }
        http::request<http::string_body> request = std::move(parser_->request());
        HttpRequest summary;
        summary.method = std::string(request.method_string());
        summary.target = std::string(request.target());
        summary.host = std::string(request[http::field::host]);
        if (const auto origin = request.find(http::field::origin); origin != request.end())
            summary.origin = std::string(origin->value());
        summary.cookie = parser_->cookie();
        summary.upgrade = websocket::is_upgrade(request);

        RouteDecision decision = server_.delegate->Route(summary);
        authorised = authorised || decision.authorised;
        if (decision.acceptSocket) {
            stream_.expires_never();
            std::make_shared<SocketSession>(stream_.release_socket(), server_)->Accept(std::move(request));
            return;
        }
        Answer(std::move(decision.response), request.version(), request.keep_alive() && !summary.upgrade);
    }

    void Answer(HttpResponse answer, unsigned version, bool keepAlive)
    {
        response_ = {};
        response_.result(answer.status);
        response_.version(version);
        for (auto& [name, value] : answer.headers)
            response_.set(name, value);
        response_.body() = std::move(answer.body);
        response_.keep_alive(keepAlive);
        response_.prepare_payload();
        stream_.expires_after(kHttpTimeout);
        http::async_write(stream_, response_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error)
                return;
            if (!self->response_.keep_alive()) {
                beast::error_code ignored;
                self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                return;
            }
            self->Read();
        });
    }

    tcp::socket& Socket() override { return stream_.socket(); }

    beast::tcp_stream stream_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::optional<RequestParser> parser_;
    http::response<http::string_body> response_;
};

} // namespace

void WebServer::Impl::Accept()
{
    acceptor.async_accept(ioc, [this](beast::error_code error, tcp::socket socket) {
        if (error == net::error::operation_aborted || !acceptor.is_open())
            return;
        if (error) {
            // Out of descriptors (EMFILE, ENFILE) or another passing failure:
            // a stranger's connection makes room, and the loop waits before
            // it tries again instead of spinning.
            EvictStranger();
            RetryAccept();
            return;
        }
        backoff = std::chrono::milliseconds(0);
        if (LiveConnections() >= limits.maxConnections && !EvictStranger()) {
            // Every connection is the page's own: the newcomer waits its turn.
            beast::error_code ignored;
            socket.close(ignored);
        } else {
            std::make_shared<HttpSession>(std::move(socket), *this)->Run();
        }
        Accept();
    });
}

void WebServer::Impl::RetryAccept()
{
    backoff = backoff.count() == 0 ? kFirstRetry : std::min(backoff * 2, std::chrono::milliseconds(kLongestRetry));
    retry.expires_after(backoff);
    retry.async_wait([this](beast::error_code error) {
        if (!error)
            Accept();
    });
}

bool WebServer::Impl::EvictStranger()
{
    for (Connection* connection : connections) {
        if (!connection->authorised && !connection->aborted()) {
            connection->Abort();
            return true;
        }
    }
    return false;
}

std::size_t WebServer::Impl::LiveConnections() const
{
    return static_cast<std::size_t>(
        std::count_if(connections.begin(), connections.end(), [](const Connection* c) { return !c->aborted(); }));
}

void WebServer::Impl::Register(ConnectionId id, std::weak_ptr<SocketSession> session)
{
    std::lock_guard lock(mutex);
    sockets.emplace(id, std::move(session));
}

void WebServer::Impl::Unregister(ConnectionId id)
{
    std::lock_guard lock(mutex);
    sockets.erase(id);
}

std::shared_ptr<SocketSession> WebServer::Impl::Find(ConnectionId id)
{
    std::lock_guard lock(mutex);
    const auto at = sockets.find(id);
    return at == sockets.end() ? nullptr : at->second.lock();
}

platform::Result<std::unique_ptr<WebServer>> WebServer::Listen(Limits limits)
{
    auto impl = std::make_unique<Impl>(limits);
    const tcp::endpoint loopback(net::ip::make_address_v4("127.0.0.1"), 0);
    beast::error_code error;
    impl->acceptor.open(loopback.protocol(), error);
    if (!error)
        impl->acceptor.bind(loopback, error);
    if (!error)
        impl->acceptor.listen(net::socket_base::max_listen_connections, error);
    if (!error)
        impl->port = impl->acceptor.local_endpoint(error).port();
    if (error)
        return platform::Error(platform::ErrorFromSystemError(error.value()));
    return std::unique_ptr<WebServer>(new WebServer(std::move(impl)));
}

WebServer::WebServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WebServer::~WebServer()
{
    impl_->ioc.stop();
    if (impl_->thread.joinable())
        impl_->thread.join();
}

std::uint16_t WebServer::Port() const
{
    return impl_->port;
}

void WebServer::Start(Delegate& delegate)
{
    impl_->delegate = &delegate;
    impl_->Accept();
    impl_->thread = std::thread([impl = impl_.get()] { impl->ioc.run(); });
}

// A session is looked up, and let go of again, on the network thread: a
// reference held here could be a session's last, and destroying it leaves
// the connection list, which only that thread may touch.
void WebServer::Send(ConnectionId connection, std::string message)
{
    net::post(impl_->ioc, [impl = impl_.get(), connection, message = std::move(message)]() mutable {
        if (auto session = impl->Find(connection))
            session->Send(std::move(message));
    });
}

void WebServer::Close(ConnectionId connection)
{
    net::post(impl_->ioc, [impl = impl_.get(), connection] {
        if (auto session = impl->Find(connection))
            session->Close();
    });
}

} // namespace lockora::engine::web
