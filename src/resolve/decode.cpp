// Decoding the download-list reply.
//
// The reply is script text; the only part read is the link that follows
// "thunderDX:'" up to the next "'". The link is a scheme, "//" and a Base64
// body, and the body decodes to the direct download address framed by two
// bytes in front and two behind. Those four bytes are dropped unexamined, and
// the address's escaped percent signs ("%25") are turned back into "%".
#include "resolve/resolve.h"

namespace brelk {

Text StripScheme(const Text& link) noexcept {
  const int32_t p = FindText(link, "//");
  // With no "//", p is -1 and the count is the whole length.
  const Text rest = TextRight(link, TextLength(link) - p - 1);
  if (TextRight(rest, 1) == Text("/")) return TextLeft(rest, TextLength(rest) - 1);
  return rest;
}

Text DecodeDownloadReply(const Text& reply) noexcept {
  const Text link = TextBetween(reply, "thunderDX:'", "'");
  const Text body = StripScheme(link);
  const Text decoded = BytesToText(Base64Decode(TextToBytes(body)));
  const int32_t n = TextLength(decoded);
  const Text core = TextMid(decoded, 3, n - 4);  // empty for n <= 4
  return ReplaceText(core, "%25", "%");
}

}  // namespace brelk
