// The web request routine: one HTTP request over the platform's request
// object, with the caller's header lines, cookies, proxy, time-outs and
// redirect switch, and a body that declares UTF-8 turned into GBK.
//
// The steps below run in the order the request object needs them; each
// operation's answer is ignored on purpose: a step that fails leaves its
// result empty and the next step goes on, so a failed request shows only as
// an empty body.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "http/http.h"
#include "platform/platform.h"

namespace brelk {

namespace {

const char kDefaultHeadersAfterReferer[] =
    "\r\nAccept: */*"
    "\r\nAccept-Language: zh-cn"
    "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; KQ7VX; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)"
    "\r\nContent-Type: application/x-www-form-urlencoded";

const char kCompressionLine[] = "\r\nAccept-Encoding: gzip, deflate";

constexpr int32_t kDefaultTimeoutMs = 15000;
constexpr int32_t kUtf8DeclarationLimit = 500;  // 1-based start must be below
const Text kUtf8Marker = "charset=utf-8";

// TimeoutMs(): seconds as whole milliseconds, computed in floating point and
// truncated toward zero. A product beyond the 32-bit range is held at
// INT32_MAX (about 24.8 days), the longest limit the object can be given.
int32_t TimeoutMs(int32_t seconds) noexcept {
  const double ms = std::trunc(static_cast<double>(seconds) * 1000.0);
  if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(ms);
}

// SetHeaderLine(): hands one header line to the object as name and value; a
// line without ":" gives an empty name, which the object refuses.
void SetHeaderLine(platform::RequestObject* request, const Text& line) noexcept {
  platform::SetRequestHeader(request, HeaderName(line), HeaderValue(line));
}

// RefererValue(): url as the Referer of the default header block, with
// every CR and LF percent-encoded as the request line sends them. The block
// is split into lines at CR LF, so an address holding one (a share page's
// value can put one there) would otherwise add header lines of its own.
Text RefererValue(const Text& url) noexcept {
  if (url.view().find_first_of("\r\n") == std::string_view::npos) return url;
  std::string value;
  value.reserve(url.size() + 8);
  for (char c : url.view()) {
    if (c == '\r') {
      value += "%0D";
    } else if (c == '\n') {
      value += "%0A";
    } else {
      value += c;
    }
  }
  return Text(std::move(value));
}

}  // namespace

// WebRequest(): see http.h. Left-out in/out and out parameters are written
// to scratch values. When the request object cannot be created nothing is
// written and the body is empty.
ByteString WebRequest(const Text& url, const WebRequestOptions& options) noexcept {
  Text scratchCookies, scratchReceived, scratchHeaders, scratchRedirect, scratchResponse;
  Text& cookies = options.cookies != nullptr ? *options.cookies : scratchCookies;
  Text& receivedCookies = options.receivedCookies != nullptr ? *options.receivedCookies : scratchReceived;
  Text& headers = options.headers != nullptr ? *options.headers : scratchHeaders;
  Text& redirectTarget = options.redirectTarget != nullptr ? *options.redirectTarget : scratchRedirect;
  Text& responseHeaders = options.responseHeaders != nullptr ? *options.responseHeaders : scratchResponse;
  const int32_t credentialFlag = options.credentialFlag.value_or(1);

  // 1. The component runtime, for this thread.
  platform::InitComponentRuntime();

  // 2. The method text.
  const Text method = options.method == 1 ? "POST" : "GET";

  // 3. A fresh request object; without one, nothing more happens.
  platform::RequestObject* request = platform::CreateRequestObject();
  if (request == nullptr) {
    platform::ReleaseComponentRuntime();
    return ByteString();
  }

  // 4. Time-outs: -1 keeps the object's own; below 1 means 15 s.
  if (options.timeoutSeconds != -1) {
    const int32_t t = options.timeoutSeconds < 1 ? kDefaultTimeoutMs : TimeoutMs(options.timeoutSeconds);
    platform::SetTimeouts(request, t, t, t, t);
  }

  // 5. Proxy, and its credentials only with a proxy.
  if (!options.proxy.empty()) {
    platform::SetProxy(request, 2, options.proxy);
    if (!options.proxyUser.empty()) {
      platform::SetProxyCredentials(request, options.proxyUser, options.proxyPassword, credentialFlag);
    }
  }

  // 6. Open, synchronous.
  platform::Open(request, method, url, false);

  // 7. Redirect following off on request.
  if (options.noRedirect) platform::SetOption(request, 6, 0);

  // 8. The default header block, with the address as Referer.
  if (headers.empty()) headers = ConcatText(Text("Referer: "), RefererValue(url), kDefaultHeadersAfterReferer);

  // 9. The compression line.
  if (options.acceptCompressed) headers = ConcatText(headers, kCompressionLine);

  // 10. Cookies before the header lines.
  if (!cookies.empty()) platform::SetRequestHeader(request, "Cookie", cookies);

  // 11. The header lines: one line as it is, or the non-empty pieces.
  if (FindText(headers, "\r\n") == -1) {
    SetHeaderLine(request, headers);
  } else {
    const TextList lines = SplitText(headers, "\r\n");
    for (int32_t i = 1; i <= ListCount(lines); ++i) {
      if (!ListItem(lines, i).empty()) SetHeaderLine(request, ListItem(lines, i));
    }
  }

  // 12. Send the byte body when there is one, else the text body.
  if (!options.bodyBytes.empty()) {
    platform::SendBytes(request, options.bodyBytes);
  } else {
    platform::SendText(request, options.bodyText);
  }

  // 13. The body.
  ByteString body;
  platform::ReadResponseBody(request, body);

  // 14. The response headers, replacing the caller's value.
  responseHeaders = Text();
  platform::ReadAllResponseHeaders(request, responseHeaders);

  // 15. Scan the header lines for the redirect target and for cookies.
  // The pieces are gathered in one buffer: a server may send thousands.
  std::string received;
  const TextList lines = SplitText(responseHeaders, "\r\n");
  for (int32_t i = 1; i <= ListCount(lines); ++i) {
    const Text& line = ListItem(lines, i);
    if (FindText(line, "Location:") != -1) redirectTarget = HeaderValue(line);
    if (FindText(line, "Set-Cookie") != -1) {
      received.append(TrimBoth(ExtractMiddle(line, "Set-Cookie:", ";")).view()).append("; ");
    }
  }
  receivedCookies = Text(std::move(received));

  // 16. Merge the received cookies into the caller's; the copy returned is
  // not needed.
  MergeCookies(cookies, receivedCookies);

  // 17. Without a redirect target, the whole response headers stand in.
  if (redirectTarget.empty()) redirectTarget = responseHeaders;

  // 18. A body that declares UTF-8 near its start, or whose headers do,
  // becomes GBK; a compressed body is left alone.
  if (!options.acceptCompressed) {
    // Only a declaration that starts below the limit counts, so only the
    // bytes it can take up are searched, not a page of many megabytes.
    const int32_t declared = FindBytes(BytesLeft(body, kUtf8DeclarationLimit - 2 + TextLength(kUtf8Marker)),
                                       TextToBytes(kUtf8Marker));
    if ((declared != -1 && declared < kUtf8DeclarationLimit) ||
        FindText(responseHeaders, kUtf8Marker) != -1) {
      body = Utf8ToGbk(body);
    }
  }

  // 19. Release the object, then the runtime.
  platform::ReleaseRequestObject(request);
  platform::ReleaseComponentRuntime();

  // 20. The body.
  return body;
}

// WebRequestText(): WebRequest() with the body cut at its first zero byte.
// Here a left-out credential flag is 0, and the body is never asked for
// compressed.
Text WebRequestText(const Text& url, const WebRequestOptions& options) noexcept {
  WebRequestOptions textOptions = options;
  textOptions.credentialFlag = options.credentialFlag.value_or(0);
  textOptions.acceptCompressed = false;
  return BytesToText(WebRequest(url, textOptions));
}

}  // namespace brelk
