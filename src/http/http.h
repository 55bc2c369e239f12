// The HTTP layer: one general request routine over the platform's HTTP
// request object (WebRequest, WebRequestText), and the small parsers it needs
// for header lines and for bringing a cookie string up to date with the
// cookies a response sets.
//
// All values are GBK Text or raw ByteString (see text/text.h). Nothing here
// reports an error: a failed request is an empty body.
#ifndef BRELK_HTTP_HTTP_H_
#define BRELK_HTTP_HTTP_H_

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace brelk {

// ---------------------------------------------------------------------------
// Header lines and cookies

// HeaderName(): the trimmed text before the first ":", or empty when there is
// none. HeaderName("Location: /a:b") == "Location"
Text HeaderName(const Text& line) noexcept;

// HeaderValue(): the trimmed text after the first ":", or empty when there is
// none. HeaderValue("Location: /a:b") == "/a:b"
Text HeaderValue(const Text& line) noexcept;

// CookieName(): the trimmed text before the first "=", or the whole entry
// trimmed when it holds none. CookieName(" sid =1") == "sid"
Text CookieName(const Text& entry) noexcept;

// CookieNamePresent(): whether some item of list has CookieName() == name
// (case-sensitive).
bool CookieNamePresent(const TextList& list, const Text& name) noexcept;

// ListContains(): whether some item of list equals item as a whole.
bool ListContains(const TextList& list, const Text& item) noexcept;

// JoinDistinct(): the pieces of text (split at separator) without exact
// repeats, first occurrence kept, joined by separator.
//   JoinDistinct("a; b; a", "; ") == "a; b"
Text JoinDistinct(const Text& text, const Text& separator) noexcept;

// MergeCookies(): brings cookies up to date with receivedCookies. Both are
// in/out: blanks are removed from both, and cookies becomes the merged
// string: the received entries in order, then the sent entries whose names
// were not received, "=deleted" entries dropped, exact repeats dropped,
// joined by "; ". Returns a copy of the merged cookies.
//   cookies "a=0; x=9", received "a=1; b=2; " -> "a=1; b=2; x=9"
Text MergeCookies(Text& cookies, Text& receivedCookies) noexcept;

// ---------------------------------------------------------------------------
// The request routine

// The parameters of WebRequest after url. Every member has its left-out
// value; a null in/out or out pointer means the caller left it out (the
// routine writes to a scratch value). Designated initialisers read well:
//   WebRequest(url, {.method = 1, .bodyText = "a=1", .cookies = &jar});
struct WebRequestOptions {
  int32_t method = 0;                // 1: POST, anything else: GET
  Text bodyText{};                   // sent when bodyBytes is empty
  Text* cookies = nullptr;           // in/out: sent, then merged
  Text* receivedCookies = nullptr;   // out: this response's cookie pieces
  Text* headers = nullptr;           // in/out: request header lines
  Text* redirectTarget = nullptr;    // in/out: last "Location:" value
  bool noRedirect = false;           // true: return a redirect as it is
  ByteString bodyBytes{};            // sent instead of bodyText when set
  Text proxy{};                      // proxy server; empty: none
  Text* responseHeaders = nullptr;   // out: all response header lines
  int32_t timeoutSeconds = 0;        // -1: none set; < 1: 15 s
  Text proxyUser{};
  Text proxyPassword{};
  std::optional<int32_t> credentialFlag{};  // left out: 1 (WebRequest)
  bool acceptCompressed = false;     // ask for gzip; no UTF-8 conversion
};

// WebRequest(): performs one request and returns the response body,
// converted from UTF-8 to GBK when it declares "charset=utf-8". Any failure
// gives the empty body; see request.cpp for every step. The default header
// block names url as the Referer, with any CR and LF in it percent-encoded:
// an address cannot add header lines.
ByteString WebRequest(const Text& url, const WebRequestOptions& options = {}) noexcept;

// WebRequestText(): WebRequest() with the body as text (up to its first zero
// byte). Here a left-out credentialFlag is 0, and acceptCompressed is always
// treated as left out.
Text WebRequestText(const Text& url, const WebRequestOptions& options = {}) noexcept;

}  // namespace brelk

#endif  // BRELK_HTTP_HTTP_H_
