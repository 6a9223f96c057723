#pragma once
// A loopback HTTP server for the client's tests and benchmarks: each test
// starts its own on 127.0.0.1 and a free port.
//
// Paths answer what the test set: given bytes, an empty body, an error
// status with an HTML page, a stall (headers, then nothing), a close in the
// middle of the body, a body after a pause; "/redirect/N" redirects N times before "/redirect/0"
// answers "arrived"; anything else is 404 with an HTML page.
// Proxy mode takes absolute-form requests ("GET http://any-host/path") and
// CONNECT, asks for Basic credentials with 407 when it has some, or answers
// every request with one fixed status, and otherwise serves the path from
// its own table whatever the host.  Every request is logged.
// RawServer writes fixed bytes to every connection and closes it.

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testhttp {

inline std::string Base64(std::string_view in)
{
    static constexpr char abc[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8) | uint8_t(in[i + 2]);
        out += abc[v >> 18];
        out += abc[(v >> 12) & 63];
        out += abc[(v >> 6) & 63];
        out += abc[v & 63];
    }
    if (i + 1 == in.size()) {
        const uint32_t v = uint8_t(in[i]) << 16;
        out += abc[v >> 18];
        out += abc[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        const uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8);
        out += abc[v >> 18];
        out += abc[(v >> 12) & 63];
        out += abc[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

struct LoggedRequest {
    std::string method;
    std::string target;
    std::string proxyAuthorization;
    std::string userAgent;
};

class HttpTestServer {
public:
    enum class Mode { Normal, Stall, Cut, Slow };

    HttpTestServer()
    {
        server_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            Handle(req, res);
            return httplib::Server::HandlerResponse::Handled;
        });
        server_.set_keep_alive_max_count(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // Bound already, so requests queue until the loop runs; wait for it
        // only so that a stop never races with its start.
        for (int i = 0; i < 1000 && !server_.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~HttpTestServer()
    {
        stopping_ = true;
        server_.stop();
        if (thread_.joinable())
            thread_.join();
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int Port() const { return port_; }
    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& path) const { return Origin() + path; }
    // "host:port" for a proxy setting.
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

    void SetBody(const std::string& path, std::string body, int status = 200)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = Route{status, std::move(body), Mode::Normal, 0};
    }
    // A status with an HTML page.
    void SetError(const std::string& path, int status)
    {
        SetBody(path, "<html><body><h1>Error " + std::to_string(status) + "</h1></body></html>", status);
    }
    // Headers announcing `declared` bytes, then nothing until the client goes.
    void SetStall(const std::string& path, size_t declared = 1000)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = Route{200, std::string(declared, 'x'), Mode::Stall, 0};
    }
    // Headers announcing the whole body; only `sent` bytes of it, then close.
    void SetCut(const std::string& path, std::string body, size_t sent)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = Route{200, std::move(body), Mode::Cut, sent};
    }

    // The body after a pause of `delayMs`.
    void SetSlow(const std::string& path, std::string body, int delayMs)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = Route{200, std::move(body), Mode::Slow, static_cast<size_t>(delayMs)};
    }

    // Proxy mode: Basic credentials required (empty user: none asked).
    void EnableProxy(std::string user = {}, std::string password = {})
    {
        std::lock_guard lock(mutex_);
        proxy_ = true;
        proxyCredentials_ = user.empty() ? std::string() : Base64(user + ":" + password);
    }
    // Every proxied request (and CONNECT) answers this status (0: serve).
    void SetProxyStatus(int status)
    {
        std::lock_guard lock(mutex_);
        proxyStatus_ = status;
    }

    std::vector<LoggedRequest> Log() const
    {
        std::lock_guard lock(mutex_);
        return log_;
    }

private:
    struct Route {
        int status = 200;
        std::string body;
        Mode mode = Mode::Normal;
        size_t sent = 0;
    };

    static bool IsAbsolute(const std::string& target)
    {
        return target.rfind("http://", 0) == 0 || target.rfind("https://", 0) == 0;
    }

    void Handle(const httplib::Request& req, httplib::Response& res)
    {
        std::string path = req.path;
        bool proxied = false;
        int proxyStatus = 0;
        std::string credentials;
        {
            std::lock_guard lock(mutex_);
            log_.push_back({req.method, req.target, req.get_header_value("Proxy-Authorization"),
                            req.get_header_value("User-Agent")});
            proxied = proxy_ && (req.method == "CONNECT" || IsAbsolute(req.target));
            proxyStatus = proxyStatus_;
            credentials = proxyCredentials_;
        }
        if (proxied) {
            if (!credentials.empty() &&
                req.get_header_value("Proxy-Authorization") != "Basic " + credentials) {
                res.status = 407;
                res.set_header("Proxy-Authenticate", "Basic realm=\"test proxy\"");
                res.set_content("<html><body>407</body></html>", "text/html");
                return;
            }
            if (proxyStatus != 0 || req.method == "CONNECT") {
                res.status = proxyStatus != 0 ? proxyStatus : 501;
                res.set_content("<html><body>proxy</body></html>", "text/html");
                return;
            }
            const size_t host = req.target.find("://") + 3;
            const size_t slash = req.target.find('/', host);
            path = slash == std::string::npos ? "/" : req.target.substr(slash);
            path = path.substr(0, path.find('?'));
        }
        Serve(path, res);
    }

    void Serve(const std::string& path, httplib::Response& res)
    {
        if (path.rfind("/redirect/", 0) == 0) {
            const int n = std::atoi(path.c_str() + 10);
            if (n > 0) {
                res.status = 302;
                res.set_header("Location", "/redirect/" + std::to_string(n - 1));
            } else {
                res.set_content("arrived", "text/plain");
            }
            return;
        }
        Route route;
        {
            std::lock_guard lock(mutex_);
            auto it = routes_.find(path);
            if (it == routes_.end()) {
                res.status = 404;
                res.set_content("<html><body>Not found</body></html>", "text/html");
                return;
            }
            route = it->second;
        }
        res.status = route.status;
        switch (route.mode) {
        case Mode::Normal:
            res.set_content(route.body, route.status == 200 ? "application/octet-stream" : "text/html");
            break;
        case Mode::Slow:
            for (size_t waited = 0; waited < route.sent && !stopping_; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            res.set_content(route.body, "application/octet-stream");
            break;
        case Mode::Stall:
            res.set_content_provider(
                route.body.size(), "application/octet-stream", [this](size_t, size_t, httplib::DataSink&) {
                    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                    while (!stopping_ && std::chrono::steady_clock::now() < until)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    return false;
                });
            break;
        case Mode::Cut: {
            auto body = std::make_shared<std::string>(route.body);
            const size_t sent = route.sent;
            res.set_content_provider(body->size(), "application/octet-stream",
                                     [body, sent](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset < sent)
                                             sink.write(body->data() + offset, sent - offset);
                                         return offset < sent;
                                     });
            break;
        }
        }
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Route> routes_;
    bool proxy_ = false;
    std::string proxyCredentials_;
    int proxyStatus_ = 0;
    std::vector<LoggedRequest> log_;
};

// Writes `reply` to every connection after its request head, then closes it.
class RawServer {
public:
    explicit RawServer(std::string reply) : reply_(std::move(reply))
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        ::listen(fd_, 8);
        thread_ = std::thread([this] { Run(); });
    }
    ~RawServer()
    {
        stopping_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    int Port() const { return port_; }
    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    void Run()
    {
        while (!stopping_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0)
                return;
            std::string head;
            char buf[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                head.append(buf, static_cast<size_t>(n));
            }
            ::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            ::shutdown(c, SHUT_RDWR);
            ::close(c);
        }
    }

    std::string reply_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A port nothing listens on (bound, then closed).
inline int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Clears the proxy variables of the environment for its lifetime, so that a
// developer's proxy never sees the loopback tests.
class ProxyEnvironmentGuard {
public:
    ProxyEnvironmentGuard()
    {
        for (const char* name : kNames) {
            if (const char* v = std::getenv(name))
                saved_.emplace_back(name, v);
            ::unsetenv(name);
        }
    }
    ~ProxyEnvironmentGuard()
    {
        for (const char* name : kNames)
            ::unsetenv(name);
        for (const auto& [name, value] : saved_)
            ::setenv(name.c_str(), value.c_str(), 1);
    }
    ProxyEnvironmentGuard(const ProxyEnvironmentGuard&) = delete;
    ProxyEnvironmentGuard& operator=(const ProxyEnvironmentGuard&) = delete;

private:
    static constexpr const char* kNames[] = {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                                             "all_proxy",  "ALL_PROXY",   "no_proxy",   "NO_PROXY"};
    std::vector<std::pair<std::string, std::string>> saved_;
};

} // namespace testhttp
