// Share-link resolution: from the address of a share page on the file host
// to the direct download address of the shared file.
//
// ResolveShareLink fetches the share page, cuts the file's values out of its
// script text, asks the download-list endpoint and hands the reply to
// DecodeDownloadReply, which takes the Base64 link after "thunderDX:'" apart.
#ifndef BRELK_RESOLVE_RESOLVE_H_
#define BRELK_RESOLVE_RESOLVE_H_

#include "text/text.h"

namespace brelk {

// StripScheme(): the link after its first "//" (the whole link when there is
// none), without one trailing "/".
//   StripScheme("sch://abc/") == "abc"
Text StripScheme(const Text& link) noexcept;

// DecodeDownloadReply(): the direct download address carried by a
// download-list reply, or empty. The link after "thunderDX:'" is stripped of
// its scheme, Base64-decoded up to the first zero byte, cut by two bytes at
// each end, and every "%25" becomes "%".
//   DecodeDownloadReply("thunderDX:'QUF4Wlo='") == "x"
Text DecodeDownloadReply(const Text& reply) noexcept;

}  // namespace brelk

#endif  // BRELK_RESOLVE_RESOLVE_H_
