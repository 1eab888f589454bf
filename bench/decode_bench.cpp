// Decodes per second in-process: each built decoder on its bundled sample, the whole run of one
// request (reset, stream read, block written) in memory, offsets on.
//
// tvx_bench_decode SAMPLES_DIR [benchmark options]
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "hexstream.h"
#include "memory_files.h"
#include "registry.h"
#include "tvx/decode_run.h"

namespace {

void Decode(benchmark::State& state, const std::string& deliverable, const std::string& bytes,
            double start) {
  auto decoder = tvx::FindDecoder(deliverable);
  tvx::testing::MemoryFileSystem files;
  files.inputs["sample.exe"] = bytes;
  tvx::Request request;
  request.valid = true;
  request.path = "sample.exe";
  request.start = start;
  request.offsets = true;
  std::size_t written = 0;
  for (auto _ : state) {
    const tvx::DecodeOutput out = tvx::RunDecode(*decoder, request, files);
    written += out.listing.size() + out.block.size();
    benchmark::DoNotOptimize(written);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    std::cerr << "usage: tvx_bench_decode SAMPLES_DIR [benchmark options]\n";
    return 2;
  }
  const std::string dir = argv[1];
  std::ifstream list(dir + "/samples.txt");
  std::string line;
  int registered = 0;
  while (std::getline(list, line)) {
    std::istringstream words(line);
    std::string deliverable;
    std::string file;
    double start = 0;
    if (line.empty() || line[0] == '#' || !(words >> deliverable >> file >> start)) continue;
    if (!tvx::FindDecoder(deliverable)) continue;
    const std::string bytes = tvx::hexstream::ReadFile(dir + "/" + file);
    benchmark::RegisterBenchmark(("decode/" + deliverable).c_str(), Decode, deliverable, bytes,
                                 start);
    ++registered;
  }
  if (registered == 0) {
    std::cerr << "tvx_bench_decode: no sample of a built decoder in " << dir << "\n";
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
