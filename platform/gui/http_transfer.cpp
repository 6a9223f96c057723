#include "platform/gui/http_transfer.h"

#include <curl/curl.h>

#include <mutex>

static_assert(CurlCode::UnsupportedProtocol == CURLE_UNSUPPORTED_PROTOCOL);
static_assert(CurlCode::UrlMalformat == CURLE_URL_MALFORMAT);
static_assert(CurlCode::CouldntResolveProxy == CURLE_COULDNT_RESOLVE_PROXY);
static_assert(CurlCode::CouldntResolveHost == CURLE_COULDNT_RESOLVE_HOST);
static_assert(CurlCode::CouldntConnect == CURLE_COULDNT_CONNECT);
static_assert(CurlCode::WeirdServerReply == CURLE_WEIRD_SERVER_REPLY);
static_assert(CurlCode::PartialFile == CURLE_PARTIAL_FILE);
static_assert(CurlCode::WriteError == CURLE_WRITE_ERROR);
static_assert(CurlCode::OperationTimedOut == CURLE_OPERATION_TIMEDOUT);
static_assert(CurlCode::SslConnectError == CURLE_SSL_CONNECT_ERROR);
static_assert(CurlCode::AbortedByCallback == CURLE_ABORTED_BY_CALLBACK);
static_assert(CurlCode::TooManyRedirects == CURLE_TOO_MANY_REDIRECTS);
static_assert(CurlCode::GotNothing == CURLE_GOT_NOTHING);
static_assert(CurlCode::SendError == CURLE_SEND_ERROR);
static_assert(CurlCode::RecvError == CURLE_RECV_ERROR);
static_assert(CurlCode::SslCertProblem == CURLE_SSL_CERTPROBLEM);
static_assert(CurlCode::SslCipher == CURLE_SSL_CIPHER);
static_assert(CurlCode::PeerFailedVerification == CURLE_PEER_FAILED_VERIFICATION);
static_assert(CurlCode::FileSizeExceeded == CURLE_FILESIZE_EXCEEDED);
static_assert(CurlCode::SslCacertBadfile == CURLE_SSL_CACERT_BADFILE);
static_assert(CurlCode::SslCrlBadfile == CURLE_SSL_CRL_BADFILE);
static_assert(CurlCode::SslIssuerError == CURLE_SSL_ISSUER_ERROR);
static_assert(CurlCode::SslInvalidCertStatus == CURLE_SSL_INVALIDCERTSTATUS);

namespace {

std::atomic<bool> g_stopAll{false};

struct TransferState {
    const HttpTransferRequest* request = nullptr;
    CURL* handle = nullptr;
    HttpTransferOutcome outcome;
    bool statusKnown = false;
    bool bodyWanted = false;
    bool tooLarge = false;
};

size_t OnWrite(char* data, size_t size, size_t count, void* user)
{
    auto* st = static_cast<TransferState*>(user);
    const size_t n = size * count;
    if (!st->statusKnown) {
        // Only the final answer reaches this callback (redirects and the
        // proxy's CONNECT answer do not), so its status decides for the body.
        long status = 0;
        curl_easy_getinfo(st->handle, CURLINFO_RESPONSE_CODE, &status);
        st->statusKnown = true;
        st->bodyWanted = status >= 200 && status <= 299;
    }
    if (!st->bodyWanted)
        return n;
    if (st->outcome.bodyBytes + static_cast<int64_t>(n) > st->request->maxBody) {
        st->tooLarge = true;
        return 0;
    }
    if (st->request->onBody && !st->request->onBody(data, n)) {
        st->outcome.bodyRefused = true;
        return 0;
    }
    st->outcome.bodyBytes += static_cast<int64_t>(n);
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* st = static_cast<TransferState*>(user);
    if (g_stopAll.load(std::memory_order_relaxed))
        return 1;
    if (st->request->shouldStop && st->request->shouldStop())
        return 1;
    return 0;
}

} // namespace

void HttpGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpTransferOutcome RunHttpTransfer(const HttpTransferRequest& request)
{
    HttpGlobalInit();
    TransferState st;
    st.request = &request;
    if (g_stopAll.load() || (request.shouldStop && request.shouldStop())) {
        st.outcome.curlCode = CURLE_ABORTED_BY_CALLBACK;
        return st.outcome;
    }
    CURL* h = curl_easy_init();
    if (!h) {
        st.outcome.curlCode = CURLE_FAILED_INIT;
        return st.outcome;
    }
    st.handle = h;
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(request.maxRedirects));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, request.timeouts.connectMs);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, request.timeouts.lowSpeedBytes);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, request.timeouts.lowSpeedSeconds);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnWrite);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &st);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &st);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    if (request.explicitProxy) {
        curl_easy_setopt(h, CURLOPT_PROXY, request.proxy.c_str());
        // No exceptions, whatever no_proxy says.
        curl_easy_setopt(h, CURLOPT_NOPROXY, "");
        if (request.proxyCredentials) {
            curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
            curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
        }
    }
    // Without an explicit proxy libcurl reads the proxy variables itself.

    const CURLcode rc = curl_easy_perform(h);
    st.outcome.curlCode = rc;
    if (st.tooLarge)
        st.outcome.curlCode = CURLE_FILESIZE_EXCEEDED;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &st.outcome.status);
    curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &st.outcome.connectStatus);
    curl_easy_cleanup(h);
    return st.outcome;
}

std::string CurlCodeText(int curlCode)
{
    return curl_easy_strerror(static_cast<CURLcode>(curlCode));
}

void StopHttpTransfers()
{
    g_stopAll = true;
}
void ResumeHttpTransfers()
{
    g_stopAll = false;
}
bool HttpTransfersStopped()
{
    return g_stopAll.load();
}
