// Fuzz target: header lines, cookie merging and the scan of response headers.
//
// Input: fields cut at zero bytes (see naive.h):
//   cookies \0 received cookies \0 response headers \0 separator
// Checked:
//   - HeaderName and HeaderValue of the headers and of each of their lines;
//     CookieName of each cookie entry; CookieNamePresent and ListContains of
//     each cookie entry in the received entries; JoinDistinct of the cookies
//     with the separator field;
//   - MergeCookies of the cookies with the received cookies, and of the
//     cookies with what the scan of the response headers received: both
//     arguments as written back, and the result. Against the step-by-step
//     merge of naive.h for inputs of up to 64 entries (the step-by-step merge
//     walks its lists quadratically); for every input, the laws: the merged
//     string holds no blank outside its "; " separators, no entry twice, and
//     the received cookies lose exactly their blanks;
//   - the scan itself, made of the library's routines the way the request
//     routine makes it, against the same scan made of naive.h's.
#include <set>

#include "http/http.h"
#include "naive.h"

namespace {

using brelk::Text;

constexpr std::size_t kSmall = 64;  // entries, for the step-by-step merge

// ScanResponseHeaders(): the response-header scan of the request routine
// (step 15 in request.cpp), copied line for line, as the routine keeps it
// inline. Sets receivedCookies; updates redirectTarget only from a line
// holding "Location:".
void ScanResponseHeaders(const Text& headers, Text& receivedCookies, Text& redirectTarget) {
  std::string received;
  const brelk::TextList lines = brelk::SplitText(headers, "\r\n");
  for (int32_t i = 1; i <= brelk::ListCount(lines); ++i) {
    const Text& line = brelk::ListItem(lines, i);
    if (brelk::FindText(line, "Location:") != -1) redirectTarget = brelk::HeaderValue(line);
    if (brelk::FindText(line, "Set-Cookie") != -1) {
      received.append(brelk::TrimBoth(brelk::ExtractMiddle(line, "Set-Cookie:", ";")).view())
          .append("; ");
    }
  }
  receivedCookies = Text(std::move(received));
}

std::size_t Entries(std::string_view cookies) {
  std::size_t n = 1;
  for (char c : cookies) n += c == ';';
  return n;
}

// CheckMerged(): the laws every merge result keeps, whatever its size.
void CheckMerged(std::string_view merged) {
  // Without the separators' spaces no blank is left.
  std::string packed;
  for (std::size_t i = 0; i < merged.size(); ++i) {
    if (merged[i] == ' ' && i > 0 && merged[i - 1] == ';') continue;
    packed.push_back(merged[i]);
  }
  for (std::string_view ch : naive::Chars(packed)) CHECK(!naive::Blank(ch));
  // No entry twice.
  std::set<std::string> seen;
  for (const std::string& piece : naive::Split(merged, "; ")) CHECK(seen.insert(piece).second);
}

void CheckMerge(std::string_view cookiesIn, std::string_view receivedIn) {
  Text cookies(cookiesIn), received(receivedIn);
  const Text result = brelk::MergeCookies(cookies, received);
  CHECK(result == cookies);
  CHECK(received.view() == naive::RemoveSpaces(receivedIn));
  CheckMerged(cookies.view());
  if (Entries(cookiesIn) + Entries(receivedIn) <= kSmall) {
    std::string wantCookies(cookiesIn), wantReceived(receivedIn);
    naive::MergeCookies(wantCookies, wantReceived);
    CHECK(cookies.view() == wantCookies);
  }
}

void CheckHeaderLine(const Text& line) {
  CHECK(brelk::HeaderName(line).view() == naive::HeaderName(line.view()));
  CHECK(brelk::HeaderValue(line).view() == naive::HeaderValue(line.view()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> fields = naive::Fields(data, size);
  const Text cookies(naive::Field(fields, 0));
  const Text received(naive::Field(fields, 1));
  const Text headers(naive::Field(fields, 2));
  const Text separator(naive::Field(fields, 3));

  CheckHeaderLine(headers);
  const brelk::TextList lines = brelk::SplitText(headers, "\r\n");
  for (const Text& line : lines.items) CheckHeaderLine(line);

  const brelk::TextList entries = brelk::SplitText(cookies, ";");
  for (const Text& entry : entries.items) {
    CHECK(brelk::CookieName(entry).view() == naive::CookieName(entry.view()));
  }
  // The list walks, with the received entries as the list and each sent
  // entry and its name as what is looked for.
  const brelk::TextList list = brelk::SplitText(received, ";");
  if (list.items.size() * entries.items.size() <= kSmall * kSmall) {
    for (const Text& entry : entries.items) {
      const std::string name = naive::CookieName(entry.view());
      bool named = false, contained = false;
      for (const Text& item : list.items) {
        named = named || naive::CookieName(item.view()) == name;
        contained = contained || item == entry;
      }
      CHECK(brelk::CookieNamePresent(list, Text(name)) == named);
      CHECK(brelk::ListContains(list, entry) == contained);
    }
  }
  if (naive::Split(cookies.view(), separator.view()).size() <= kSmall) {
    CHECK(brelk::JoinDistinct(cookies, separator).view() ==
          naive::JoinDistinct(cookies.view(), separator.view()));
  }

  CheckMerge(cookies.view(), received.view());

  Text scanned, redirect(received);  // the received field stands in for a stale target
  ScanResponseHeaders(headers, scanned, redirect);
  std::string wantScanned, wantRedirect(received.view());
  naive::ScanResponseHeaders(headers.view(), wantScanned, wantRedirect);
  CHECK(scanned.view() == wantScanned);
  CHECK(redirect.view() == wantRedirect);
  CheckMerge(cookies.view(), scanned.view());
  return 0;
}
