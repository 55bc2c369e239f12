#include "support/fixture_site.h"

#include <string_view>

namespace brelk::fixture {
namespace {

// The values a share page carries, as the page's script writes them.
struct PageValues {
  std::string id, e, d, tdxsrv, tltsrv, delay, name, t;
};

constexpr std::string_view kFixedPair = "&_=1404833400041";

// SharePage(): the page the service serves for a file, cut down to the
// script text a resolution reads, in the page's own character set.
std::string SharePage(const PageValues& v, std::string_view charset) {
  std::string page;
  page += "<!DOCTYPE html>\r\n<html><head>\r\n";
  page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
  page.append(charset).append("\" />\r\n");
  page += "<title>" + v.name + " - download</title>\r\n</head>\r\n<body>\r\n";
  page += "<div id=\"file\">" + v.name + "</div>\r\n";
  page += "<script type=\"text/javascript\">\r\n";
  page += "var _screctTime = \"" + v.e + "\", _refresh = 0;\r\n";
  page += "ActiviDownloads(\"" + v.d + "\", 1);\r\n";
  page += "fileInfoFileName(\"" + v.name + "\", 2);\r\n";
  page += "fileInfoFileSize(\"" + v.id + "\", 3);\r\n";
  page += "var Qt = \"" + v.t + "\", retry = 3;\r\n";
  page += "var servers = { dxservers: [dx>cn:\"" + v.tdxsrv + "\"] ltservers: [lt>cn:\"" +
          v.tltsrv + "\"], mode: 1 };\r\n";
  page += "var downDelay: 0, opts = { downDelay:" + v.delay + ", x: 1 };\r\n";
  page += "</script>\r\n</body></html>\r\n";
  return page;
}

std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// DownloadReply(): the endpoint's answer for a direct address. The address's
// percent signs travel escaped as "%25", and the Base64 text frames it with
// "AA" in front and "ZZ" behind.
std::string DownloadReply(std::string_view directAddress) {
  std::string escaped;
  for (char c : directAddress) escaped += c == '%' ? std::string("%25") : std::string(1, c);
  const std::string link = "thunder://" + Base64("AA" + escaped + "ZZ");
  return "{\"list\":[{url:'http://" + std::string(kFileHost) + "/',thunderDX:'" + link +
         "',qqDX:'qqdl://" + Base64("[" + escaped + "]") + "'}],delay:30}";
}

struct Entry {
  std::string path;  // share-page path on the share host
  PageValues values;
  std::string charset;
  std::string extraHeaders;
  Share share;
};

std::vector<Entry> Entries() {
  std::vector<Entry> entries;
  {
    Entry e;
    e.path = "/f/4096";
    // The file name 中文资料 2026.zip, as UTF-8: the page is converted to GBK
    // when fetched, and the name goes out percent-encoded in UTF-8.
    e.values = {"4096", "MTQwNDgzMzQwMA==", "5f2c-91", "dx3.1000eb.com", "lt3.1000eb.com", "30",
                "\xE4\xB8\xAD\xE6\x96\x87\xE8\xB5\x84\xE6\x96\x99 2026.zip", "q5_z"};
    e.charset = "utf-8";
    e.extraHeaders = "Content-Type: text/html; charset=utf-8\r\n";
    e.share.directAddress = "http://dl3.1000eb.com/d/4096/%E4%B8%AD%E6%96%87.zip?k=7f3a";
    e.share.query =
        "id=4096&e=MTQwNDgzMzQwMA%3D%3D&d=5f2c%2D91&tdxsrv=dx3%2E1000eb%2Ecom"
        "&tltsrv=lt3.1000eb.com&delay=30"
        "&n=%E4%B8%AD%E6%96%87%E8%B5%84%E6%96%99%202026%2Ezip&t=q5%5Fz";
    entries.push_back(e);
  }
  {
    Entry e;
    e.path = "/f/77";
    // 年度报告.rar in GBK; the direct address carries the name in GBK too.
    e.values = {"77", "a1b2", "d77", "dx1.1000eb.com", "lt1.1000eb.com", "0",
                "\xC4\xEA\xB6\xC8\xB1\xA8\xB8\xE6.rar", "\xD6\xD0"};
    e.charset = "gb2312";
    e.extraHeaders = "Content-Type: text/html; charset=gb2312\r\n";
    e.share.directAddress = "http://dl3.1000eb.com/d/77/\xC4\xEA\xB6\xC8\xB1\xA8\xB8\xE6.rar";
    e.share.query =
        "id=77&e=a1b2&d=d77&tdxsrv=dx1%2E1000eb%2Ecom&tltsrv=lt1.1000eb.com&delay=0"
        "&n=%E5%B9%B4%E5%BA%A6%E6%8A%A5%E5%91%8A%2Erar&t=%D6%D0";
    entries.push_back(e);
  }
  {
    Entry e;
    e.path = "/f/5";
    e.values = {"5", "x", "y", "dx2", "lt2", "10", "file.bin", "t5"};
    e.charset = "gb2312";
    e.extraHeaders =
        "Content-Type: text/html\r\nSet-Cookie: sid=abc123; path=/\r\n"
        "Set-Cookie: seen=1; HttpOnly\r\n";
    e.share.directAddress = "http://dl3.1000eb.com/d/5/file.bin";
    e.share.query = "id=5&e=x&d=y&tdxsrv=dx2&tltsrv=lt2&delay=10&n=file%2Ebin&t=t5";
    entries.push_back(e);
  }
  {
    Entry e;
    e.path = "/f/9";
    e.values = {"9", "gone", "gone", "dx9", "lt9", "0", "old.zip", "t9"};
    e.charset = "gb2312";
    e.share.query = "id=9&e=gone&d=gone&tdxsrv=dx9&tltsrv=lt9&delay=0&n=old%2Ezip&t=t9";
    entries.push_back(e);  // directAddress stays empty: the reply has no link
  }
  for (Entry& entry : entries) entry.share.query += kFixedPair;
  {
    Entry e;
    e.path = "/f/odd";
    // Values that hold "&", "#", spaces and CR LF. id, tltsrv and delay go
    // into the address as they are: the request line carries their spaces
    // and CR LF percent-encoded, and the "#" in delay starts the address's
    // fragment, which is never sent, so the query ends before it.
    e.values = {"77 & 1\r\nX-Injected: 1", "e#1 &\r\n", "d", "dx", "lt 1&a=b", "30#frag\r\nX-Evil: 2",
                "odd.zip", "t"};
    e.charset = "gb2312";
    e.share.directAddress = "http://dl3.1000eb.com/d/77/odd.zip";
    e.share.query =
        "id=77%20&%201%0D%0AX-Injected:%201&e=e%231%20%26%0D%0A&d=d&tdxsrv=dx"
        "&tltsrv=lt%201&a=b&delay=30";
    entries.push_back(e);
  }
  for (Entry& entry : entries) entry.share.address = "http://" + std::string(kShareHost) + entry.path;
  return entries;
}

Share ShareAt(std::size_t i) { return Entries()[i].share; }

}  // namespace

Share Utf8Share() { return ShareAt(0); }
Share GbkShare() { return ShareAt(1); }
Share CookieShare() { return ShareAt(2); }
Share GoneShare() { return ShareAt(3); }
Share OddValuesShare() { return ShareAt(4); }

Share RedirectShare() {
  Share share = Utf8Share();
  share.address = "http://" + std::string(kShareHost) + "/s/Xk29";
  return share;
}

std::vector<std::string> AllHostNames() { return {kShareHost, kDownloadListHost, kFileHost}; }

loopback::Handler Site() {
  return [entries = Entries()](const std::string& request) -> loopback::Reply {
    const std::string path = loopback::RequestPath(request);
    if (path == "/s/Xk29") {
      return loopback::HttpReply("302 Found", "Location: " + Utf8Share().address + "\r\n", "");
    }
    for (const Entry& entry : entries) {
      if (path == entry.path) {
        return loopback::HttpReply("200 OK", entry.extraHeaders,
                                   SharePage(entry.values, entry.charset));
      }
    }
    constexpr std::string_view kEndpoint = "/ajax/downloads.ashx?";
    if (path.starts_with(kEndpoint)) {
      const std::string_view query = std::string_view(path).substr(kEndpoint.size());
      for (const Entry& entry : entries) {
        if (query == entry.share.query && !entry.share.directAddress.empty()) {
          return loopback::HttpReply("200 OK", "Content-Type: text/plain\r\n",
                                     DownloadReply(entry.share.directAddress));
        }
      }
      return loopback::HttpReply("200 OK", "Content-Type: text/plain\r\n",
                                 "{\"list\":[],error:'no such file'}");
    }
    return loopback::HttpReply("404 Not Found", "Content-Type: text/html\r\n",
                               "<html><body>not found</body></html>");
  };
}

}  // namespace brelk::fixture
