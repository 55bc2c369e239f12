// MergeCookies at growing numbers of entries: the time per entry should stay
// flat from 1,000 to 20,000 entries.
//
// The response sets n cookies as the request routine builds them ("name=value; "
// each), one in ten of them a deletion. The caller sends n cookies too: half
// of them under names the response sets again, a few repeated exactly.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

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

void BM_MergeCookies(benchmark::State& state) {
  const int64_t n = state.range(0);
  const Text sent = SentCookies(n);
  const Text received = ReceivedCookies(n);
  for (auto _ : state) {
    Text cookies = sent;  // both are in/out: every merge starts afresh
    Text receivedCookies = received;
    Text merged = MergeCookies(cookies, receivedCookies);
    benchmark::DoNotOptimize(merged);
  }
  state.SetItemsProcessed(state.iterations() * n);  // received entries
  state.counters["bytes_in"] = static_cast<double>(sent.size() + received.size());
}
BENCHMARK(BM_MergeCookies)->Arg(100)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brelk

BENCHMARK_MAIN();
