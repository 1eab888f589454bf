// Decodes per second in-process: each built decoder on its bundled sample, the whole run of one
// request (reset, stream read, block written) in memory, offsets on. Where tvx is built, also
// tvx's own decode (tvx_core's DecodeWhole, what `tvx decode` and the Python module run), without
// offsets: on the sample's bytes in memory (core_decode/) and on the sample opened by its path
// for every decode (core_decode_file/).
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

#ifdef TVX_BENCH_CORE
#include "controls.h"
#include "decode.h"
#include "files.h"
#include "record.h"
#endif

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

#ifdef TVX_BENCH_CORE
void CoreDecode(benchmark::State& state, const tvx::DeliverableInfo* control,
                const std::string& bytes, const std::string& path, tvx::core::Position start) {
  tvx::core::Decoders decoders;
  tvx::Decoder& decoder = decoders.For(*control);
  std::size_t written = 0;
  for (auto _ : state) {
    tvx::core::DecodedText out;
    if (path.empty()) {
      tvx::BytesInput input(bytes);
      out = tvx::core::DecodeWhole(decoder, input, start, false);
    } else {
      const tvx::core::OpenedInput opened = tvx::core::OpenProgram(path);
      out = tvx::core::DecodeWhole(decoder, *opened.input, start, false);
    }
    written += out.listing.size() + out.block.size();
    benchmark::DoNotOptimize(written);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The decoded record that tvx's outputs take (its typed properties collected as the block is
// written), whole: nothing left in the file, as the Python module decodes.
void RecordDecode(benchmark::State& state, const tvx::DeliverableInfo* control,
                  const std::string& bytes, tvx::core::Position start) {
  tvx::core::Decoders decoders;
  tvx::Decoder& decoder = decoders.For(*control);
  std::size_t properties = 0;
  for (auto _ : state) {
    tvx::BytesInput input(bytes);
    const tvx::core::DecodedRecord record =
        tvx::core::Decode(decoder, input, start, false, true, static_cast<std::size_t>(-1));
    properties += record.properties.size();
    benchmark::DoNotOptimize(properties);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
#endif

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
#ifdef TVX_BENCH_CORE
    const tvx::DeliverableInfo* control = tvx::core::FindControl(deliverable);
    const auto position = static_cast<tvx::core::Position>(start);
    benchmark::RegisterBenchmark(("core_decode/" + deliverable).c_str(), CoreDecode, control, bytes,
                                 std::string(), position);
    benchmark::RegisterBenchmark(("core_decode_file/" + deliverable).c_str(), CoreDecode, control,
                                 bytes, dir + "/" + file, position);
    benchmark::RegisterBenchmark(("record_decode/" + deliverable).c_str(), RecordDecode, control,
                                 bytes, position);
#endif
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
