#include "maintenance/http_client.h"

#include <mutex>

#include "datastore/service_hooks.h"
#include "frame/config/config_file.h"
#include "maintenance/endpoints.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
#include "platform/net_interfaces.h"

namespace {

GuardedValue<std::string>& Suffix()
{
    static GuardedValue<std::string> s;
    return s;
}

GuardedValue<HttpTimeouts>& Timeouts()
{
    static GuardedValue<HttpTimeouts> t;
    return t;
}

// The URL with everything up to "://" removed and cut before its first "/".
std::string ProbeHost(const std::string& url)
{
    const size_t scheme = url.find("://");
    std::string host = scheme == std::string::npos ? url : url.substr(scheme + 3);
    return host.substr(0, host.find('/'));
}

HttpTransferRequest BaseRequest(const HttpSession& session, std::string url)
{
    HttpTransferRequest r;
    r.url = std::move(url);
    r.agent = session.agent;
    const uint16_t flags = session.settings.connectionFlags;
    r.explicitProxy = (flags & ConnectionFlag::UseProxy) != 0;
    r.proxy = session.settings.proxyAddress;
    r.proxyCredentials = r.explicitProxy && (flags & ConnectionFlag::ProxyCredentials) != 0;
    if (r.proxyCredentials) {
        r.proxyUser = session.settings.proxyUser;
        r.proxyPassword = session.settings.proxyPassword;
    }
    r.timeouts = Timeouts().Get();
    return r;
}

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 300: return "Multiple Choices";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 305: return "Use Proxy";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 410: return "Gone";
    case 411: return "Length Required";
    case 412: return "Precondition Failed";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 417: return "Expectation Failed";
    case 421: return "Misdirected Request";
    case 422: return "Unprocessable Content";
    case 425: return "Too Early";
    case 426: return "Upgrade Required";
    case 428: return "Precondition Required";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 451: return "Unavailable For Legal Reasons";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    case 511: return "Network Authentication Required";
    default: return nullptr;
    }
}

} // namespace

HttpSettings CurrentHttpSettings()
{
    HttpSettings s = Config().Read([](const ConfigValues& v) {
        HttpSettings out;
        out.connectionFlags = v.ConnectionFlags;
        out.urlScheme = v.UrlScheme();
        out.proxyAddress = v.ProxyAddress;
        out.proxyUser = v.ProxyUser;
        out.proxyPassword = v.ProxyPassword;
        return out;
    });
    s.updateFragment = CurrentEndpoints().updateFragment;
    return s;
}

std::string AgentName()
{
    return "qevw.exe";
}

void SetAgentSuffix(std::string suffix)
{
    Suffix().Exchange(std::move(suffix));
}

std::string AgentSuffixFor(uint32_t customer, const std::string& variant)
{
    if (customer < 1 || customer > 99999998)
        return {};
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08u", customer);
    return "-" + std::string(digits) + variant;
}

std::string AgentText()
{
    std::string out;
    for (char c : AgentName() + Suffix().Get()) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 32 && b != 127)
            out.push_back(c);
    }
    if (out.size() > 254)
        out.resize(254);
    return out;
}

HttpTimeouts SetHttpTimeouts(HttpTimeouts timeouts)
{
    return Timeouts().Exchange(timeouts);
}

int HttpResultOfOutcome(const HttpTransferOutcome& o, std::string_view url)
{
    if (o.curlCode == CurlCode::Ok) {
        if (o.status >= 200 && o.status <= 299)
            return HttpCode::Ok;
        return o.status > 0 ? static_cast<int>(o.status) : HttpCode::BadReply;
    }
    // A proxy that refused the tunnel: its answer is the result.
    if (o.connectStatus >= 300)
        return static_cast<int>(o.connectStatus);
    switch (o.curlCode) {
    case CurlCode::AbortedByCallback: return HttpCode::Stopped;
    case CurlCode::CouldntConnect: return HttpCode::Refused;
    case CurlCode::CouldntResolveHost:
    case CurlCode::CouldntResolveProxy: return HttpCode::NameNotFound;
    case CurlCode::OperationTimedOut: return HttpCode::Timeout;
    case CurlCode::PartialFile:
    case CurlCode::GotNothing:
    case CurlCode::SendError:
    case CurlCode::RecvError: return HttpCode::ConnectionCut;
    case CurlCode::UrlMalformat: return HttpCode::BadUrl;
    case CurlCode::UnsupportedProtocol:
        // libcurl says the same of a reply that is no HTTP at all.
        return AsciiStartsWithIgnoreCase(url, "http://") || AsciiStartsWithIgnoreCase(url, "https://")
                   ? HttpCode::BadReply
                   : HttpCode::OtherScheme;
    case CurlCode::WeirdServerReply: return HttpCode::BadReply;
    case CurlCode::TooManyRedirects: return HttpCode::RedirectLoop;
    case CurlCode::SslConnectError:
    case CurlCode::SslCertProblem:
    case CurlCode::SslCipher:
    case CurlCode::PeerFailedVerification:
    case CurlCode::SslCacertBadfile:
    case CurlCode::SslCrlBadfile:
    case CurlCode::SslIssuerError:
    case CurlCode::SslInvalidCertStatus: return HttpCode::SecureChannel;
    default: return HttpCode::CurlBase + o.curlCode;
    }
}

int HttpOpenConnection(const std::string& agent, const std::string& url, HttpSession& session)
{
    session.settings = CurrentHttpSettings();
    session.agent = agent;
    const uint16_t flags = session.settings.connectionFlags;
    if ((flags & ConnectionFlag::UseProxy) != 0) {
        // A proxy address without a host would send every request nowhere.
        const std::string& p = session.settings.proxyAddress;
        if (p.empty() || p.front() == ':')
            return HttpCode::ProxyFailure;
        if ((flags & ConnectionFlag::ProxyCredentials) != 0)
            return HttpProbeProxyAuth(session, url);
    }
    return HttpCode::Ok;
}

int HttpProbeProxyAuth(const HttpSession& session, const std::string& url)
{
    const bool update = IsUpdateServerUrl(url, session.settings.updateFragment);
    const std::string opened = ApplyUpdateServerRule(url, session.settings.updateFragment);
    std::string host = ProbeHost(url);
    // The URL's own port, else the one of the scheme it is opened with.
    if (UrlHost(url).size() == host.size() || host.back() == ']')
        host += AsciiStartsWithIgnoreCase(opened, "https://") ? ":443" : ":80";
    const std::string prefix = update ? "http://" : session.settings.urlScheme;
    const bool tunnel = AsciiStartsWithIgnoreCase(prefix, "https://");

    HttpSession bare = session;
    bare.settings.connectionFlags &= static_cast<uint16_t>(~ConnectionFlag::ProxyCredentials);
    const HttpTransferRequest probe = BaseRequest(bare, prefix + host + "/files/list.txt");
    const HttpTransferOutcome o = RunHttpTransfer(probe);
    const long status = tunnel ? o.connectStatus : o.status;
    if (status == 0)
        return o.curlCode == CurlCode::Ok ? HttpCode::BadReply : HttpResultOfOutcome(o, probe.url);
    if (status == 407 || status == 500) {
        // The proxy asks who we are: say it once; the answer is not examined.
        RunHttpTransfer(BaseRequest(session, probe.url));
        return HttpCode::Ok;
    }
    if (status == 200 || status == 404)
        return HttpCode::Ok;
    return static_cast<int>(status);
}

int HttpDownloadToFile(const std::string& url, const std::string& target,
                       const std::function<void(int64_t total)>& progress)
{
    HttpSession session;
    if (const int rc = HttpOpenConnection(AgentText(), url, session))
        return rc;
    FileSaver saver(target);
    if (saver.HasError())
        return saver.IoError();
    int64_t total = 0;
    HttpTransferRequest r = BaseRequest(session, ApplyUpdateServerRule(url, session.settings.updateFragment));
    r.onBody = [&](const char* data, size_t size) {
        if (!saver.Write(std::string_view(data, size)))
            return false;
        total += static_cast<int64_t>(size);
        if (progress)
            progress(total);
        return true;
    };
    const HttpTransferOutcome o = RunHttpTransfer(r);
    if (o.bodyRefused)
        return saver.IoError();
    if (const int rc = HttpResultOfOutcome(o, r.url))
        return rc; // the saver's temporary goes with it
    if (progress)
        progress(total);
    if (!saver.Commit())
        return saver.IoError();
    return HttpCode::Ok;
}

void HttpGetText(const std::string& url, int& code, std::string& text)
{
    text.clear();
    HttpSession session;
    code = HttpOpenConnection(AgentText(), url, session);
    if (code != 0)
        return;
    HttpTransferRequest r = BaseRequest(session, ApplyUpdateServerRule(url, session.settings.updateFragment));
    r.maxBody = kMaxHttpTextBytes;
    r.onBody = [&text](const char* data, size_t size) {
        text.append(data, size);
        return true;
    };
    code = HttpResultOfOutcome(RunHttpTransfer(r), r.url);
    if (code != 0)
        text.clear();
}

bool HttpGetStream(const std::string& url, std::string& stream, std::string& errorText)
{
    int code = 0;
    std::string text;
    HttpGetText(url, code, text);
    if (code == 0 && !text.empty()) {
        stream = std::move(text);
        errorText.clear();
        return true;
    }
    errorText = HttpErrorText(code);
    return false;
}

std::string HttpSystemText(int code)
{
    if (code >= 300 && code <= 599) {
        const char* phrase = ReasonPhrase(code);
        return phrase ? phrase : "HTTP error status";
    }
    switch (code) {
    case 0: return "The operation completed successfully.";
    case HttpCode::Timeout: return "The operation timed out.";
    case HttpCode::BadUrl: return "The URL is invalid.";
    case HttpCode::OtherScheme: return "The URL does not use a recognized protocol.";
    case HttpCode::NameNotFound: return "The server name or address could not be resolved.";
    case HttpCode::Stopped: return "The operation was canceled.";
    case HttpCode::Refused: return "A connection with the server could not be established.";
    case HttpCode::ConnectionCut: return "The connection with the server was terminated abnormally.";
    case HttpCode::BadReply: return "The server response could not be parsed.";
    case HttpCode::RedirectLoop: return "The redirection failed.";
    case HttpCode::SecureChannel: return "A security channel error occurred.";
    case IoResult::NotFound: return "The system cannot find the file specified.";
    case IoResult::PathNotFound: return "The system cannot find the path specified.";
    case IoResult::TooManyOpen: return "The system cannot open the file.";
    case IoResult::AccessDenied: return "Access is denied.";
    case IoResult::SharingViolation: return "The file is being used by another process.";
    case IoResult::ShortRead: return "Reached the end of the file.";
    case IoResult::ShortWrite: return "There is not enough space on the disk.";
    default: break;
    }
    if (code > IoResult::ErrnoBase && code < IoResult::ErrnoBase + 1000)
        return SystemErrorText(code - IoResult::ErrnoBase);
    if (code > HttpCode::CurlBase && code < HttpCode::CurlBase + 1000)
        return CurlCodeText(code - HttpCode::CurlBase);
    return "Unknown error.";
}

std::string HttpErrorText(int code)
{
    switch (code) {
    case HttpCode::ProxyFailure: return "chyba internetu / proxy";
    case HttpCode::NoSession: return "chyba internetu";
    case HttpCode::NoUrl: return "chyba serveru KALVO";
    case HttpCode::Refused: return "chyba pokusu o pripojeni k serveru KALVO (12029)";
    default: break;
    }
    std::string text = "chyba internetu " + std::to_string(code) + " " + HttpSystemText(code);
    if (text.size() > 255)
        text.resize(255);
    return text;
}

bool IsLoopbackHost(const std::string& hostIn)
{
    std::string host = AsciiLower(hostIn);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host == "localhost" || host == "::1")
        return true;
    return host.rfind("127.", 0) == 0 && host.find_first_not_of("0123456789.") == std::string::npos;
}

namespace {

bool IsGlobalIpv6(const std::string& address)
{
    const std::string a = AsciiLower(address);
    if (a == "::1" || a == "::")
        return false;
    auto starts = [&a](const char* p) { return a.rfind(p, 0) == 0; };
    // Link-local (fe80::/10), unique-local (fc00::/7) and multicast (ff00::/8).
    if (starts("fe8") || starts("fe9") || starts("fea") || starts("feb") || starts("fc") || starts("fd") ||
        starts("ff"))
        return false;
    return true;
}

} // namespace

bool NetworkLooksOnline(const std::vector<NetInterface>& interfaces,
                        const std::vector<std::string>& serverHosts)
{
    for (const NetInterface& n : interfaces) {
        if (!n.up || !n.running || n.loopback)
            continue;
        if (n.family == 4 || (n.family == 6 && IsGlobalIpv6(n.address)))
            return true;
    }
    for (const std::string& host : serverHosts) {
        if (IsLoopbackHost(host))
            return true;
    }
    return false;
}

int32_t HttpIsOnline()
{
    const Endpoints e = CurrentEndpoints();
    return NetworkLooksOnline(ListNetInterfaces(), {e.updateHost, e.updateTestHost, e.webHost}) ? 2 : 0;
}

int HttpFetchPicture(const std::string& url, std::string& bytes)
{
    int code = 0;
    HttpGetText(url, code, bytes);
    return code;
}

void InstallHttpServices()
{
    HttpGlobalInit();
    const UpdateSharedValues& shared = UpdateShared();
    if (std::string suffix = AgentSuffixFor(shared.CustomerNumber(), shared.ServerVariant()); !suffix.empty())
        SetAgentSuffix(std::move(suffix));
    UpdateServices services = CurrentUpdateServices();
    services.isOnline = [] { return HttpIsOnline(); };
    services.fetchPicture = [](const std::string& url, std::string& bytes) {
        return HttpFetchPicture(url, bytes);
    };
    SetUpdateServices(std::move(services));
}

void StopNetwork()
{
    StopHttpTransfers();
}
void ResumeNetwork()
{
    ResumeHttpTransfers();
}
