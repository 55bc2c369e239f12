// The library boundary: the one export (declared in include/brelk.h), the
// result it keeps alive for the host, and the unload action that frees it.
//
// RetainedResult is the only state that survives a call: the text last
// returned, or nothing. The next call replaces it only after its own
// resolution has finished, so a host may pass the previous result back in.
#ifndef BRELK_ENTRY_ENTRY_H_
#define BRELK_ENTRY_ENTRY_H_

namespace brelk {

// ReleaseRetainedResult(): frees the retained result, if any. Runs once when
// the library is unloaded; safe to run when nothing was ever returned.
void ReleaseRetainedResult() noexcept;

}  // namespace brelk

#endif  // BRELK_ENTRY_ENTRY_H_
