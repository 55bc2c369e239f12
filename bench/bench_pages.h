// Share pages of realistic size for the benchmarks, and the fixture site
// serving them in a private network of the benchmark's own.
//
// A padded page is the fixture site's page for a share, with the markup of
// a file-listing page (links, titles and sizes in Chinese, small scripts)
// put in front of its script until the page has the size asked for. The
// values stay the share's, so the download-list request and its reply are
// the fixture site's own.
#ifndef BRELK_BENCH_BENCH_PAGES_H_
#define BRELK_BENCH_BENCH_PAGES_H_

#include <cstddef>
#include <initializer_list>
#include <string>

#include "support/fixture_site.h"

namespace brelk::bench {

enum class Charset { kUtf8, kGbk };

// PaddedShare(): the share whose page is padded (Utf8Share() or GbkShare())
// with its address changed to the one the bench site serves the padded page
// at.
fixture::Share PaddedShare(Charset charset, std::size_t bytes);

// PaddedPage(): the padded page's body, in its own character set.
std::string PaddedPage(Charset charset, std::size_t bytes);

// DownloadListAddress(): the address a resolution of share requests second.
std::string DownloadListAddressOf(const fixture::Share& share);

// StartBenchSite(): enters a private network in which the file host's names
// point at this machine and serves the fixture site, with the padded pages
// of the sizes given, from a child process on port 80 (so its work and its
// memory are not the benchmark's). Must be called before any thread starts.
// False with the reason in *why when the network cannot be made (no root).
bool StartBenchSite(std::initializer_list<std::size_t> sizes, std::string* why);

}  // namespace brelk::bench

#endif  // BRELK_BENCH_BENCH_PAGES_H_
