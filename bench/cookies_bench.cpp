// MergeCookies at 100, 1,000 and 20,000 entries: the time per entry should
// stay flat as the strings grow.
//
// The response sets n cookies as the request routine builds them ("name=value; "
// each), one in ten of them a deletion. The caller sends n cookies too: half
// of them under names the response sets again, a few repeated exactly.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "http/http.h"

namespace brelk {
namespace {

Text ReceivedCookies(int64_t n) {
  std::string text;
  for (int64_t i = 0; i < n; ++i) {
    text += "sid" + std::to_string(i * 2);
    text += i % 10 == 9 ? "=deleted; " : "=v" + std::to_string(i) + "_0123456789abcdef; ";
  }
  return Text(std::move(text));
}

Text SentCookies(int64_t n) {
  std::string text;
  for (int64_t i = 0; i < n; ++i) {
    if (i != 0) text += "; ";
    const int64_t id = i % 50 == 49 ? i - 1 : i;  // an exact repeat now and then
    text += "sid" + std::to_string(id) + "=old" + std::to_string(id) + "_fedcba9876543210";
  }
  return Text(std::move(text));
}

// BM_MergeCookies: n entries merged at once, against the same number of
// entries merged a hundred at a time (n / 100 merges of the 100-entry
// strings), measured in the same run and interleaved with the calls. The
// ratio is how much more an entry costs in a large merge than in a small
// one: linear growth keeps it near 1. Bound: 2 (the ordered sets that
// guard against crafted names add a logarithm).
void BM_MergeCookies(benchmark::State& state) {
  const int64_t n = state.range(0);
  const Text sent = SentCookies(n), received = ReceivedCookies(n);
  const Text sentBatch = SentCookies(100), receivedBatch = ReceivedCookies(100);
  // Both arguments are in/out: every merge starts from fresh copies, made
  // outside the timed part on both sides.
  std::vector<Text> batches(static_cast<std::size_t>(2 * (n / 100)));
  double call = 0, limit = 0;
  for (auto _ : state) {
    for (std::size_t b = 0; b < batches.size(); b += 2) {
      batches[b] = sentBatch;
      batches[b + 1] = receivedBatch;
    }
    Text cookies = sent;
    Text receivedCookies = received;
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t b = 0; b < batches.size(); b += 2) {
      benchmark::DoNotOptimize(MergeCookies(batches[b], batches[b + 1]));
    }
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(MergeCookies(cookies, receivedCookies));
    const auto t2 = std::chrono::steady_clock::now();
    limit += std::chrono::duration<double>(t1 - t0).count();
    call += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
  }
  const double iterations = static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * n);  // received entries
  state.counters["ns_per_entry"] = 1e9 * call / iterations / static_cast<double>(n);
  state.counters["ratio"] = call / limit;
  state.counters["bound"] = 2;
}
BENCHMARK(BM_MergeCookies)->Arg(100)->Arg(1000)->Arg(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brelk

BENCHMARK_MAIN();
