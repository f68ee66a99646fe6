// Throughput of the container cipher and the zlib packing beside the libraries' own calls:
// TBFH (Blowfish-CBC) against OpenSSL's BF-CBC, DeflateStream/InflateStream against zlib's
// compress2/uncompress. Prints each pair's ratio (ours / theirs, higher is better).

#include "protect/BFH.h"
#include "protect/ZLibStream.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace orvendal;

constexpr size_t CipherBytes = 4 << 20;
constexpr size_t PackBytes = 20 << 20;

// Text-like data that packs to about a third, as transfer databases do.
std::vector<uint8_t> Sample(size_t n) {
    std::vector<uint8_t> data(n);
    uint32_t x = 1;
    static const char words[] = "Auftrag Monteur Material Foto Status 4711 0815 Wert Feld ";
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        data[i] = (x >> 28) < 5 ? uint8_t(x >> 16) : uint8_t(words[i % (sizeof words - 1)]);
    }
    return data;
}

void TBFHEncipher(benchmark::State& state) {
    TBFH bfh;
    bfh.SetKeyword("0123456789abcdef");
    TMemoryStream source(Sample(CipherBytes)), dest;
    for (auto _ : state) {
        bfh.EncryptStream(source, dest);
        benchmark::DoNotOptimize(dest.Bytes().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(CipherBytes));
}

void OpenSSLEncipher(benchmark::State& state) {
    if (OSSL_PROVIDER_load(nullptr, "legacy") == nullptr ||
        OSSL_PROVIDER_load(nullptr, "default") == nullptr) {
        state.SkipWithError("OpenSSL legacy provider not available");
        return;
    }
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "BF-CBC", nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const unsigned char key[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                   '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    const unsigned char iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> in = Sample(CipherBytes), out(CipherBytes + 8);
    for (auto _ : state) {
        int n = 0;
        EVP_EncryptInit_ex2(ctx, cipher, key, iv, nullptr);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_EncryptUpdate(ctx, out.data(), &n, in.data(), int(in.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(CipherBytes));
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
}

void OursDeflate(benchmark::State& state) {
    TMemoryStream source(Sample(PackBytes)), dest;
    for (auto _ : state) {
        dest.Clear();
        DeflateStream(source, dest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(PackBytes));
}

void ZlibCompress2(benchmark::State& state) {
    std::vector<uint8_t> in = Sample(PackBytes), out(compressBound(PackBytes));
    for (auto _ : state) {
        uLongf n = out.size();
        compress2(out.data(), &n, in.data(), in.size(), Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(PackBytes));
}

std::vector<uint8_t> Packed() {
    std::vector<uint8_t> in = Sample(PackBytes), out(compressBound(PackBytes));
    uLongf n = out.size();
    compress2(out.data(), &n, in.data(), in.size(), Z_DEFAULT_COMPRESSION);
    out.resize(n);
    return out;
}

void OursInflate(benchmark::State& state) {
    TMemoryStream source(Packed()), dest;
    for (auto _ : state) {
        source.Rewind();
        dest.Clear();
        InflateStream(source, dest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(PackBytes));
}

void ZlibUncompress(benchmark::State& state) {
    std::vector<uint8_t> in = Packed(), out(PackBytes);
    for (auto _ : state) {
        uLongf n = out.size();
        uncompress(out.data(), &n, in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(PackBytes));
}

BENCHMARK(TBFHEncipher)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSSLEncipher)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDeflate)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ZlibCompress2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OursInflate)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(ZlibUncompress)->Unit(benchmark::kMillisecond)->Iterations(10);

// Keeps each run's throughput so the pairs can be compared at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) {
                rates[run.benchmark_name()] = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    struct {
        const char* ours;
        const char* theirs;
        double goal;
    } pairs[] = {{"TBFHEncipher", "OpenSSLEncipher", 0.9},
                 {"OursDeflate/iterations:3", "ZlibCompress2/iterations:3", 0.95},
                 {"OursInflate/iterations:10", "ZlibUncompress/iterations:10", 0.95}};
    for (const auto& p : pairs) {
        auto a = reporter.rates.find(p.ours), b = reporter.rates.find(p.theirs);
        if (a != reporter.rates.end() && b != reporter.rates.end() && b->second > 0) {
            std::printf("%-28s / %-30s = %.2fx (goal >= %.2fx)\n", p.ours, p.theirs,
                        a->second / b->second, p.goal);
        }
    }
    benchmark::Shutdown();
    return 0;
}
