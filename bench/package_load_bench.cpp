// Loading a 10 MiB package (read, descramble, check) against a plain read of the same file.
// Goal: the load costs at most twice the plain read.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "package/package_file.h"
#include "package/package_loader.h"
#include "package/package_writer.h"

namespace {

const std::filesystem::path& PackagePath() {
    static const std::filesystem::path path = [] {
        quenfall::PackageSpec spec;
        spec.ModelCode = 0;
        spec.ScrambleMode = 0;  // keyed, so descrambling does real work
        std::vector<std::uint8_t> data(quenfall::PackageImageCapacity - quenfall::MinimumPackageSize);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + (i >> 11));
        spec.Sections = {{0, 0, std::move(data)}};
        const auto file = quenfall::WritePackage(spec);
        auto p = std::filesystem::temp_directory_path() / "quenfall-bench-10MiB.bin";
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        return p;
    }();
    return path;
}

void PlainRead(benchmark::State& state) {
    const auto& path = PackagePath();
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> bytes(std::filesystem::file_size(path));
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void LoadPackage(benchmark::State& state) {
    const auto& path = PackagePath();
    for (auto _ : state) {
        const auto result = quenfall::LoadPackage(path);
        if (result.Verdict != quenfall::LoadVerdict::Accepted) state.SkipWithError("package refused");
        benchmark::DoNotOptimize(result.Accepted.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void ReadPackageFile(benchmark::State& state) {
    const auto& path = PackagePath();
    for (auto _ : state) {
        const auto read = quenfall::LoadPackageFile(path);
        benchmark::DoNotOptimize(read.Bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(ReadPackageFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(LoadPackage)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
