// The platform layer: the only code that differs between Linux and Windows.
//
// It offers the two platform services the library is written against, with
// the shape the Windows interfaces have, so that everything above it is one
// source for both builds:
//   - code-page conversion (MultiByteToWideChar / WideCharToMultiByte), for
//     code pages 936 (GBK) and 65001 (UTF-8);
//   - the HTTP request object ("WinHttp.WinHttpRequest.5.1") and the
//     component-runtime initialisation around it.
// On Windows these forward to the genuine interfaces; on Linux, ICU and
// libcurl stand in for them. Texts are handed over as GBK; each
// implementation converts them as its platform needs.
#ifndef BRELK_PLATFORM_PLATFORM_H_
#define BRELK_PLATFORM_PLATFORM_H_

#include <cstdint>

#include "text/text.h"

namespace brelk::platform {

constexpr uint32_t kCodePageGbk = 936;
constexpr uint32_t kCodePageUtf8 = 65001;
constexpr uint32_t kCompositeCheck = 0x200;  // WC_COMPOSITECHECK

// MultiByteToWide(): converts sourceLength bytes of source (-1: up to and
// including its zero byte) from codePage to UTF-16. With capacity 0 it only
// measures; otherwise it writes at most capacity units into out. Returns the
// number of units (written or needed), 0 on failure. Malformed input is
// replaced, never an error.
int32_t MultiByteToWide(uint32_t codePage, uint32_t flags, const char* source,
                        int32_t sourceLength, char16_t* out,
                        int32_t capacity) noexcept;

// WideToMultiByte(): converts sourceLength UTF-16 units (-1: up to and
// including a zero unit) to codePage, the same way round. Characters the code
// page cannot hold become its default character ("?" for 936).
int32_t WideToMultiByte(uint32_t codePage, uint32_t flags,
                        const char16_t* source, int32_t sourceLength,
                        char* out, int32_t capacity) noexcept;

// The request object. Every operation answers whether it succeeded; the
// request routine is written to go on whatever they answer.
struct RequestObject;

// InitComponentRuntime(), ReleaseComponentRuntime(): CoInitialize(NULL) and
// CoUninitialize on the calling thread, around every request.
void InitComponentRuntime() noexcept;
void ReleaseComponentRuntime() noexcept;

// CreateRequestObject(): a fresh object, or null when it cannot be created.
RequestObject* CreateRequestObject() noexcept;
void ReleaseRequestObject(RequestObject* request) noexcept;

bool SetTimeouts(RequestObject* request, int32_t resolveMs, int32_t connectMs,
                 int32_t sendMs, int32_t receiveMs) noexcept;
bool SetProxy(RequestObject* request, int32_t setting, const Text& server) noexcept;
bool SetProxyCredentials(RequestObject* request, const Text& user,
                         const Text& password, int32_t flag) noexcept;
bool Open(RequestObject* request, const Text& method, const Text& url,
          bool async) noexcept;
bool SetOption(RequestObject* request, int32_t index, int32_t value) noexcept;
bool SetRequestHeader(RequestObject* request, const Text& name,
                      const Text& value) noexcept;
bool SendText(RequestObject* request, const Text& body) noexcept;
bool SendBytes(RequestObject* request, const ByteString& body) noexcept;
// ReadResponseBody(): the response body. Read it once: an implementation
// may hand over its only copy rather than copy it (the Linux one does), and
// then a second read gives the empty body.
bool ReadResponseBody(RequestObject* request, ByteString& body) noexcept;
bool ReadAllResponseHeaders(RequestObject* request, Text& headers) noexcept;

}  // namespace brelk::platform

#endif  // BRELK_PLATFORM_PLATFORM_H_
