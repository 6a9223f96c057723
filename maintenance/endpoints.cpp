#include "maintenance/endpoints.h"

#include <cstdlib>

#include "platform/ascii.h"
#include "platform/guarded_value.h"

#ifndef QEVW_UPDATE_HOST
#define QEVW_UPDATE_HOST "update.kalvo.example"
#endif
#ifndef QEVW_UPDATE_TEST_HOST
#define QEVW_UPDATE_TEST_HOST "update-test.kalvo.example"
#endif
#ifndef QEVW_WEB_HOST
#define QEVW_WEB_HOST "www.kalvo.example"
#endif
#ifndef QEVW_UPDATE_FRAGMENT
#define QEVW_UPDATE_FRAGMENT "update"
#endif
#ifndef QEVW_STATS_HOST
#define QEVW_STATS_HOST "stats.kalvo.example"
#endif
#ifndef QEVW_STATS_TEST_HOST
#define QEVW_STATS_TEST_HOST "stats-test.kalvo.example"
#endif

namespace {

std::string FromEnvironment(const char* name, const char* builtIn)
{
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string(builtIn);
}

GuardedValue<Endpoints>& Current()
{
    static GuardedValue<Endpoints>* value = [] {
        auto* v = new GuardedValue<Endpoints>;
        v->Exchange(Endpoints{FromEnvironment("QEVW_UPDATE_HOST", QEVW_UPDATE_HOST),
                              FromEnvironment("QEVW_UPDATE_TEST_HOST", QEVW_UPDATE_TEST_HOST),
                              FromEnvironment("QEVW_WEB_HOST", QEVW_WEB_HOST),
                              FromEnvironment("QEVW_UPDATE_FRAGMENT", QEVW_UPDATE_FRAGMENT),
                              FromEnvironment("QEVW_STATS_HOST", QEVW_STATS_HOST),
                              FromEnvironment("QEVW_STATS_TEST_HOST", QEVW_STATS_TEST_HOST)});
        return v;
    }();
    return *value;
}

} // namespace

Endpoints CurrentEndpoints()
{
    return Current().Get();
}

Endpoints ReplaceEndpoints(Endpoints endpoints)
{
    return Current().Exchange(std::move(endpoints));
}

std::string_view UrlHost(std::string_view url)
{
    const size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = rest.rfind('@'); at != std::string_view::npos)
        rest = rest.substr(at + 1);
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        return close == std::string_view::npos ? rest : rest.substr(0, close + 1);
    }
    return rest.substr(0, rest.find(':'));
}

bool IsUpdateServerUrl(std::string_view url, std::string_view fragment)
{
    if (fragment.empty())
        return false;
    const std::string host = AsciiLower(UrlHost(url));
    return host.find(AsciiLower(fragment)) != std::string::npos;
}

std::string ApplyUpdateServerRule(std::string_view url, std::string_view fragment)
{
    if (AsciiStartsWithIgnoreCase(url, "https://") && IsUpdateServerUrl(url, fragment))
        return "http://" + std::string(url.substr(8));
    return std::string(url);
}
