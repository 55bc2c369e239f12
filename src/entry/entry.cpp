// The export and the retained result.
#include <mutex>

#include "brelk.h"
#include "entry/entry.h"
#include "resolve/resolve.h"

namespace brelk {
namespace {

// The host contract forbids overlapping calls, so the lock is not needed for
// correct hosts; it keeps a misbehaving one from freeing the same text twice.
std::mutex retainedLock;
Text* retainedResult = nullptr;

}  // namespace

void ReleaseRetainedResult() noexcept {
  std::lock_guard<std::mutex> lock(retainedLock);
  delete retainedResult;
  retainedResult = nullptr;
}

}  // namespace brelk

extern "C" const char* BRELK_CALL Analysis_1000eb(const char* shareAddress) {
  using namespace brelk;
  // The private copy is made before anything is released: the argument may
  // be the previous result.
  const Text address(shareAddress);
  Text result = ResolveShareLink(address);

  Text* fresh = result.empty() ? nullptr : new Text(std::move(result));
  Text* previous;
  {
    std::lock_guard<std::mutex> lock(retainedLock);
    previous = retainedResult;
    retainedResult = fresh;
  }
  delete previous;
  return fresh == nullptr ? nullptr : fresh->c_str();
}
