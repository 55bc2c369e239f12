// Internal to the platform layer and its tests: the redirect rule of the
// request object, and two hooks that let tests see and steer what the
// request routine does with it. Nothing here is part of the library's face.
#ifndef BRELK_PLATFORM_REQUEST_INTERNAL_H_
#define BRELK_PLATFORM_REQUEST_INTERNAL_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace brelk::platform {

// What the request object does with a redirect response.
enum class RedirectStep {
  kFollow,  // request the new address
  kStop,    // return the redirect response itself (https to http)
  kRefuse,  // fail the request: the new address is not http or https
};

// ClassifyRedirect(): the step for a redirect from the absolute address
// `from` to the absolute address `to`. Only http and https are ever
// fetched, and a redirect never leaves https for http.
RedirectStep ClassifyRedirect(std::string_view from, std::string_view to) noexcept;

// The settings a request object was given, as they stood when it was
// released. Time-outs in ms; without SetTimeouts they are the defaults.
struct RequestSettings {
  bool timeoutsSet = false;
  int32_t resolveMs = 0;
  int32_t connectMs = 0;
  int32_t sendMs = 0;
  int32_t receiveMs = 0;
  std::string proxy;  // as given to SetProxy; empty: none
  bool credentialsSet = false;
  std::string proxyUser;
  std::string proxyPassword;
  int32_t credentialFlag = 0;
  bool followRedirects = true;
};

// LastReleasedRequest(): the settings of the last request object released
// on the calling thread (all defaults before the first).
RequestSettings LastReleasedRequest() noexcept;

// FailNextRequestCreation(): the next CreateRequestObject on the calling
// thread answers null, as when the platform cannot create the object.
void FailNextRequestCreation() noexcept;

}  // namespace brelk::platform

#endif  // BRELK_PLATFORM_REQUEST_INTERNAL_H_
