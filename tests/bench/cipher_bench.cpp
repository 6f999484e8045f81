// Throughput of CryptFile's cipher (HCTR2 over AES-256 through CryptoAPI,
// here the port over libcrypto) beside `openssl enc -aes-256-ctr` on the same
// data in the same run, and the ratio between them. Run by ./kit bench.
#include "crypt/range_cipher.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int64_t mebibyte = 1 << 20;

std::vector<BYTE> TestData(int64_t size)
{
    std::vector<BYTE> data(static_cast<size_t>(size));
    uint32_t state = 12345;
    for (BYTE& b : data) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<BYTE>(state >> 24);
    }
    return data;
}

// The same bytes on disk for the openssl program, one file per size.
std::string DataFile(int64_t size)
{
    static std::map<int64_t, std::string> files;
    auto found = files.find(size);
    if (found != files.end()) {
        return found->second;
    }
    std::string path = "/tmp/kit-cipher-bench-" + std::to_string(getpid()) + "-" + std::to_string(size);
    std::vector<BYTE> data = TestData(size);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), size);
    files[size] = path;
    return path;
}

void RangeCipher(benchmark::State& state)
{
    std::vector<BYTE> data = TestData(state.range(0));
    for (auto _ : state) {
        if (CipherTransform(cipherEncrypt, "bench pass", data.data(), static_cast<LONG>(data.size())) != 0) {
            state.SkipWithError("the cipher failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The openssl program as a release engineer would run it: a process reading
// the file and writing the result away. Includes its start-up (see the 0 case).
void OpensslEncCtr(benchmark::State& state)
{
    std::string command = "openssl enc -aes-256-ctr -K " + std::string(64, '1') + " -iv " +
                          std::string(32, '2') + " -in " + DataFile(state.range(0)) + " -out /dev/null";
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        int status = std::system(command.c_str());
        auto end = std::chrono::steady_clock::now();
        if (status != 0) {
            state.SkipWithError("openssl enc failed (is the openssl program installed?)");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same AES-256-CTR inside the process: the cipher's floor without process costs.
void LibcryptoCtr(benchmark::State& state)
{
    std::vector<BYTE> data = TestData(state.range(0));
    unsigned char key[32] = {1};
    unsigned char iv[16] = {2};
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        int written = 0;
        EVP_EncryptInit_ex(context, EVP_aes_256_ctr(), nullptr, key, iv);
        EVP_EncryptUpdate(context, data.data(), &written, data.data(), static_cast<int>(data.size()));
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(context);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(RangeCipher)->Arg(mebibyte)->Arg(64 * mebibyte)->Unit(benchmark::kMillisecond);
BENCHMARK(OpensslEncCtr)->Arg(0)->Arg(mebibyte)->Arg(64 * mebibyte)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(LibcryptoCtr)->Arg(mebibyte)->Arg(64 * mebibyte)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::cout << "\nRatio of the cipher's time to openssl's on the same data (higher: the cipher is slower)\n";
    for (int64_t size : {mebibyte, 64 * mebibyte}) {
        std::string arg = std::to_string(size);
        double cipher = reporter.seconds["RangeCipher"][arg];
        double program = reporter.seconds["OpensslEncCtr"][arg];
        double library = reporter.seconds["LibcryptoCtr"][arg];
        if (cipher <= 0 || program <= 0 || library <= 0) {
            std::cout << "  " << size / mebibyte << " MiB: not all runs completed\n";
            continue;
        }
        std::cout << std::fixed << std::setprecision(2) << "  " << std::setw(2) << size / mebibyte
                  << " MiB: HCTR2 " << size / cipher / mebibyte << " MiB/s; vs `openssl enc -aes-256-ctr` "
                  << cipher / program << "x; vs AES-256-CTR in libcrypto " << cipher / library << "x\n";
    }
    for (const auto& file : {DataFile(mebibyte), DataFile(64 * mebibyte), DataFile(0)}) {
        std::remove(file.c_str());
    }
    return 0;
}
