// The fixture site: a stand-in for the file host, served by the loopback
// server. It answers share pages on the share host and the download-list
// endpoint on the download-list host, the way the real service does:
//
//   GET http://1000eb.com/f/4096        a share page whose script text holds
//                                       the file's values
//   GET http://www.1000eb.com/ajax/downloads.ashx?id=...&_=1404833400041
//                                       a reply whose thunderDX link carries
//                                       the direct address, Base64-encoded
//                                       and framed by two bytes at each end
//
// The endpoint checks the query it receives byte for byte against the one
// the share page must lead to, and answers anything else without a link.
#ifndef BRELK_TESTS_SUPPORT_FIXTURE_SITE_H_
#define BRELK_TESTS_SUPPORT_FIXTURE_SITE_H_

#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace brelk::fixture {

// Host names the site answers for; a private network maps them to 127.0.0.1.
inline constexpr const char* kShareHost = "1000eb.com";
inline constexpr const char* kDownloadListHost = "www.1000eb.com";
inline constexpr const char* kFileHost = "dl3.1000eb.com";

struct Share {
  std::string address;        // the share-page address a host passes in
  std::string directAddress;  // GBK: what a resolution must return; empty: none
  std::string query;          // the download-list query the page leads to
};

// The shares the site serves:
//   Utf8Share()      a UTF-8 page with a non-ASCII file name
//   GbkShare()       a GBK page whose direct address is GBK text
//   RedirectShare()  a short address that redirects to the UTF-8 page
//   CookieShare()    a GBK page served with Set-Cookie headers
//   GoneShare()      a page whose download-list reply holds no link
//   OddValuesShare() a page whose values hold "&", "#", spaces and CR LF;
//                    its query is the part of the address that is sent
Share Utf8Share();
Share GbkShare();
Share RedirectShare();
Share CookieShare();
Share GoneShare();
Share OddValuesShare();

// AllHostNames(): every name the site answers for.
std::vector<std::string> AllHostNames();

// Site(): the handler that serves all of the above.
loopback::Handler Site();

}  // namespace brelk::fixture

#endif  // BRELK_TESTS_SUPPORT_FIXTURE_SITE_H_
