// Cost of a safe save against a plain overwrite: a settings-sized file in one call, and a
// recording-sized file streamed in 64 KiB blocks, both in the system's temporary folder. The
// difference is mostly the two syncs (file and folder) that make the save survive a crash.
#include "common/FileSaver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace linlangok {
namespace {

constexpr std::int64_t kSettingsBytes = 1500;
constexpr std::int64_t kRecordingBytes = 32 << 20;
constexpr std::int64_t kBlockBytes = 64 * 1024;

std::filesystem::path g_target;

// Writes the benchmark's size in blocks through `write`, once per iteration.
template <typename TWrite> void Run(benchmark::State& state, TWrite write)
{
    const std::string block(static_cast<std::size_t>(std::min(state.range(0), kBlockBytes)), 'x');
    const std::int64_t blocks = state.range(0) / static_cast<std::int64_t>(block.size());
    for (auto _ : state) {
        if (!write(block, blocks))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void PlainOverwrite(benchmark::State& state)
{
    Run(state, [](const std::string& block, std::int64_t blocks) {
        std::ofstream out(g_target, std::ios::binary | std::ios::trunc);
        for (std::int64_t i = 0; i < blocks; ++i)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        out.close();
        return !out.fail();
    });
}

void SafeSave(benchmark::State& state)
{
    Run(state, [](const std::string& block, std::int64_t blocks) {
        CFileSaver saver(g_target);
        for (std::int64_t i = 0; i < blocks; ++i)
            saver.Write(block);
        return saver.Commit();
    });
}

BENCHMARK(PlainOverwrite)->Arg(kSettingsBytes)->Arg(kRecordingBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(SafeSave)->Arg(kSettingsBytes)->Arg(kRecordingBytes)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    std::string folder = (std::filesystem::temp_directory_path() / "linlangok-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    linlangok::g_target = std::filesystem::path(folder) / "saved.bin";
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
