// Code-page conversion on Windows: the system's own MultiByteToWideChar and
// WideCharToMultiByte, called with exactly the code page, flags, lengths and
// capacities the caller gives. wchar_t is a 16-bit UTF-16 unit here, the same
// representation as char16_t.
#include <windows.h>

#include "platform/platform.h"

namespace brelk::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

// MultiByteToWide(): MultiByteToWideChar as it is. The caller owns out, which
// must hold capacity units (it may be null when capacity is 0).
int32_t MultiByteToWide(uint32_t codePage, uint32_t flags, const char* source,
                        int32_t sourceLength, char16_t* out,
                        int32_t capacity) noexcept {
  return MultiByteToWideChar(codePage, flags, source, sourceLength,
                             reinterpret_cast<wchar_t*>(out), capacity);
}

// WideToMultiByte(): WideCharToMultiByte with no default character of ours
// and no used-default indicator, which code page 65001 requires; for 936 the
// system's default character ("?") stands for what GBK cannot hold.
int32_t WideToMultiByte(uint32_t codePage, uint32_t flags,
                        const char16_t* source, int32_t sourceLength,
                        char* out, int32_t capacity) noexcept {
  return WideCharToMultiByte(codePage, flags,
                             reinterpret_cast<const wchar_t*>(source),
                             sourceLength, out, capacity, nullptr, nullptr);
}

}  // namespace brelk::platform
