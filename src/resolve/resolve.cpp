// The resolution pipeline: share page, download-list request, reply.
#include "http/http.h"
#include "resolve/resolve.h"

namespace brelk {

Text ResolveShareLink(const Text& shareAddress, ResolveTrace* trace) noexcept {
  // No step checks for failure: a failed request is an empty text, a missing
  // marker an empty value, and the second request is made all the same.
  const Text page = WebRequestText(shareAddress);
  if (trace != nullptr) trace->pageSize = TextLength(page);

  const Text address = DownloadListAddress(page, trace);
  if (trace != nullptr) trace->downloadListAddress = address;

  const Text reply = WebRequestText(address);
  const Text result = DecodeDownloadReply(reply);
  if (trace != nullptr) {
    trace->replySize = TextLength(reply);
    trace->link = TextBetween(reply, "thunderDX:'", "'");
    trace->decoded = BytesToText(Base64Decode(TextToBytes(StripScheme(trace->link))));
  }
  return result;
}

}  // namespace brelk
