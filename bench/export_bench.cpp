// One call of the export, libbrelk.so loaded as a host loads it, against the
// fixture site on loopback, with share pages of 256 KiB and 4 MiB in UTF-8
// and in GBK; and the peak memory of a call with a 16 MiB page.
//
// The limit of a call is the work no implementation can avoid, measured in
// the same run, interleaved with the calls: two plain libcurl GETs of the
// same two addresses (a fresh easy handle each, the body appended to a
// string reserved for its declared length, nothing else), plus, for a UTF-8 page, one bare ICU conversion of
// the page to windows-936 (ucnv_convert). Bounds: 1.5x with a UTF-8 page,
// 1.15x with a GBK page.
//
// The peak memory is the process's peak resident size during one call
// (VmHWM, set back before each call) above what was resident before it,
// over the page size. Bound: 5x.
//
// Needs root: the site runs in a private network on port 80 under the file
// host's own names. Run: sudo build/default/bench/export_bench
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <dlfcn.h>
#include <malloc.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bench_pages.h"

namespace brelk::bench {
namespace {

using Clock = std::chrono::steady_clock;
using ExportFunction = const char* (*)(const char*);

ExportFunction analysis = nullptr;

struct Received {
  CURL* easy;
  std::string body;
};

// Append(): keeps the bytes, in room reserved for the declared length at
// once, so the limit pays for no copying as the body grows.
size_t Append(char* data, size_t size, size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  if (received.body.empty()) {
    curl_off_t declared = -1;
    curl_easy_getinfo(received.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
    if (declared > 0) received.body.reserve(static_cast<std::size_t>(declared));
  }
  received.body.append(data, size * count);
  return size * count;
}

// PlainGet(): the body of a GET of url, through a fresh easy handle.
std::string PlainGet(const std::string& url) {
  Received received{curl_easy_init(), {}};
  curl_easy_setopt(received.easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(received.easy, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(received.easy, CURLOPT_WRITEDATA, &received);
  curl_easy_perform(received.easy);
  curl_easy_cleanup(received.easy);
  return std::move(received.body);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// TimedLimit(): seconds of the work no resolution can avoid.
double TimedLimit(const fixture::Share& share, const std::string& list, Charset charset) {
  const auto start = Clock::now();
  const std::string page = PlainGet(share.address);
  if (charset == Charset::kUtf8) {
    // GBK takes no more bytes than UTF-8; the buffer is not even cleared.
    const std::unique_ptr<char[]> out(new char[page.size()]);
    UErrorCode error = U_ZERO_ERROR;
    benchmark::DoNotOptimize(ucnv_convert("windows-936", "UTF-8", out.get(), static_cast<int32_t>(page.size()),
                                          page.data(), static_cast<int32_t>(page.size()), &error));
  }
  benchmark::DoNotOptimize(PlainGet(list));
  return Seconds(start, Clock::now());
}

// TimedCall(): seconds of one call of the export.
double TimedCall(const fixture::Share& share) {
  const auto start = Clock::now();
  benchmark::DoNotOptimize(analysis(share.address.c_str()));
  return Seconds(start, Clock::now());
}

void BM_ExportCall(benchmark::State& state) {
  const Charset charset = state.range(0) == 0 ? Charset::kUtf8 : Charset::kGbk;
  const std::size_t bytes = static_cast<std::size_t>(state.range(1));
  const fixture::Share share = PaddedShare(charset, bytes);
  const std::string list = DownloadListAddressOf(share);
  const char* result = analysis(share.address.c_str());
  if (result == nullptr || share.directAddress != result) {
    state.SkipWithError("the padded share does not resolve");
    return;
  }
  // The two sides take turns at going first, so neither always meets the
  // site just after the other's connections closed.
  double call = 0, limit = 0;
  bool callFirst = false;
  for (auto _ : state) {
    callFirst = !callFirst;
    double callSeconds = 0;
    if (callFirst) callSeconds = TimedCall(share);
    limit += TimedLimit(share, list, charset);
    if (!callFirst) callSeconds = TimedCall(share);
    call += callSeconds;
    state.SetIterationTime(callSeconds);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["limit_ms"] = 1000 * limit / n;
  state.counters["call_ms"] = 1000 * call / n;
  state.counters["ratio"] = call / limit;
  state.counters["bound"] = charset == Charset::kUtf8 ? 1.5 : 1.15;
  state.SetLabel(charset == Charset::kUtf8 ? "utf8" : "gbk");
}
BENCHMARK(BM_ExportCall)
    ->ArgsProduct({{0, 1}, {256 << 10, 4 << 20}})
    ->ArgNames({"gbk", "bytes"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int64_t StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field + ":")) return std::stoll(line.substr(field.size() + 1));
  }
  return -1;
}

// ResetPeak(): gives freed memory back and sets the peak resident size
// back to the present one.
void ResetPeak() {
  malloc_trim(0);
  if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", clear);
    std::fclose(clear);
  }
}

void BM_ExportPeakMemory(benchmark::State& state) {
  const Charset charset = state.range(0) == 0 ? Charset::kUtf8 : Charset::kGbk;
  const std::size_t bytes = static_cast<std::size_t>(state.range(1));
  const fixture::Share share = PaddedShare(charset, bytes);
  int64_t worst = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ResetPeak();
    const int64_t before = StatusKiB("VmRSS");
    state.ResumeTiming();
    const char* result = analysis(share.address.c_str());
    state.PauseTiming();
    worst = std::max(worst, StatusKiB("VmHWM") - before);
    if (result == nullptr || share.directAddress != result) state.SkipWithError("no result");
    state.ResumeTiming();
  }
  state.counters["peak_MiB"] = static_cast<double>(worst) / 1024;
  state.counters["ratio"] = static_cast<double>(worst) * 1024 / static_cast<double>(bytes);
  state.counters["bound"] = 5;
  state.SetLabel(charset == Charset::kUtf8 ? "utf8" : "gbk");
}
BENCHMARK(BM_ExportPeakMemory)
    ->ArgsProduct({{0, 1}, {16 << 20}})
    ->ArgNames({"gbk", "bytes"})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brelk::bench

int main(int argc, char** argv) {
  std::string why;
  if (!brelk::bench::StartBenchSite({256 << 10, 4 << 20, 16 << 20}, &why)) {
    std::fprintf(stderr, "export_bench: no private network for the fixture site (%s); run as root\n",
                 why.c_str());
    return 77;
  }
  void* library = dlopen(BRELK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "export_bench: %s\n", dlerror());
    return 1;
  }
  brelk::bench::analysis =
      reinterpret_cast<brelk::bench::ExportFunction>(dlsym(library, "Analysis_1000eb"));
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
