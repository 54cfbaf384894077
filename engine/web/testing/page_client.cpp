#include "engine/web/testing/page_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace lockora::engine::web::testing {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;
using nlohmann::json;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

tcp::endpoint Loopback(std::uint16_t port)
{
    return {net::ip::make_address_v4("127.0.0.1"), port};
}

} // namespace

// The WebSocket runs on a thread of its own, so invocations are answered
// while the test thread waits for something else.
struct PageClient::Socket {
    void Read()
    {
        ws.async_read(buffer, [this](beast::error_code error, std::size_t) {
            if (error) {
                std::lock_guard lock(mutex);
                closed = true;
                changed.notify_all();
                return;
            }
            std::string text = beast::buffers_to_string(buffer.data());
            buffer.consume(buffer.size());
            Received(std::move(text));
            Read();
        });
    }

    void Received(std::string text)
    {
        json message = json::parse(text, nullptr, false);
        if (message.is_discarded())
            message = json{{"raw", text}};
        if (message.is_object() && message.value("type", "") == "invoke") {
            PageFunction function;
            {
                std::lock_guard lock(mutex);
                const auto at = functions.find(message.value("name", ""));
                if (at != functions.end())
                    function = at->second;
            }
            if (function) {
                json answer{{"type", "answer"}, {"id", message["id"]}};
                try {
                    answer["value"] = function(message["arg"]);
                } catch (const std::exception& error) {
                    answer["error"] = error.what();
                }
                Write(answer.dump(), false);
                return;
            }
        }
        std::lock_guard lock(mutex);
        inbox.push_back(std::move(message));
        changed.notify_all();
    }

    // On the socket's thread.
    void Write(std::string text, bool binary)
    {
        outbox.emplace_back(std::move(text), binary);
        if (outbox.size() == 1)
            WriteFront();
    }

    void WriteFront()
    {
        ws.text(!outbox.front().second);
        ws.async_write(net::buffer(outbox.front().first), [this](beast::error_code error, std::size_t) {
            if (error) {
                outbox.clear();
                return;
            }
            outbox.pop_front();
            if (!outbox.empty())
                WriteFront();
        });
    }

    void Post(std::string text, bool binary)
    {
        net::post(ioc, [this, text = std::move(text), binary]() mutable { Write(std::move(text), binary); });
    }

    net::io_context ioc;
    websocket::stream<tcp::socket> ws{ioc};
    beast::flat_buffer buffer;
    std::deque<std::pair<std::string, bool>> outbox;
    std::thread thread;

    std::mutex mutex; // guards the members below
    std::condition_variable changed;
    std::deque<json> inbox;
    std::map<std::string, PageFunction> functions;
    bool closed = false;
};

PageClient::PageClient(std::uint16_t port) : port_(port) {}

PageClient::~PageClient()
{
    if (socket_) {
        socket_->ioc.stop();
        socket_->thread.join();
    }
}

std::string PageClient::Origin() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

HttpReply PageClient::Get(const std::string& target, const RequestOptions& options)
{
    return Request(target, options, false);
}

HttpReply PageClient::Request(const std::string& target, const RequestOptions& options, bool upgrade)
{
    net::io_context ioc;
    tcp::socket socket(ioc);
    socket.connect(Loopback(port_));
    http::request<http::empty_body> request{http::string_to_verb(options.method), target, 11};
    request.method_string(options.method);
    request.set(http::field::host, options.host.value_or("127.0.0.1:" + std::to_string(port_)));
    if (upgrade) {
        request.set(http::field::connection, "Upgrade");
        request.set(http::field::upgrade, "websocket");
        request.set(http::field::sec_websocket_version, "13");
        request.set(http::field::sec_websocket_key, "dGhlIHNhbXBsZSBub25jZQ==");
        if (options.sendOrigin)
            request.set(http::field::origin, options.origin.value_or(Origin()));
    } else if (options.origin) {
        request.set(http::field::origin, *options.origin);
    }
    const std::string cookie = options.cookie.value_or(cookie_);
    if (options.sendCookie && !cookie.empty())
        request.set(http::field::cookie, cookie);
    if (!upgrade)
        request.keep_alive(false);
    http::write(socket, request);

    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 * 1024 * 1024);
    http::read(socket, buffer, parser);
    const auto& response = parser.get();
    HttpReply reply;
    reply.status = response.result_int();
    for (const auto& field : response)
        reply.headers[Lower(std::string(field.name_string()))] = std::string(field.value());
    reply.body = response.body();
    beast::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    return reply;
}

unsigned PageClient::Start(const std::string& startAddress)
{
    const auto path = startAddress.find("/start/");
    const HttpReply reply = Get(path == std::string::npos ? startAddress : startAddress.substr(path),
                                RequestOptions().WithoutCookie());
    if (const auto setCookie = reply.headers.find("set-cookie"); setCookie != reply.headers.end())
        cookie_ = setCookie->second.substr(0, setCookie->second.find(';'));
    return reply.status;
}

unsigned PageClient::OpenSocket(const RequestOptions& options)
{
    CloseSocket();
    auto socket = std::make_unique<Socket>();
    socket->ws.next_layer().connect(Loopback(port_));
    const std::string origin = options.origin.value_or(Origin());
    const std::string cookie = options.cookie.value_or(cookie_);
    const bool sendOrigin = options.sendOrigin;
    const bool sendCookie = options.sendCookie && !cookie.empty();
    socket->ws.set_option(websocket::stream_base::decorator([=](websocket::request_type& request) {
        if (sendOrigin)
            request.set(http::field::origin, origin);
        if (sendCookie)
            request.set(http::field::cookie, cookie);
    }));
    websocket::response_type response;
    beast::error_code error;
    socket->ws.handshake(response, options.host.value_or("127.0.0.1:" + std::to_string(port_)), "/engine/socket",
                         error);
    if (error) {
        // The handshake keeps no refused answer: ask again as plain HTTP.
        return Request("/engine/socket", options, true).status;
    }
    socket->ws.read_message_max(64 * 1024 * 1024);
    socket->Read();
    socket->thread = std::thread([raw = socket.get()] { raw->ioc.run(); });
    socket_ = std::move(socket);
    return 101;
}

void PageClient::CloseSocket()
{
    if (!socket_)
        return;
    net::post(socket_->ioc, [raw = socket_.get()] {
        raw->ws.async_close(websocket::close_code::normal, [](beast::error_code) {});
    });
    WaitClosed(std::chrono::seconds(5));
    socket_->ioc.stop();
    socket_->thread.join();
    socket_.reset();
}

void PageClient::Define(const std::string& name, PageFunction function)
{
    std::lock_guard lock(socket_->mutex);
    socket_->functions[name] = std::move(function);
}

void PageClient::SendText(std::string text)
{
    socket_->Post(std::move(text), false);
}

void PageClient::SendBinary(std::string bytes)
{
    socket_->Post(std::move(bytes), true);
}

void PageClient::Ready(const std::string& path)
{
    Send({{"type", "ready"}, {"page", path}});
}

std::optional<json> PageClient::WaitFor(const std::function<bool(const json&)>& match, Clock::duration timeout)
{
    std::unique_lock lock(socket_->mutex);
    std::optional<json> found;
    socket_->changed.wait_until(lock, Clock::now() + timeout, [&] {
        const auto at = std::find_if(socket_->inbox.begin(), socket_->inbox.end(), match);
        if (at == socket_->inbox.end())
            return false;
        found = std::move(*at);
        socket_->inbox.erase(at);
        return true;
    });
    return found;
}

std::optional<json> PageClient::Call(const std::string& name, json args, Clock::duration timeout)
{
    const std::uint64_t id = nextId_++;
    Send({{"type", "call"}, {"id", id}, {"name", name}, {"args", std::move(args)}});
    return WaitFor(
        [id](const json& message) {
            return message.is_object() && message.contains("id") && message["id"] == id &&
                   (message.value("type", "") == "result" || message.value("type", "") == "error");
        },
        timeout);
}

bool PageClient::WaitClosed(Clock::duration timeout)
{
    std::unique_lock lock(socket_->mutex);
    return socket_->changed.wait_until(lock, Clock::now() + timeout, [&] { return socket_->closed; });
}

} // namespace lockora::engine::web::testing
