// Telegrams per second through DecodeTelegram (texts included) over the real-meter corpus, on
// one core. Not a test: run bench_mbus_decode from a Release build.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/mbus/telegram.h"
#include "core/mbus/tunnel.h"
#include "core/modbus/crc.h"

namespace {

std::vector<orvio::ByteString> LoadMeters() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(ORVIO_TESTDATA) / "mbus-telegrams" / "meters";
  std::vector<fs::path> paths;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() == ".hex") paths.push_back(e.path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<orvio::ByteString> telegrams;
  for (const auto& p : paths) {
    std::ifstream in(p, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (auto bytes = orvio::ParseHexBytes(text)) telegrams.push_back(std::move(*bytes));
  }
  return telegrams;
}

const std::vector<orvio::ByteString>& Meters() {
  static const std::vector<orvio::ByteString> telegrams = LoadMeters();
  return telegrams;
}

void BM_DecodeTelegram(benchmark::State& state) {
  const auto& telegrams = Meters();
  if (telegrams.empty()) {
    state.SkipWithError("no telegrams in the corpus");
    return;
  }
  size_t records = 0;
  for (auto _ : state) {
    for (const auto& t : telegrams) {
      orvio::TelegramDecode d = orvio::DecodeTelegram(t);
      records += d.records.size();
      benchmark::DoNotOptimize(d);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * telegrams.size()));
  state.counters["records/telegram"] =
      static_cast<double>(records) / static_cast<double>(state.iterations() * telegrams.size());
}
BENCHMARK(BM_DecodeTelegram);

// The tunnel path: a read answer checked, the telegram cut out and decoded.
void BM_ExtractAndDecode(benchmark::State& state) {
  std::vector<std::pair<orvio::ByteString, size_t>> answers;
  for (const auto& t : Meters()) {
    orvio::ByteString payload = t;
    if (payload.size() % 2) payload += '\0';
    if (payload.size() > 250) continue;  // a read answer holds at most 250 register bytes
    orvio::ByteString a("\x01\x04", 2);
    a += static_cast<char>(payload.size());
    a += payload;
    answers.emplace_back(orvio::WithModbusCrc(a), payload.size());
  }
  for (auto _ : state) {
    for (const auto& [answer, n] : answers) {
      orvio::TunnelledTelegram t = orvio::ExtractTunnelledTelegram(answer, n);
      orvio::TelegramDecode d = orvio::DecodeTelegram(t.telegram);
      benchmark::DoNotOptimize(d);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * answers.size()));
}
BENCHMARK(BM_ExtractAndDecode);

}  // namespace

BENCHMARK_MAIN();
