#pragma once
// One HTTP(S) transfer over libcurl: one easy handle per call, nothing kept
// between calls.  The caller decides everything (URL, agent, proxy, limits);
// this layer only runs the transfer and tells what happened in libcurl's own
// terms.  The meaning of the outcome (result codes, files, texts) belongs to
// the HTTP client above.
//
// Threads: any thread; HttpGlobalInit must have run once before the first
// worker thread transfers (the program's start does it on the main thread).
// The body callback runs on the calling thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// curl_global_init, once per process.
void HttpGlobalInit();

// Limits of one transfer.  The connect time covers the name lookup; a
// transfer that moves fewer than `lowSpeedBytes` per second for
// `lowSpeedSeconds` is cut.  There is no limit on the whole transfer.
struct HttpTimeouts {
    long connectMs = 30000;
    long lowSpeedSeconds = 60;
    long lowSpeedBytes = 1;
};

struct HttpTransferRequest {
    std::string url;
    std::string agent;
    // How the proxy is chosen: the proxy variables of the environment
    // (http_proxy, https_proxy, no_proxy ...), or `proxy` for every host with
    // no exception (loopback included).
    bool explicitProxy = false;
    std::string proxy; // "host:port"
    bool proxyCredentials = false;
    std::string proxyUser;
    std::string proxyPassword;
    int maxRedirects = 5;
    HttpTimeouts timeouts;
    // Bodies of a final status 200-299 go here; false stops the transfer
    // (CURLE_WRITE_ERROR).  Without a callback the body is dropped.
    std::function<bool(const char* data, size_t size)> onBody;
    // Asked about once a second and on every piece; true stops the transfer
    // (CURLE_ABORTED_BY_CALLBACK).
    std::function<bool()> shouldStop;
    // A body longer than this stops the transfer (CURLE_FILESIZE_EXCEEDED).
    int64_t maxBody = INT64_MAX;
};

struct HttpTransferOutcome {
    int curlCode = 0;         // CURLcode
    long status = 0;          // final HTTP status (0 when none came)
    long connectStatus = 0;   // the proxy's answer to CONNECT (0 when none)
    int64_t bodyBytes = 0;    // bytes handed to onBody
    bool bodyRefused = false; // onBody answered false
};

HttpTransferOutcome RunHttpTransfer(const HttpTransferRequest& request);

// libcurl's text for a CURLcode.
std::string CurlCodeText(int curlCode);

// CURLcode values the client above maps (so that it needs no libcurl header).
namespace CurlCode {
constexpr int Ok = 0, UnsupportedProtocol = 1, UrlMalformat = 3, CouldntResolveProxy = 5,
              CouldntResolveHost = 6, CouldntConnect = 7, WeirdServerReply = 8, PartialFile = 18,
              WriteError = 23, OperationTimedOut = 28, SslConnectError = 35, AbortedByCallback = 42,
              TooManyRedirects = 47, GotNothing = 52, SendError = 55, RecvError = 56, SslCertProblem = 58,
              SslCipher = 59, PeerFailedVerification = 60, FileSizeExceeded = 63, SslCacertBadfile = 77,
              SslCrlBadfile = 82, SslIssuerError = 83, SslInvalidCertStatus = 91;
} // namespace CurlCode

// Every transfer of the process, running or to come, stops within about a
// second (the shut-down), until ResumeHttpTransfers.
void StopHttpTransfers();
void ResumeHttpTransfers();
bool HttpTransfersStopped();
