#pragma once
// The three network jobs of the start-up loader that keep the start page and
// the small "zlp" package current: the news feed into its cache file, the
// quarterly notice to the maker's web server, and the package "zlp.zip" of
// the update server unpacked into the data folder.  They report only through
// the run log and the settings of "[QEV news]".
//
// Threads: the loader thread (one job at a time); the cache path on any.

#include <string>

class FileSystemOps;
struct UpdateServices;

// The name of the cache in the private download folder.
inline constexpr const char* kNewsCacheName = "KALVO.rss";

// The jobs carry the names of the loader's forwarders (datastore/
// service_hooks.h), which reach them through the hooks AddNewsServices fills.
namespace news {

// The cache path (in the private download folder), empty without a usable
// data set or when the folder cannot be made.
void NewsCachePath(std::string& path);
std::string NewsCachePath();

// Fetches "/rss/" of the web host into the cache.  A reply that is empty or
// holds no "<rss" (a portal's page sent with 200) leaves the old cache and
// "BDATE=" as they were; so does a failed write (the run log says why).
void FetchNews();
void FetchNews(FileSystemOps& ops);

// The data set's quarter letter: "A" + (the digits after " 20" in the
// title, the third character left out) mod 26; "@" without " 20".
char QuarterLetter(const std::string& title);
// The quarterly notice; true when it changed the letter or asked the server.
bool FetchNewXml();

// The installation's short identifier (at most 8 base64url characters).
std::string InstallationTag();
// The same for a settings record and a user name (code page 1250).
std::string InstallationTagOf(const std::string& record, const std::string& userName);

// Refreshes "zlp.dat" of the data folder from the update server's
// "zlp.zip" when the server lists a size other than "ZLSIZE=".  Only the
// entry "zlp.dat" is taken from the package.
void UpdateZlpPackage();

} // namespace news

// Fills newsCachePath, fetchNews, fetchNewXml and updateZlpPackage.
void AddNewsServices(UpdateServices& services);
