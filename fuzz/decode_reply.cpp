// Fuzz target: DecodeDownloadReply and StripScheme.
//
// Input: fields cut at zero bytes (see naive.h):
//   reply \0 address \0 tail
// The reply (also taken as a link for StripScheme) is decoded and compared
// with the plain rewrite of the pipeline in naive.h; neither result may be
// longer than its argument. Then the address is framed and encoded the way
// the file host does it and put into a well-formed reply followed by the
// tail: what comes out must be the address with every "%25" turned into "%".
#include "naive.h"
#include "resolve/resolve.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> fields = naive::Fields(data, size);
  const brelk::Text reply(naive::Field(fields, 0));
  const std::string_view address = naive::Field(fields, 1);
  const std::string_view tail = naive::Field(fields, 2);

  const brelk::Text stripped = brelk::StripScheme(reply);
  CHECK(stripped.view() == naive::StripScheme(reply.view()));
  CHECK(stripped.size() <= reply.size());

  const brelk::Text decoded = brelk::DecodeDownloadReply(reply);
  CHECK(decoded.view() == naive::DecodeDownloadReply(reply.view()));
  CHECK(decoded.size() <= reply.size());

  // The frame is two bytes at each end; "ZZ" at the end keeps the Base64
  // body from ending in "/", which StripScheme would take off.
  const std::string body = naive::Base64Encode("AA" + std::string(address) + "ZZ");
  const brelk::Text wellFormed("{thunderDX:'sch://" + body + "'" + std::string(tail));
  CHECK(brelk::DecodeDownloadReply(wellFormed).view() == naive::Replace(address, "%25", "%"));
  return 0;
}
