// Throughput of the check-value and digest paths over 100 MB: the CRC engine (plain
// table method and the eight-byte method), SHA-256 through cHashAPI and HMAC-SHA-256
// through cHS256, both on the OpenSSL provider.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fakes/fake_platform.h"
#include "formats/crc.h"
#include "formats/hash_api.h"
#include "handover/hs256.h"
#include "platform/system_crypto.h"

namespace {

constexpr std::size_t kDataSize = 100u * 1024u * 1024u;

const std::vector<std::uint8_t>& Data() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> bytes(kDataSize);
    std::mt19937_64 rng(1);
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
      const std::uint64_t v = rng();
      for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    return bytes;
  }();
  return data;
}

void BM_CrcBytewise(benchmark::State& state) {
  const auto& data = Data();
  tavrin::cCRC crc;
  crc.SetCRCMode(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc.CRCBytewise(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_CrcBytewise)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_CrcSliced(benchmark::State& state) {
  const auto& data = Data();
  tavrin::cCRC crc;
  crc.SetCRCMode(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc.CRC(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_CrcSliced)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_Sha256HashApi(benchmark::State& state) {
  const auto& data = Data();
  tavrin::SystemCrypto crypto;
  tavrin::testing::FakePlatform platform;
  platform.crypto = &crypto;
  for (auto _ : state) {
    tavrin::cHashAPI hash(platform);
    benchmark::DoNotOptimize(hash.CreateSHA256Hash(data));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Sha256HashApi)->Unit(benchmark::kMillisecond);

void BM_HmacSha256Hs256(benchmark::State& state) {
  const auto& data = Data();
  tavrin::SystemCrypto crypto;
  tavrin::testing::FakePlatform platform;
  platform.crypto = &crypto;
  const std::vector<std::uint8_t> key(70, 0x5A);
  std::vector<std::uint8_t> mac;
  for (auto _ : state) {
    tavrin::cHS256 hs(platform);
    hs.InitHmac(key);
    hs.HmacSha256(data, mac);
    benchmark::DoNotOptimize(mac.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_HmacSha256Hs256)->Unit(benchmark::kMillisecond);

}  // namespace
