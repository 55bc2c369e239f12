// Share-link resolution: from the address of a share page on the file host
// to the direct download address of the shared file.
//
// ResolveShareLink fetches the share page, cuts the file's values out of its
// script text, asks the download-list endpoint and hands the reply to
// DecodeDownloadReply, which takes the Base64 link after "thunderDX:'" apart.
#ifndef BRELK_RESOLVE_RESOLVE_H_
#define BRELK_RESOLVE_RESOLVE_H_

#include <cstdint>
#include <vector>

#include "text/text.h"

namespace brelk {

// ResolveTrace: what a resolution saw at each step, for a person looking for
// the step at which it failed. Filling it changes nothing the pipeline does.
struct ResolveTrace {
  struct Value {
    Text key;        // the query key: "id", "e", ...
    Text extracted;  // as cut out of the page
    Text joined;     // as written into the address (percent-encoded or not)
  };
  int32_t pageSize = 0;   // bytes of the share page's text
  std::vector<Value> values;
  Text downloadListAddress;
  int32_t replySize = 0;  // bytes of the download-list reply's text
  Text link;              // the text after "thunderDX:'" up to the next "'"
  Text decoded;           // the link's body, Base64-decoded, as text
};

// The server that answers download-list requests, whatever host served the
// share page.
inline constexpr const char* kDownloadListPrefix =
    "http://www.1000eb.com/ajax/downloads.ashx?id=";

// DownloadListAddress(): the address of the download-list request for a share
// page's text: the eight values cut out of the page by marker search, five of
// them percent-encoded, joined after kDownloadListPrefix in the fixed order,
// with the fixed pair "&_=1404833400041" last. A value whose markers are
// missing is empty and still written with its "=". An empty page gives
//   kDownloadListPrefix + "&e=&d=&tdxsrv=&tltsrv=&delay=&n=&t=&_=1404833400041"
Text DownloadListAddress(const Text& page, ResolveTrace* trace = nullptr) noexcept;

// ResolveShareLink(): the direct download address behind a share-page
// address, or empty. Always makes both requests, one after the other: the
// share page, then the download-list address built from its text (nothing
// else passes from the first to the second; no cookie). The address is used
// as given, neither parsed nor checked.
Text ResolveShareLink(const Text& shareAddress, ResolveTrace* trace = nullptr) noexcept;

// StripScheme(): the link after its first "//" (the whole link when there is
// none), without one trailing "/".
//   StripScheme("sch://abc/") == "abc"
Text StripScheme(const Text& link) noexcept;

// DecodeDownloadReply(): the direct download address carried by a
// download-list reply, or empty. The link after "thunderDX:'" is stripped of
// its scheme, Base64-decoded up to the first zero byte, cut by two bytes at
// each end, and every "%25" becomes "%".
//   DecodeDownloadReply("thunderDX:'QUF4Wlo='") == "x"
Text DecodeDownloadReply(const Text& reply) noexcept;

}  // namespace brelk

#endif  // BRELK_RESOLVE_RESOLVE_H_
