// The request object on Linux, over libcurl (one easy handle per object).
//
// Where a caller can see it, it behaves as the Windows request object does:
//   - time-outs: without SetTimeouts, no resolve limit, 60 s to connect, 30 s
//     to send and 30 s to receive; a value of 0 or below means no limit;
//   - redirects followed (at most 10), never from https to http, unless
//     option 6 is 0;
//   - no proxy unless SetProxy(2, server) names one; the environment
//     (http_proxy, no_proxy, ...) is never read;
//   - request headers go out in the order they were set, a Cookie header
//     first; the object's own "Accept: */*" goes before them and its own
//     User-Agent after them, each only when the caller set none; nothing
//     else is added apart from Host, Content-Length and what the protocol
//     needs;
//   - the response body exactly as received (nothing decompressed), and the
//     header lines of the final response only, ending with an empty line;
//   - HTTP/1.1 throughout; TLS certificates verified against the system's
//     store (libcurl's default bundle), with no fallback to an unverified
//     connection.
// It is stricter in a few places: only http and https are fetched, for the
// first address and after every redirect; a request cannot outlast the sum
// of its four time-outs; a response body above 64 MiB or a response head
// above 64 KiB fails the request instead of exhausting memory; and a
// redirect to another origin does not carry the Cookie or Authorization
// header along.
//
// Every operation answers whether it succeeded. A request that fails on the
// wire leaves no response at all: the body and the headers read back empty.
//
// References: RFC 9110 (HTTP semantics, redirects, 407), RFC 9112 (HTTP/1.1
// message syntax), RFC 7617 (Basic authentication).
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/request_internal.h"

namespace brelk::platform {

namespace {

constexpr int32_t kDefaultConnectMs = 60000;
constexpr int32_t kDefaultSendMs = 30000;
constexpr int32_t kDefaultReceiveMs = 30000;
constexpr int kMaxRedirects = 10;
constexpr std::size_t kMaxBody = std::size_t{64} << 20;
constexpr std::size_t kMaxHead = std::size_t{64} << 10;
constexpr int32_t kOptionEnableRedirects = 6;
constexpr int32_t kProxySettingDefault = 0;
constexpr int32_t kProxySettingDirect = 1;
constexpr int32_t kProxySettingProxy = 2;

}  // namespace

struct RequestObject {
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  RequestSettings settings;
  std::string proxyUrl;       // curl's form of settings.proxy; empty: none
  bool proxyRefused = false;  // a proxy was asked for but not understood

  bool opened = false;
  std::string method;
  std::string url;  // as sent: ASCII, see WireUrl
  std::vector<std::pair<std::string, std::string>> headers;

  // The response of the transfer under way or done.
  bool responded = false;
  std::string body;
  std::vector<std::string> lines;  // header lines, without line ends
  std::size_t headBytes = 0;
};

namespace {

thread_local RequestSettings lastReleased;
thread_local bool failNextCreation = false;

std::once_flag curlStarted;
bool curlReady = false;

// StartCurl(): curl_global_init once per process, from whichever thread
// comes first; curl is never shut down.
bool StartCurl() noexcept {
  std::call_once(curlStarted, [] { curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return curlReady;
}

char Lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// UrlPart(): one part of an absolute address as curl's parser sees it, or
// empty when it does not parse. Schemes come back in lower case.
std::string UrlPart(std::string_view url, CURLUPart part, unsigned flags = 0) noexcept {
  std::string result;
  CURLU* parsed = curl_url();
  if (parsed == nullptr) std::abort();
  const std::string copy(url);
  char* value = nullptr;
  if (curl_url_set(parsed, CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_get(parsed, part, &value, flags) == CURLUE_OK) {
    result = value;
    curl_free(value);
  }
  curl_url_cleanup(parsed);
  return result;
}

bool FetchedScheme(std::string_view scheme) noexcept {
  return scheme == "http" || scheme == "https";
}

// Origin(): scheme, host and port of an address, for comparing two.
std::string Origin(std::string_view url) noexcept {
  std::string host = UrlPart(url, CURLUPART_HOST);
  for (char& c : host) c = Lower(c);
  return UrlPart(url, CURLUPART_SCHEME) + "://" + host + ":" +
         UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

const char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char byte) {
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

// WireUrl(): the GBK address as it goes on the wire. Characters outside
// ASCII are sent as the percent-encoded bytes of their UTF-8 form, the way
// the Windows request object sends them by default (its URL code page is
// UTF-8, and servers decode paths as UTF-8 today); spaces and control bytes
// are percent-encoded too. The rest stays as it is, so an address that is
// already encoded passes unchanged. A host name outside ASCII is not
// supported: encoded this way it names no host.
std::string WireUrl(const Text& url) noexcept {
  std::string_view bytes = url.view();
  std::string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      if (byte <= 0x20 || byte == 0x7F) {
        AppendEscaped(out, byte);
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    // A run of double-byte characters: a lead byte takes the next byte as
    // its trail, whatever it is.
    std::size_t end = i;
    while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x80) {
      end += end + 1 < bytes.size() ? 2 : 1;
    }
    const std::string run(bytes.substr(i, end - i));
    const int32_t runLength = static_cast<int32_t>(run.size());
    const int32_t units = MultiByteToWide(kCodePageGbk, 0, run.data(), runLength, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(units > 0 ? units : 0), u'\0');
    MultiByteToWide(kCodePageGbk, 0, run.data(), runLength, wide.data(), units);
    const int32_t size = WideToMultiByte(kCodePageUtf8, 0, wide.data(), units, nullptr, 0);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideToMultiByte(kCodePageUtf8, 0, wide.data(), units, utf8.data(), size);
    for (char c : utf8) AppendEscaped(out, static_cast<unsigned char>(c));
    i = end;
  }
  return out;
}

// Token(): whether text is a non-empty run of visible ASCII without
// separators that would change how a request line or header reads.
bool Token(std::string_view text) noexcept {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

void Append(curl_slist*& list, const std::string& line) noexcept {
  curl_slist* grown = curl_slist_append(list, line.c_str());
  if (grown == nullptr) std::abort();  // exhausted memory
  list = grown;
}

// What the Windows object sends of its own when the caller sets neither.
constexpr const char* kDefaultAccept = "Accept: */*";
constexpr const char* kDefaultUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

// IsSet(): whether the caller set a header of that name.
bool IsSet(const RequestObject& request, std::string_view name) noexcept {
  for (const auto& header : request.headers) {
    if (SameIgnoringCase(header.first, name)) return true;
  }
  return false;
}

// BuildHeaders(): curl's header list for one request: the default Accept,
// a Cookie header, the others in the order set, the default User-Agent.
// Away from the first origin the Cookie and Authorization headers stay
// behind. curl's own Expect and Content-Type headers are switched off
// unless the caller set them.
curl_slist* BuildHeaders(const RequestObject& request, bool sameOrigin) noexcept {
  curl_slist* list = nullptr;
  if (!IsSet(request, "Accept")) Append(list, kDefaultAccept);
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [name, value] : request.headers) {
      const bool cookie = SameIgnoringCase(name, "Cookie");
      if (cookie != (pass == 0)) continue;
      if (!sameOrigin && (cookie || SameIgnoringCase(name, "Authorization"))) continue;
      // "Name;" is curl's way to send a header with an empty value; "Name:"
      // would remove it.
      Append(list, value.empty() ? name + ";" : name + ": " + value);
    }
  }
  if (!IsSet(request, "User-Agent")) Append(list, kDefaultUserAgent);
  if (!IsSet(request, "Expect")) Append(list, "Expect:");
  if (!IsSet(request, "Content-Type")) Append(list, "Content-Type:");
  return list;
}

// MakeRoom(): room in the body for n more bytes. A declared length is
// reserved at once (up to the cap), so a body that keeps its word is never
// copied while it arrives; otherwise the room doubles, but never past the
// cap, so a body cut at the cap has held no more than the cap. Room that is
// reserved and not filled is address space, not memory.
void MakeRoom(RequestObject& request, size_t n) noexcept {
  std::string& body = request.body;
  const size_t needed = body.size() + n;
  curl_off_t declared = -1;
  curl_easy_getinfo(request.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
  size_t room = std::max(needed, std::min(2 * body.capacity(), kMaxBody));
  if (declared > 0 && static_cast<size_t>(declared) >= needed) {
    room = std::min(static_cast<size_t>(declared), kMaxBody);
  }
  body.reserve(room);
}

size_t OnBody(char* data, size_t size, size_t count, void* user) noexcept {
  auto& request = *static_cast<RequestObject*>(user);
  const size_t n = size * count;
  if (n > kMaxBody - request.body.size()) return 0;  // aborts the transfer
  if (n > request.body.capacity() - request.body.size()) MakeRoom(request, n);
  request.body.append(data, n);
  return n;
}

// OnHeader(): collects the header lines of the response under way. A status
// line starts a new response (an interim 1xx one is forgotten); continuation
// lines are joined to the line they continue. (curl itself fails a response
// whose head holds a zero byte.)
size_t OnHeader(char* data, size_t size, size_t count, void* user) noexcept {
  auto& request = *static_cast<RequestObject*>(user);
  const size_t n = size * count;
  std::string_view line(data, n);
  if (line.substr(0, 5) == "HTTP/") {
    request.lines.clear();
    request.headBytes = 0;
  }
  request.headBytes += n;
  if (request.headBytes > kMaxHead) return 0;  // aborts the transfer
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty() || line.substr(0, 5) == "HTTP/") return n;
  if ((line.front() == ' ' || line.front() == '\t') && !request.lines.empty()) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start != std::string_view::npos) {
      request.lines.back() += ' ';
      request.lines.back() += line.substr(start);
    }
  } else {
    request.lines.emplace_back(line);
  }
  return n;
}

void ForgetResponse(RequestObject& request) noexcept {
  request.responded = false;
  request.body.clear();
  request.lines.clear();
  request.headBytes = 0;
}

// ApplyConnectionSettings(): proxy and time-outs, the same for every hop.
// curl has no resolve phase of its own: name resolution counts against the
// connect limit. The receive limit is a low-speed limit (less than one byte
// a second for that long ends the transfer), and the whole request, however
// it trickles, ends at the sum of the four limits. Returns that sum in ms,
// 0 for no overall limit.
int64_t ApplyConnectionSettings(RequestObject& request) noexcept {
  CURL* easy = request.easy;
  const RequestSettings& s = request.settings;
  if (request.proxyUrl.empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
  } else {
    curl_easy_setopt(easy, CURLOPT_PROXY, request.proxyUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (s.credentialsSet) {
      curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, s.proxyUser.c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, s.proxyPassword.c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    }
  }

  const int64_t resolve = s.resolveMs > 0 ? s.resolveMs : 0;
  const int64_t connect = s.connectMs > 0 ? s.connectMs : 0;
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect > 0 ? connect + resolve : 0));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, s.receiveMs > 0 ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                   static_cast<long>(s.receiveMs > 0 ? (int64_t{s.receiveMs} + 999) / 1000 : 0));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 0L);
  if (s.connectMs <= 0 || s.sendMs <= 0 || s.receiveMs <= 0) return 0;
  return resolve + connect + s.sendMs + s.receiveMs;
}

// PrepareHop(): address, method, body and headers of one request of the
// redirect chain. A GET and a HEAD send no body.
void PrepareHop(RequestObject& request, const std::string& url, const std::string& method,
                const std::string& payload, bool sameOrigin) noexcept {
  CURL* easy = request.easy;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
  curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
  if (method == "GET") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(payload.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, payload.data());
    if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  curl_slist_free_all(request.headerList);
  request.headerList = BuildHeaders(request, sameOrigin);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request.headerList);
}

bool IsRedirect(long status) noexcept {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Send(): performs the request, following redirects one hop at a time so
// that each hop can be checked before it is made.
bool Send(RequestObject* request, std::string_view body) noexcept {
  if (request == nullptr) return false;
  RequestObject& r = *request;
  ForgetResponse(r);
  if (!r.opened || r.proxyRefused) return false;

  const int64_t totalMs = ApplyConnectionSettings(r);
  const auto start = std::chrono::steady_clock::now();
  const std::string firstOrigin = Origin(r.url);
  std::string url = r.url;
  std::string method = r.method;
  std::string payload(body);
  for (int hops = 0;; ++hops) {
    PrepareHop(r, url, method, payload, Origin(url) == firstOrigin);
    if (totalMs > 0) {
      const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      const int64_t left = totalMs - spent.count();
      if (left <= 0) return false;
      curl_easy_setopt(r.easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    }
    ForgetResponse(r);
    if (curl_easy_perform(r.easy) != CURLE_OK) {
      ForgetResponse(r);
      return false;
    }
    long status = 0;
    char* next = nullptr;
    char* current = nullptr;
    curl_easy_getinfo(r.easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(r.easy, CURLINFO_REDIRECT_URL, &next);
    curl_easy_getinfo(r.easy, CURLINFO_EFFECTIVE_URL, &current);
    if (!r.settings.followRedirects || !IsRedirect(status) || next == nullptr) break;
    const RedirectStep step = ClassifyRedirect(current != nullptr ? current : url, next);
    if (step == RedirectStep::kStop) break;
    if (step == RedirectStep::kRefuse || hops == kMaxRedirects) {
      ForgetResponse(r);
      return false;
    }
    // 303 turns every method but HEAD into GET; 301 and 302 turn a POST
    // into a GET, as browsers do; 307 and 308 keep method and body.
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
      method = "GET";
      payload.clear();
    }
    url = next;
  }
  r.responded = true;
  return true;
}

}  // namespace

RedirectStep ClassifyRedirect(std::string_view from, std::string_view to) noexcept {
  const std::string scheme = UrlPart(to, CURLUPART_SCHEME);
  if (!FetchedScheme(scheme)) return RedirectStep::kRefuse;
  if (scheme == "http" && UrlPart(from, CURLUPART_SCHEME) == "https") return RedirectStep::kStop;
  return RedirectStep::kFollow;
}

RequestSettings LastReleasedRequest() noexcept { return lastReleased; }

void FailNextRequestCreation() noexcept { failNextCreation = true; }

// On Linux the component runtime is only libcurl's process-wide start,
// made once and thread-safely; there is nothing to release per thread.
void InitComponentRuntime() noexcept { StartCurl(); }

void ReleaseComponentRuntime() noexcept {}

RequestObject* CreateRequestObject() noexcept {
  if (failNextCreation) {
    failNextCreation = false;
    return nullptr;
  }
  if (!StartCurl()) return nullptr;
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return nullptr;

  auto* request = new RequestObject;
  request->easy = easy;
  request->settings.connectMs = kDefaultConnectMs;
  request->settings.sendMs = kDefaultSendMs;
  request->settings.receiveMs = kDefaultReceiveMs;

  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBody));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, request);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, request);
  return request;
}

void ReleaseRequestObject(RequestObject* request) noexcept {
  if (request == nullptr) return;
  lastReleased = request->settings;
  curl_easy_cleanup(request->easy);
  curl_slist_free_all(request->headerList);
  delete request;
}

// SetTimeouts(): the four limits in ms, applied when the request is sent.
bool SetTimeouts(RequestObject* request, int32_t resolveMs, int32_t connectMs,
                 int32_t sendMs, int32_t receiveMs) noexcept {
  if (request == nullptr) return false;
  RequestSettings& s = request->settings;
  s.timeoutsSet = true;
  s.resolveMs = resolveMs;
  s.connectMs = connectMs;
  s.sendMs = sendMs;
  s.receiveMs = receiveMs;
  return true;
}

// SetProxy(): setting 2 sends every request through the HTTP proxy server
// ("host:port" or "http://host:port"); 0 and 1 go direct. A server that is
// not an HTTP proxy is refused, and a request of this object then fails
// rather than go out without the proxy that was asked for.
bool SetProxy(RequestObject* request, int32_t setting, const Text& server) noexcept {
  if (request == nullptr) return false;
  request->settings.proxy.clear();
  request->proxyUrl.clear();
  request->proxyRefused = false;
  if (setting == kProxySettingDefault || setting == kProxySettingDirect) return true;
  std::string_view given = server.view();
  const bool schemed = given.find("://") != std::string_view::npos;
  if (setting != kProxySettingProxy || !Token(given) || (schemed && !StartsIgnoringCase(given, "http://"))) {
    request->proxyRefused = true;
    return false;
  }
  request->settings.proxy = std::string(given);
  request->proxyUrl = schemed ? std::string(given) : "http://" + std::string(given);
  return true;
}

// SetProxyCredentials(): user and password (their bytes as given) answer the
// proxy's Basic or Digest challenge. They always go to the proxy and never
// to the server, whatever the flag says; the flag is only kept.
bool SetProxyCredentials(RequestObject* request, const Text& user,
                         const Text& password, int32_t flag) noexcept {
  if (request == nullptr) return false;
  RequestSettings& s = request->settings;
  s.credentialsSet = true;
  s.proxyUser = std::string(user.view());
  s.proxyPassword = std::string(password.view());
  s.credentialFlag = flag;
  return true;
}

// Open(): sets method and address of the request and forgets the headers
// and the response of an earlier one; the settings stay. Only synchronous
// requests, and only http and https addresses, are accepted.
bool Open(RequestObject* request, const Text& method, const Text& url, bool async) noexcept {
  if (request == nullptr) return false;
  RequestObject& r = *request;
  r.opened = false;
  r.headers.clear();
  ForgetResponse(r);
  if (async || !Token(method.view())) return false;
  std::string wire = WireUrl(url);
  if (!FetchedScheme(UrlPart(wire, CURLUPART_SCHEME)) || UrlPart(wire, CURLUPART_HOST).empty()) {
    return false;
  }
  r.method = std::string(method.view());
  r.url = std::move(wire);
  r.opened = true;
  return true;
}

// SetOption(): only option 6, redirect following (0: off, else on).
bool SetOption(RequestObject* request, int32_t index, int32_t value) noexcept {
  if (request == nullptr || index != kOptionEnableRedirects) return false;
  request->settings.followRedirects = value != 0;
  return true;
}

// SetRequestHeader(): adds a header to the opened request. A header with an
// empty name, a name holding a colon, or CR or LF anywhere is refused and
// never sent. Name and value go out as the bytes given.
bool SetRequestHeader(RequestObject* request, const Text& name, const Text& value) noexcept {
  if (request == nullptr || !request->opened) return false;
  std::string_view n = name.view(), v = value.view();
  if (n.empty() || n.find_first_of("\r\n:") != std::string_view::npos ||
      v.find_first_of("\r\n") != std::string_view::npos) {
    return false;
  }
  request->headers.emplace_back(n, v);
  return true;
}

// SendText(): sends the text's GBK bytes as they are for a body, like the
// header values: GBK is what this library's callers and the sites they talk
// to use, and form values are percent-encoded before they get here.
bool SendText(RequestObject* request, const Text& body) noexcept {
  return Send(request, body.view());
}

bool SendBytes(RequestObject* request, const ByteString& body) noexcept {
  return Send(request, body.view());
}

// ReadResponseBody(): the body of the final response, handed over rather
// than copied (a body can be 64 MiB): a second read gives the empty body.
// Empty and false when there is no response.
bool ReadResponseBody(RequestObject* request, ByteString& body) noexcept {
  if (request == nullptr || !request->responded) {
    body = ByteString();
    return false;
  }
  body = ByteString(std::move(request->body));
  request->body = std::string();
  return true;
}

// ReadAllResponseHeaders(): the header lines of the final response, each
// followed by CR LF, then an empty line, without the status line: the form
// the Windows object's GetAllResponseHeaders gives; empty and false when
// there is no response.
bool ReadAllResponseHeaders(RequestObject* request, Text& headers) noexcept {
  if (request == nullptr || !request->responded) {
    headers = Text();
    return false;
  }
  std::string all;
  for (const std::string& line : request->lines) all += line + "\r\n";
  all += "\r\n";
  headers = Text(std::move(all));
  return true;
}

}  // namespace brelk::platform
