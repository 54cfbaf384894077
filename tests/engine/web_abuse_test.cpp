// The local server under the abuse another local user or a hostile page could
// bring: descriptor exhaustion, a second page taking over, a cookie jar full
// of other ports' cookies, and answers or messages too large to hold. Each
// attack is bounded in count and time, and the real page must go on being
// served.
#include "tests/engine/web_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace lockora::engine::web {
namespace {

using testing::RequestOptions;

// A TCP connection that says nothing.
class IdleConnection {
public:
    explicit IdleConnection(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~IdleConnection()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    IdleConnection(IdleConnection&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    IdleConnection(const IdleConnection&) = delete;
    IdleConnection& operator=(const IdleConnection&) = delete;
    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    int fd_;
};

// HTTP and WebSocket spoken by hand: a request of any size, and a WebSocket
// of the session that writes frames and never reads what comes back.
class RawSocket {
public:
    explicit RawSocket(std::uint16_t port) : connection_(port) {}

    RawSocket(std::uint16_t port, const std::string& cookie) : connection_(port)
    {
        const std::string origin = "http://127.0.0.1:" + std::to_string(port);
        const std::string request = "GET /engine/socket HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                    "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
                                    "Origin: " + origin + "\r\nCookie: " + cookie + "\r\n\r\n";
        if (!connection_.connected() || !Write(request))
            return;
        // The answer's headers only; nothing after them is ever read.
        std::string reply;
        for (std::string line = ReadLine(); !line.empty(); line = ReadLine())
            reply += line + "\n";
        upgraded_ = reply.starts_with("HTTP/1.1 101");
    }
    bool upgraded() const { return upgraded_; }

    // One masked text frame (a zero mask leaves the payload as it is); false
    // once the server has closed the connection.
    bool SendText(const std::string& payload)
    {
        std::string frame = {'\x81', '\xFF'};
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += static_cast<char>((payload.size() >> shift) & 0xFF);
        frame += std::string(4, '\0');
        return Write(frame) && Write(payload);
    }

    // One line of the answer, without its CR LF.
    std::string ReadLine()
    {
        std::string line;
        char c = 0;
        while (!line.ends_with("\r\n") && ::recv(connection_.fd(), &c, 1, 0) == 1)
            line += c;
        return line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
    }

    bool Write(const std::string& bytes)
    {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t written = ::send(connection_.fd(), bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (written <= 0)
                return false;
            at += static_cast<std::size_t>(written);
        }
        return true;
    }

private:
    IdleConnection connection_;
    bool upgraded_ = false;
};

// How much the process may grow while a socket's answers pile up: the 32 MiB
// queue, the messages in flight and the allocator's slack. AddressSanitizer
// keeps freed memory in its quarantine (256 MiB by default) on top;
// ThreadSanitizer keeps shadow memory of several times every byte the
// process touches. Without the bound on the queue, 300 answers of 1 MiB
// grow the process past either limit.
#ifdef __SANITIZE_ADDRESS__
constexpr long kMemoryBoundKiB = (96 + 256) * 1024;
#elif defined(__SANITIZE_THREAD__)
constexpr long kMemoryBoundKiB = 4 * 96 * 1024;
#else
constexpr long kMemoryBoundKiB = 96 * 1024;
#endif

// The process's resident memory in KiB, from /proc/self/status.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    }
    return -1;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Waits for `child` at most `bound`; its exit status, or -1 (the child is
// then killed: it is our own, by its id).
int WaitForChild(pid_t child, std::chrono::seconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        ::usleep(20'000);
    }
    if (child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    return -1;
}

TEST_F(WebEngineTest, IdleConnectionsBeyondTheDescriptorLimitNeitherStarveThePageNorSpin)
{
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The server, with 64 descriptors; the attacker is the parent.
        const rlimit limit{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        OpenPage();
        RunLoop();
        const std::uint16_t port = engine->Port();
        char go = 0;
        if (::write(toParent[1], &port, sizeof port) != sizeof port || ::read(toChild[0], &go, 1) != 1)
            ::_exit(3);
        // While the idle connections are held: the page is served, and the
        // process, left alone for a second, does not burn its core.
        for (int served = 0; served < 20; ++served) {
            const auto sum = client->Call("Add", {{served, 1}}, std::chrono::seconds(5));
            if (!sum || (*sum)["value"] != served + 1 || client->Get("/app/index.html").status != 200)
                ::_exit(4);
        }
        const double before = CpuSeconds();
        pollfd quiet{toChild[0], POLLIN, 0};
        ::poll(&quiet, 1, 1000);
        const double spent = CpuSeconds() - before;
        if (!client->Call("Add", {{1, 1}}, std::chrono::seconds(5)))
            ::_exit(4);
        EndLoop();
        ::_exit(::testing::Test::HasFailure() ? 5 : spent < 0.3 ? 0 : 6);
    }
    std::uint16_t port = 0;
    ASSERT_EQ(::read(toParent[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
    std::vector<IdleConnection> idle;
    for (int i = 0; i < 300; ++i)
        idle.emplace_back(port);
    ASSERT_EQ(::write(toChild[1], "g", 1), 1);
    EXPECT_EQ(WaitForChild(child, std::chrono::seconds(60)), 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
        ::close(fd);
}

TEST_F(WebEngineTest, ASecondPageOfTheSameSessionIsRefusedAndNoCallWaitsForEver)
{
    options.pageWait = std::chrono::milliseconds(500);
    options.reconnectGrace = std::chrono::seconds(30);
    OpenPage();
    RunLoop();
    client->Define("whoami", [](const nlohmann::json&) { return "first"; });

    testing::PageClient second(engine->Port());
    ASSERT_EQ(second.OpenSocket(RequestOptions().WithCookie(client->Cookie())), 101u);
    second.Define("whoami", [](const nlohmann::json&) { return "second"; });
    second.Ready();
    EXPECT_TRUE(second.WaitClosed());
    const auto answer = client->Call("CallPage", {"whoami"});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ((*answer)["value"], "first");

    // The page's socket goes while another of the session stays: a call from
    // a worker gives up instead of waiting for a page that never comes.
    testing::PageClient third(engine->Port());
    ASSERT_EQ(third.OpenSocket(RequestOptions().WithCookie(client->Cookie())), 101u);
    client->CloseSocket();
    auto worker = std::async(std::launch::async, [&] { return engine->CallFunction(1, "whoami", {}); });
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(worker.get().value.IsUndefined());
    third.Ready();
    EXPECT_FALSE(third.WaitClosed(std::chrono::milliseconds(200)));
}

// The status of a GET of the index page sent by hand with `cookies` as its
// Cookie header (the test client's HTTP library cannot send one this large).
unsigned StatusWithCookies(std::uint16_t port, const std::string& cookies)
{
    RawSocket connection(port);
    if (!connection.Write("GET /app/index.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nCookie: " + cookies + "\r\nConnection: close\r\n\r\n"))
        return 0;
    const std::string line = connection.ReadLine();
    return line.starts_with("HTTP/1.1 ") ? static_cast<unsigned>(std::stoul(line.substr(9, 3))) : 0;
}

TEST_F(WebEngineTest, TheSessionCookieIsFoundInABrowsersFullCookieJar)
{
    OpenPage();
    // What pages of other ports of 127.0.0.1 may set, with ours among them:
    // 80 of 100 bytes, and a full jar, 179 of 4,000 bytes (700 KB).
    for (const auto& [count, size] : {std::pair{80, 100}, std::pair{179, 4000}}) {
        std::string jar;
        for (int i = 0; i < count; ++i) {
            jar += "other" + std::to_string(i) + "=" + std::string(static_cast<std::size_t>(size), 'x') + "; ";
            if (i == count / 2)
                jar += client->Cookie() + "; ";
        }
        EXPECT_EQ(StatusWithCookies(engine->Port(), jar + "last=1"), 200u) << count;
        const std::size_t ours = jar.find("lockora");
        EXPECT_EQ(StatusWithCookies(engine->Port(), jar.erase(ours, client->Cookie().size() + 2) + "last=1"), 403u);
    }
}

TEST_F(WebEngineTest, UnreadAnswersAndHugeMessagesDoNotGrowTheProcess)
{
    OpenPage();
    RunLoop();
    const long before = ResidentKiB();
    // A socket of the session that sends 300 calls of 1 MiB and never reads
    // an answer: the server lets it go instead of holding the answers.
    RawSocket reader(engine->Port(), client->Cookie());
    ASSERT_TRUE(reader.upgraded());
    const std::string big(1 << 20, 'a');
    int sent = 0;
    while (sent < 300 &&
           reader.SendText("{\"type\":\"call\",\"id\":" + std::to_string(sent) + ",\"name\":\"Echo\",\"args\":[\"" +
                           big + "\"]}"))
        ++sent;
    EXPECT_LT(sent, 300);
    const long grown = ResidentKiB() - before;
    EXPECT_LT(grown, kMemoryBoundKiB) << "KiB";

    // Millions of values in one message are refused before they are parsed.
    std::string values = "{\"type\":\"call\",\"id\":1,\"name\":\"Echo\",\"args\":[[0";
    for (int i = 0; i < 1'000'000; ++i)
        values += ",0";
    values += "]]}";
    client->SendText(values);
    const auto refused = client->WaitFor([](const nlohmann::json& m) { return m.value("type", "") == "error"; });
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ((*refused)["message"], "malformed message");
    const auto echoed = client->Call("Echo", {"still here"});
    ASSERT_TRUE(echoed.has_value());
    EXPECT_EQ((*echoed)["value"], "still here");
}

} // namespace
} // namespace lockora::engine::web
