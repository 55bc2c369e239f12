#include "bench/bench_pages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

#include "bench/random_text.h"
#include "support/loopback_server.h"
#include "support/sandbox.h"
#include "text/text.h"

namespace brelk::bench {
namespace {

// Padding(): at least bytes of listing markup, UTF-8. It holds none of the
// markers a resolution searches for.
std::string Padding(std::size_t bytes) {
  Random random;
  std::string out;
  while (out.size() < bytes) {
    out += "<li class=\"file\"><a href=\"/f/" + std::to_string(random.Next(1000000)) + "\" title=\"";
    for (uint32_t n = 4 + random.Next(20); n > 0; --n) AppendHan(out, random);
    out += "\">";
    for (uint32_t n = 2 + random.Next(10); n > 0; --n) AppendHan(out, random);
    out += ".rar</a><span class=\"size\">" + std::to_string(random.Next(900)) +
           ".5 MB</span><span class=\"date\">2014-07-08</span></li>\r\n";
    if (random.Next(8) == 0) {
      out += "<script type=\"text/javascript\">var shown = " + std::to_string(random.Next(99)) +
             "; track('list');</script>\r\n";
    }
  }
  return out;
}

fixture::Share BaseShare(Charset charset) {
  return charset == Charset::kUtf8 ? fixture::Utf8Share() : fixture::GbkShare();
}

const char* Name(Charset charset) { return charset == Charset::kUtf8 ? "utf8" : "gbk"; }

std::string ContentType(Charset charset) {
  return charset == Charset::kUtf8 ? "Content-Type: text/html; charset=utf-8\r\n"
                                   : "Content-Type: text/html; charset=gb2312\r\n";
}

}  // namespace

fixture::Share PaddedShare(Charset charset, std::size_t bytes) {
  fixture::Share share = BaseShare(charset);
  share.address = "http://" + std::string(fixture::kShareHost) + "/p/" + Name(charset) + "/" +
                  std::to_string(bytes);
  return share;
}

std::string PaddedPage(Charset charset, std::size_t bytes) {
  const fixture::Share share = BaseShare(charset);
  const std::string path = share.address.substr(share.address.find('/', 7));
  const std::string reply =
      fixture::Site()("GET " + path + " HTTP/1.1\r\nHost: 1000eb.com\r\n\r\n").bytes;
  std::string page = reply.substr(reply.find("\r\n\r\n") + 4);
  if (page.size() >= bytes) return page;
  std::string padding = Padding(bytes - page.size());
  if (charset == Charset::kGbk) {
    padding = std::string(Utf8ToGbk(ByteString(std::move(padding))).view());
  }
  // Pad to the byte: the listing is cut at a line end, then filled with
  // blanks, which keep the page well-formed in either character set.
  std::size_t cut = padding.rfind("\r\n", bytes - page.size());
  cut = cut == std::string::npos ? 0 : cut + 2;
  padding.resize(cut);
  padding.append(bytes - page.size() - cut, ' ');
  page.insert(page.find("<script"), padding);
  return page;
}

std::string DownloadListAddressOf(const fixture::Share& share) {
  return "http://" + std::string(fixture::kDownloadListHost) + "/ajax/downloads.ashx?" + share.query;
}

bool StartBenchSite(std::initializer_list<std::size_t> sizes, std::string* why) {
  if (!testing::EnterPrivateNetwork(fixture::AllHostNames(), why)) return false;
  std::map<std::string, loopback::Reply> pages;
  for (Charset charset : {Charset::kUtf8, Charset::kGbk}) {
    for (std::size_t bytes : sizes) {
      const fixture::Share share = PaddedShare(charset, bytes);
      pages[share.address.substr(share.address.find('/', 7))] =
          loopback::HttpReply("200 OK", ContentType(charset), PaddedPage(charset, bytes));
    }
  }
  loopback::ServeFromChildProcess(
      [pages = std::move(pages), site = fixture::Site()](const std::string& request) {
        const auto found = pages.find(loopback::RequestPath(request));
        return found != pages.end() ? found->second : site(request);
      },
      80);
  return true;
}

}  // namespace brelk::bench
