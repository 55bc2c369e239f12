// The request object on Windows: the COM automation object
// "WinHttp.WinHttpRequest.5.1", created by its ProgID and driven through
// IDispatch by member name (GetIDsOfNames, then Invoke), as a script would
// drive it. Arguments are automation values: texts as BSTR converted from
// code page 936, integers as VT_I4, booleans as VT_BOOL, a byte body as a
// one-dimensional SAFEARRAY of VT_UI1 with lower bound 1.
//
// Members of the object used here:
//   SetTimeouts(resolve, connect, send, receive)  4 x VT_I4, milliseconds
//   SetProxy(setting, server)                     VT_I4 2: named proxy server
//   Open(method, url, async)                      VT_BSTR, VT_BSTR, VT_BOOL
//   SetCredentials(user, password, flags)         only valid after Open
//   Option(index) = value                         property put
//   SetRequestHeader(name, value)                 VT_BSTR, VT_BSTR
//   Send(body)                                    VT_BSTR or VT_ARRAY|VT_UI1
//   ResponseBody                                  property get, VT_ARRAY|VT_UI1
//   GetAllResponseHeaders()                       VT_BSTR
// Member names are matched without regard to case; a member the object lacks
// makes the operation fail (DISP_E_UNKNOWNNAME), which the caller tolerates.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace brelk::platform {

// The object, and what was set on it before Open: Open makes those settings
// again (see Open()), and applies the proxy credentials.
struct RequestObject {
  IDispatch* object = nullptr;
  bool opened = false;
  bool sent = false;  // the last Send succeeded
  bool timeouts = false;
  int32_t timeoutMs[4] = {0, 0, 0, 0};
  bool proxy = false;
  int32_t proxySetting = 0;
  Text proxyServer;
  bool proxyCredentials = false;
  Text proxyUser;
  Text proxyPassword;
};

namespace {

constexpr int32_t kCredentialsForProxy = 1;  // HTTPREQUEST_SETCREDENTIALS_FOR_PROXY

// OutOfMemory(): exhausted memory stops the process, as everywhere else.
[[noreturn]] void OutOfMemory() noexcept { std::abort(); }

// TextVariant(): a VT_BSTR holding t converted from GBK; the empty text is
// an empty BSTR. The caller clears it (Call() does).
VARIANT TextVariant(const Text& t) noexcept {
  const int length = static_cast<int>(t.size());
  const int units =
      length == 0 ? 0 : MultiByteToWideChar(kCodePageGbk, 0, t.c_str(), length, nullptr, 0);
  BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(units));
  if (s == nullptr) OutOfMemory();
  if (units > 0) MultiByteToWideChar(kCodePageGbk, 0, t.c_str(), length, s, units);
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = s;
  return v;
}

// IntVariant(): a VT_I4.
VARIANT IntVariant(int32_t n) noexcept {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}

// BoolVariant(): an automation boolean (VARIANT_TRUE is -1).
VARIANT BoolVariant(bool b) noexcept {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// BytesVariant(): a VT_ARRAY|VT_UI1 holding a copy of bytes, one dimension,
// lower bound 1. The caller clears it (Call() does).
VARIANT BytesVariant(const ByteString& bytes) noexcept {
  SAFEARRAYBOUND bound;
  bound.cElements = static_cast<ULONG>(bytes.size());
  bound.lLbound = 1;
  SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
  if (array == nullptr) OutOfMemory();
  if (!bytes.empty()) {
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) OutOfMemory();
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_ARRAY | VT_UI1;
  V_ARRAY(&v) = array;
  return v;
}

// Call(): invokes the member called name as kind (DISPATCH_METHOD,
// DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT) with args in call order; a
// property put takes its value as the last of them. Takes args over and
// clears them. result, when not null, receives what the member returns and
// is the caller's to clear. Returns the HRESULT of the lookup or the call.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* args,
             UINT count, VARIANT* result) noexcept {
  constexpr UINT kMaxArgs = 4;
  HRESULT hr = E_INVALIDARG;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (object != nullptr && count <= kMaxArgs) {
    hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  }
  if (SUCCEEDED(hr)) {
    // Invoke takes the arguments last first; the value of a property put,
    // being last, then stands first, where its named DISPID_PROPERTYPUT
    // says it is.
    VARIANT reversed[kMaxArgs];
    for (UINT i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    params.rgvarg = count > 0 ? reversed : nullptr;
    params.cArgs = count;
    params.rgdispidNamedArgs = kind == DISPATCH_PROPERTYPUT ? &putId : nullptr;
    params.cNamedArgs = kind == DISPATCH_PROPERTYPUT ? 1 : 0;
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    UINT badArg = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result,
                        &exception, &badArg);
    if (hr == DISP_E_EXCEPTION) {
      if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
    }
  }
  for (UINT i = 0; i < count; ++i) VariantClear(&args[i]);
  return hr;
}

HRESULT ApplyTimeouts(RequestObject* request) noexcept {
  VARIANT args[] = {IntVariant(request->timeoutMs[0]), IntVariant(request->timeoutMs[1]),
                    IntVariant(request->timeoutMs[2]), IntVariant(request->timeoutMs[3])};
  return Call(request->object, L"SetTimeouts", DISPATCH_METHOD, args, 4, nullptr);
}

// ApplyProxy(): the setting and the server; no bypass list is passed.
HRESULT ApplyProxy(RequestObject* request) noexcept {
  VARIANT args[] = {IntVariant(request->proxySetting), TextVariant(request->proxyServer)};
  return Call(request->object, L"SetProxy", DISPATCH_METHOD, args, 2, nullptr);
}

// ApplyProxyCredentials(): hands the stored proxy credentials to the object.
HRESULT ApplyProxyCredentials(RequestObject* request) noexcept {
  VARIANT args[] = {TextVariant(request->proxyUser), TextVariant(request->proxyPassword),
                    IntVariant(kCredentialsForProxy)};
  return Call(request->object, L"SetCredentials", DISPATCH_METHOD, args, 3, nullptr);
}

}  // namespace

// InitComponentRuntime(): CoInitialize(NULL) on the calling thread. When the
// host has already put the thread into the multi-threaded apartment this
// fails (RPC_E_CHANGED_MODE); the thread keeps its apartment, in which the
// object works all the same.
void InitComponentRuntime() noexcept { CoInitialize(nullptr); }

// ReleaseComponentRuntime(): balances the InitComponentRuntime before it on
// this thread with CoUninitialize, but only when that one succeeded: an
// unbalanced CoUninitialize would undo the host's own initialisation. No
// state is kept between the two (nothing per thread that a DLL would have to
// clean up); a second CoInitialize tells what the first one did:
//   S_FALSE: the thread is in a single-threaded apartment, so the first one
//     succeeded; both are balanced.
//   S_OK: the thread had no apartment, the first one failed; only this one
//     is balanced.
//   RPC_E_CHANGED_MODE: the host's multi-threaded apartment, where the first
//     one failed as this one did; nothing to balance.
void ReleaseComponentRuntime() noexcept {
  const HRESULT probe = CoInitialize(nullptr);
  if (probe == S_FALSE) {
    CoUninitialize();
    CoUninitialize();
  } else if (probe == S_OK) {
    CoUninitialize();
  }
}

// CreateRequestObject(): CLSIDFromProgID and CoCreateInstance, asking for
// IDispatch. Null when the ProgID is unknown or creation fails (also when the
// component runtime is not initialised on this thread).
RequestObject* CreateRequestObject() noexcept {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &clsid))) return nullptr;
  IDispatch* object = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(&object));
  if (FAILED(hr) || object == nullptr) return nullptr;
  RequestObject* request = new RequestObject;
  request->object = object;
  return request;
}

// ReleaseRequestObject(): releases the object; null does nothing.
void ReleaseRequestObject(RequestObject* request) noexcept {
  if (request == nullptr) return;
  if (request->object != nullptr) request->object->Release();
  delete request;
}

bool SetTimeouts(RequestObject* request, int32_t resolveMs, int32_t connectMs,
                 int32_t sendMs, int32_t receiveMs) noexcept {
  if (request == nullptr) return false;
  request->timeouts = true;
  request->timeoutMs[0] = resolveMs;
  request->timeoutMs[1] = connectMs;
  request->timeoutMs[2] = sendMs;
  request->timeoutMs[3] = receiveMs;
  return SUCCEEDED(ApplyTimeouts(request));
}

bool SetProxy(RequestObject* request, int32_t setting, const Text& server) noexcept {
  if (request == nullptr) return false;
  request->proxy = true;
  request->proxySetting = setting;
  request->proxyServer = server;
  return SUCCEEDED(ApplyProxy(request));
}

// SetProxyCredentials(): the object has no member of this name. Its
// SetCredentials(user, password, flags) with flags 1 (for the proxy) does
// the job, but the object refuses it before Open; so the credentials are
// kept here and handed over right after Open (at once when Open has already
// been made). They always go to the proxy: flag is not passed on, because
// SetCredentials' other setting (0) would send the proxy's user name and
// password to the server the request is addressed to.
bool SetProxyCredentials(RequestObject* request, const Text& user,
                         const Text& password, int32_t flag) noexcept {
  (void)flag;
  if (request == nullptr) return false;
  request->proxyCredentials = true;
  request->proxyUser = user;
  request->proxyPassword = password;
  if (request->opened) return SUCCEEDED(ApplyProxyCredentials(request));
  return true;
}

// Open(): Open(method, url, async); then the time-outs and the proxy set
// before it once more, and the proxy credentials, if any. Windows keeps
// settings made before Open, but Wine's object puts time-outs and proxy back
// to its defaults in Open, and making them again is harmless on Windows.
// Succeeds when all of these did.
bool Open(RequestObject* request, const Text& method, const Text& url,
          bool async) noexcept {
  if (request == nullptr) return false;
  VARIANT args[] = {TextVariant(method), TextVariant(url), BoolVariant(async)};
  if (FAILED(Call(request->object, L"Open", DISPATCH_METHOD, args, 3, nullptr))) return false;
  request->opened = true;
  bool ok = true;
  if (request->timeouts) ok = SUCCEEDED(ApplyTimeouts(request)) && ok;
  if (request->proxy) ok = SUCCEEDED(ApplyProxy(request)) && ok;
  if (request->proxyCredentials) ok = SUCCEEDED(ApplyProxyCredentials(request)) && ok;
  return ok;
}

// SetOption(): writes the Option property at index with an integer value.
bool SetOption(RequestObject* request, int32_t index, int32_t value) noexcept {
  if (request == nullptr) return false;
  VARIANT args[] = {IntVariant(index), IntVariant(value)};
  return SUCCEEDED(Call(request->object, L"Option", DISPATCH_PROPERTYPUT, args, 2, nullptr));
}

bool SetRequestHeader(RequestObject* request, const Text& name,
                      const Text& value) noexcept {
  if (request == nullptr) return false;
  VARIANT args[] = {TextVariant(name), TextVariant(value)};
  return SUCCEEDED(
      Call(request->object, L"SetRequestHeader", DISPATCH_METHOD, args, 2, nullptr));
}

// SendText(): Send with the body as a BSTR; the object chooses how it puts
// the characters on the wire.
bool SendText(RequestObject* request, const Text& body) noexcept {
  if (request == nullptr) return false;
  VARIANT args[] = {TextVariant(body)};
  request->sent = SUCCEEDED(Call(request->object, L"Send", DISPATCH_METHOD, args, 1, nullptr));
  return request->sent;
}

// SendBytes(): Send with the body as an array of bytes, sent as they are.
bool SendBytes(RequestObject* request, const ByteString& body) noexcept {
  if (request == nullptr) return false;
  VARIANT args[] = {BytesVariant(body)};
  request->sent = SUCCEEDED(Call(request->object, L"Send", DISPATCH_METHOD, args, 1, nullptr));
  return request->sent;
}

// ReadResponseBody(): body becomes the bytes of the ResponseBody array
// (whatever its lower bound), or empty when the read fails or yields no
// array of bytes; an empty value counts as an empty body. Without a
// successful Send there is no body and the object is not asked: Windows
// refuses the read then, and Wine's object crashes on it after a Send that
// failed part way through the body.
bool ReadResponseBody(RequestObject* request, ByteString& body) noexcept {
  body = ByteString();
  if (request == nullptr || !request->sent) return false;
  VARIANT result;
  VariantInit(&result);
  bool ok = SUCCEEDED(
      Call(request->object, L"ResponseBody", DISPATCH_PROPERTYGET, nullptr, 0, &result));
  if (ok && V_VT(&result) == (VT_ARRAY | VT_UI1) && V_ARRAY(&result) != nullptr &&
      SafeArrayGetDim(V_ARRAY(&result)) == 1) {
    SAFEARRAY* array = V_ARRAY(&result);
    LONG lower = 0, upper = -1;
    void* data = nullptr;
    ok = SUCCEEDED(SafeArrayGetLBound(array, 1, &lower)) &&
         SUCCEEDED(SafeArrayGetUBound(array, 1, &upper)) &&
         SUCCEEDED(SafeArrayAccessData(array, &data));
    if (ok) {
      const LONG64 count = LONG64{upper} - lower + 1;
      if (count > 0) {
        body = ByteString(std::string(static_cast<const char*>(data),
                                      static_cast<std::size_t>(count)));
      }
      SafeArrayUnaccessData(array);
    }
  } else if (ok) {
    ok = V_VT(&result) == VT_EMPTY || V_VT(&result) == VT_NULL;
  }
  VariantClear(&result);
  return ok;
}

// ReadAllResponseHeaders(): headers becomes GetAllResponseHeaders converted
// to GBK (characters GBK lacks become "?"), or empty when the call fails.
bool ReadAllResponseHeaders(RequestObject* request, Text& headers) noexcept {
  headers = Text();
  if (request == nullptr) return false;
  VARIANT result;
  VariantInit(&result);
  bool ok = SUCCEEDED(
      Call(request->object, L"GetAllResponseHeaders", DISPATCH_METHOD, nullptr, 0, &result));
  if (ok && V_VT(&result) == VT_BSTR) {
    const BSTR wide = V_BSTR(&result);
    const int units = static_cast<int>(SysStringLen(wide));
    const int size =
        units == 0 ? 0
                   : WideCharToMultiByte(kCodePageGbk, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
      std::string gbk(static_cast<std::size_t>(size), '\0');
      WideCharToMultiByte(kCodePageGbk, 0, wide, units, gbk.data(), size, nullptr, nullptr);
      headers = Text(std::move(gbk));
    }
  } else if (ok) {
    ok = V_VT(&result) == VT_EMPTY;
  }
  VariantClear(&result);
  return ok;
}

}  // namespace brelk::platform
