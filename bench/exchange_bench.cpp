// The exchange against its floors, measured in one run on one machine:
//  - requests through one long-lived plug-in process over its POSIX channel (requests on
//    standard input, replies on standard output), in two modes:
//      lock-step: send one request, wait for its reply, repeat; each request then also pays the
//        operating system's wake-up of two processes in turn, which a single process never pays;
//      throughput: keep a window of requests in flight, sending one more for every reply, so the
//        plug-in never waits for the driver; this is the plug-in's own request rate;
//    against the I/O floor: the tvx_io_floor program writing the same files (those the sample's
//    request writes) the same number of times. Beside them, the same requests served in this
//    process by the same decoder and the same POSIX file system, without the channel. The rounds
//    alternate; after every run the files must hold exactly the bytes the floor writes.
//  - the time from starting a plug-in process to its first reply, against the time to start and
//    end a trivial program (tvx_trivial, a static C program; /bin/true for reference);
//  - the same stream in a 4 KiB file and at three places in a 50 MiB file, the time per request
//    of each and the plug-in's peak resident memory.
// Prints the measurements as JSON; scripts/bench.sh turns them into ratios.
//
// tvx_bench_exchange BIN_DIR SAMPLES_DIR BENCH_DIR [REQUESTS [STARTS [ROUNDS [WINDOW]]]]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"
#include "hexstream.h"
#include "registry.h"
#include "tvx/decode_run.h"
#include "tvx/platform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kEndMark = static_cast<char>(255);
const std::string kReply = std::string("^DONE") + kEndMark;
const std::string kEnd = std::string("^END") + kEndMark;

std::int64_t Nanoseconds(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
}

// User and system time.
std::int64_t CpuNanoseconds(const rusage& usage) {
  const auto ns = [](const timeval& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_usec * 1000;
  };
  return ns(usage.ru_utime) + ns(usage.ru_stime);
}

std::int64_t SelfCpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuNanoseconds(usage);
}

// The time a running process has spent on a CPU so far, to the nanosecond (the first field of
// /proc/PID/schedstat); -1 where the system does not tell.
std::int64_t OnCpuNanoseconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/schedstat");
  std::int64_t ns = -1;
  if (!(stat >> ns)) return -1;
  return ns;
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
}

void SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("the plug-in stopped reading");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Sends `count` requests on `to`, the `requests` in turn, keeping up to `window` in flight:
// writes requests ahead, reads the replies from `from` as they come and sends one more request
// for every reply, until all have been answered. Every reply must be exactly kReply, one per
// request. With a window of 1 this is the lock-step exchange.
void StreamRequests(int to, int from, const std::vector<std::string>& requests, long count,
                    long window) {
  long sent = 0;
  long answered = 0;
  std::size_t matched = 0;  // bytes of the current reply seen so far
  std::string batch;
  const auto topUp = [&] {
    const long n = std::min(count - sent, window - (sent - answered));
    if (n <= 0) return;
    batch.clear();
    for (long i = 0; i < n; ++i)
      batch += requests[static_cast<std::size_t>(sent + i) % requests.size()];
    SendAll(to, batch);
    sent += n;
  };
  topUp();
  char buffer[4096];
  while (answered < count) {
    const ssize_t n = read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("the plug-in did not reply");
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != kReply[matched]) {
        errno = 0;
        Fail("the plug-in replied something else");
      }
      if (++matched == kReply.size()) {
        matched = 0;
        ++answered;
      }
    }
    if (answered > sent) {
      errno = 0;
      Fail("the plug-in replied more often than it was asked");
    }
    topUp();
  }
}

// A plug-in (or the trivial program) started with pipes as its standard input and output.
class Process {
 public:
  explicit Process(const std::string& program) : child_(program) {
    if (!child_.started()) {
      errno = 0;
      Fail("cannot start " + program + ": " + child_.error());
    }
  }

  void Send(const std::string& bytes) {
    if (!child_.Send(bytes)) Fail("the plug-in stopped reading");
  }

  void ExpectReply() {
    if (child_.Read(kReply.size(), 10000) != kReply) {
      errno = 0;
      Fail("the plug-in did not reply, or replied something else");
    }
  }

  // Keeps up to `window` requests in flight until `count` have been answered.
  void Stream(const std::string& request, long count, long window) {
    StreamRequests(child_.input(), child_.output(), {request}, count, window);
  }
  void Stream(const std::vector<std::string>& requests, long count, long window) {
    StreamRequests(child_.input(), child_.output(), requests, count, window);
  }

  pid_t pid() const { return child_.pid(); }

  int Wait() { return child_.Wait(-1).value_or(-1); }

  void End() {
    Send(kEnd);
    child_.CloseInput();
    if (Wait() != 0) {
      errno = 0;
      Fail("the plug-in did not end cleanly");
    }
  }

 private:
  tvx::ChildProcess child_;
};

std::string RunForOutput(const std::vector<std::string>& args, std::int64_t* cpu) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) Fail("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed != 0) {
    errno = failed;
    Fail("cannot start " + args[0]);
  }
  std::string text;
  char buffer[256];
  for (;;) {
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int raw = 0;
  rusage usage{};
  wait4(pid, &raw, 0, &usage);
  *cpu += CpuNanoseconds(usage);
  if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) {
    errno = 0;
    Fail(args[0] + " failed");
  }
  return text;
}

std::int64_t Median(std::vector<std::int64_t> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Json(const std::vector<std::int64_t>& values) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    text += (i ? ", " : "") + std::to_string(values[i]);
  }
  return text + "]";
}

// The channel alone: the same request and reply through pipes to a child that only answers,
// `count` times, `window` requests in flight (1: lock-step). This is the part of a request that
// no file and no decode costs.
std::int64_t BareChannel(const std::string& request, long count, long window) {
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) Fail("pipe");
  const pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    close(in[1]);
    close(out[0]);
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(in[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) _exit(0);
      for (ssize_t i = 0; i < n; ++i) {
        if (buffer[i] == kEndMark && write(out[1], kReply.data(), kReply.size()) <= 0) _exit(1);
      }
    }
  }
  close(in[0]);
  close(out[1]);
  const auto t0 = Clock::now();
  StreamRequests(in[1], out[0], {request}, count, window);
  const std::int64_t elapsed = Nanoseconds(Clock::now() - t0);
  close(in[1]);
  close(out[0]);
  int raw = 0;
  waitpid(pid, &raw, 0);
  return elapsed;
}

// Reading the input as a plug-in does for every request: the path checked against the held
// descriptor (stat), one positioned read of the first chunk. Nanoseconds per read.
std::int64_t InputReads(const std::string& path, long start, long count) {
  std::vector<char> buffer(4096);
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail("open " + path);
  const auto t0 = Clock::now();
  for (long i = 0; i < count; ++i) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) Fail("stat " + path);
    if (pread(fd, buffer.data(), buffer.size(), start - 1) < 0) Fail("pread " + path);
  }
  const std::int64_t ns = Nanoseconds(Clock::now() - t0) / count;
  close(fd);
  return ns;
}

// The whole of `count` requests without the channel: the request parsed, the input read, the
// decode, the files written, by the plug-in's own decoder and file system, in this process.
std::int64_t InProcess(const std::string& deliverable, const std::string& request,
                       const fs::path& dir, long count) {
  const auto decoder = tvx::FindDecoder(deliverable);
  if (!decoder) {
    errno = 0;
    Fail("no decoder for " + deliverable);
  }
  const auto files = tvx::MakeNativeFileSystem(dir.string());
  const auto t0 = Clock::now();
  for (long i = 0; i < count; ++i)
    tvx::ServeRequest(*decoder, tvx::ParseRequest(request), *files);
  return Nanoseconds(Clock::now() - t0);
}

struct Sample {
  std::string deliverable;
  std::string file;
  std::string start;
};

std::vector<Sample> Samples(const std::string& dir) {
  std::vector<Sample> samples;
  std::ifstream list(dir + "/samples.txt");
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream words(line);
    Sample s;
    if (line.empty() || line[0] == '#' || !(words >> s.deliverable >> s.file >> s.start)) continue;
    s.file = dir + "/" + s.file;
    samples.push_back(s);
  }
  return samples;
}

struct Options {
  std::string bin;
  std::string samples;
  std::string bench;
  long requests = 10000;
  long starts = 101;
  long rounds = 5;
  long window = 32;
};

// The files a request can write: the listing, the block and, where the stream holds one, the
// picture. The floor writes the same files as the sample's request; the two-file floor, the
// listing and the block only.
const std::vector<std::string> kOutputFiles = {"TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP",
                                               "TEVOGRAPHICFILE1.TMP"};
const std::vector<std::string> kFloorFiles = {"TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP"};

// Overwrites each of the files `names` present in `dir` with other bytes, longer than the file's,
// the way the floor writes (in place, then cut to length), so that a run that did not write a file
// leaves it visibly wrong.
void Spoil(const fs::path& dir, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const fs::path path = dir / name;
    if (!fs::exists(path)) continue;
    const std::string bytes(fs::file_size(path) + 7, '~');
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) Fail("open " + path.string());
    const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                    ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    if (close(fd) != 0 || !ok) Fail("spoil " + path.string());
  }
}

// The files `names` in `dir` must hold exactly the reference bytes: the listing and block the
// floor writes (the listing, the block and, where the sample has one, the picture).
void CheckFiles(const fs::path& dir, const std::vector<std::string>& names,
                const std::string& after) {
  for (const std::string& name : names) {
    const fs::path ref = dir / (name + ".ref");
    if (!fs::exists(ref)) continue;
    if (tvx::hexstream::ReadFile(dir / name) != tvx::hexstream::ReadFile(ref)) {
      errno = 0;
      Fail(name + " after " + after + " differs from the reference");
    }
  }
}

// Random bytes, the same in every run.
std::string RandomBytes(std::size_t n, std::uint64_t seed) {
  std::string bytes(n, '\0');
  std::uint64_t x = seed;
  for (std::size_t i = 0; i < n; i += 8) {
    x += 0x9E3779B97F4A7C15u;  // splitmix64
    std::uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    for (std::size_t j = 0; j < 8 && i + j < n; ++j)
      bytes[i + j] = static_cast<char>(z >> (8 * j));
  }
  return bytes;
}

void WriteAt(const fs::path& path, std::uint64_t offset, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) Fail("open " + path.string());
  const bool ok = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                  static_cast<ssize_t>(bytes.size());
  if (close(fd) != 0 || !ok) Fail("write " + path.string());
}

// Peak resident memory of a process in KiB (VmHWM in /proc/PID/status); -1 where not told.
std::int64_t PeakResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6));
  }
  return -1;
}

// The big file: random bytes; each sample's stream is written into it at three places.
constexpr std::uint64_t kBigFileSize = std::uint64_t{50} << 20;
constexpr std::uint64_t kSmallFileSize = 4096;
constexpr std::uint64_t kLead = 1024;  // random bytes before the stream near the start

// The cost of where the stream lies: the same stream in a 4 KiB file and near the start, in the
// middle and near the end of the big file (the three in turn), one long-lived plug-in serving
// both, without offsets so that every request writes the same files. Returns a JSON object.
std::string MeasureFileSize(const Options& o, const Sample& s, const fs::path& dir,
                            const fs::path& program, const fs::path& big) {
  const std::string sample = tvx::hexstream::ReadFile(s.file);
  const auto from = static_cast<std::size_t>(std::stoull(s.start) - 1);
  const std::string stream = sample.substr(std::min(from, sample.size()));
  std::string smallBytes = RandomBytes(kLead, 1) + stream;
  if (smallBytes.size() < kSmallFileSize) {
    smallBytes += RandomBytes(kSmallFileSize - smallBytes.size(), 2);
  }
  const fs::path small = dir / "small.bin";
  {
    std::ofstream file(small, std::ios::binary | std::ios::trunc);
    file.write(smallBytes.data(), static_cast<std::streamsize>(smallBytes.size()));
    if (!file) Fail("write " + small.string());
  }
  const std::uint64_t places[] = {kLead, kBigFileSize / 2, kBigFileSize - kLead - stream.size()};
  std::vector<std::string> bigRequests;
  for (const std::uint64_t at : places) {
    WriteAt(big, at, stream);
    bigRequests.push_back("%" + fs::absolute(big).string() + "#" + std::to_string(at + 1) + "@N" +
                          kEndMark);
  }
  const std::string smallRequest =
      "%" + fs::absolute(small).string() + "#" + std::to_string(kLead + 1) + "@N" + kEndMark;

  std::vector<std::int64_t> smallLockstep;
  std::vector<std::int64_t> bigLockstep;
  std::vector<std::int64_t> smallStream;
  std::vector<std::int64_t> bigStream;
  Process plugin(program.string());
  plugin.Stream(smallRequest, 200, 1);
  for (const std::string& name : kOutputFiles) {
    fs::remove(dir / (name + ".ref"));
    if (fs::exists(dir / name)) fs::copy_file(dir / name, dir / (name + ".ref"));
  }
  const std::int64_t smallPeak = PeakResidentKiB(plugin.pid());
  const auto run = [&](const std::vector<std::string>& requests, long window,
                       std::vector<std::int64_t>& times, const char* name) {
    Spoil(dir, kOutputFiles);
    const auto t0 = Clock::now();
    plugin.Stream(requests, o.requests, window);
    times.push_back(Nanoseconds(Clock::now() - t0));
    CheckFiles(dir, kOutputFiles, name);
  };
  for (long r = 0; r < o.rounds; ++r) {
    run({smallRequest}, 1, smallLockstep, "the small file, lock-step");
    run(bigRequests, 1, bigLockstep, "the big file, lock-step");
    run({smallRequest}, o.window, smallStream, "the small file, throughput");
    run(bigRequests, o.window, bigStream, "the big file, throughput");
  }
  const std::int64_t bigPeak = PeakResidentKiB(plugin.pid());
  plugin.End();

  std::ostringstream json;
  json << "{\"big_file_bytes\": " << kBigFileSize << ", \"small_file_bytes\": " << smallBytes.size()
       << ", \"stream_bytes\": " << stream.size()
       << ",\n       \"small_lockstep_ns\": " << Json(smallLockstep)
       << ", \"big_lockstep_ns\": " << Json(bigLockstep)
       << ",\n       \"small_stream_ns\": " << Json(smallStream)
       << ", \"big_stream_ns\": " << Json(bigStream)
       << ",\n       \"peak_resident_kib_small\": " << smallPeak
       << ", \"peak_resident_kib_big\": " << bigPeak << "}";
  return json.str();
}

// One deliverable: the exchange and the floor in alternating rounds, then the starts.
std::string Measure(const Options& o, const Sample& s, const fs::path& big) {
  std::string pattern = o.bench + "/run-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
  const fs::path dir = pattern;
  const fs::path program = dir / (s.deliverable + ".tvx");
  fs::copy_file(fs::path(o.bin) / (s.deliverable + ".tvx"), program);
  const std::string request = "%" + fs::absolute(s.file).string() + "#" + s.start + "@Y" + kEndMark;

  constexpr long kWarmUp = 200;
  std::vector<std::int64_t> lockstep;  // nanoseconds per run of o.requests, one per round
  std::vector<std::int64_t> stream;
  std::vector<std::int64_t> inProcess;
  std::vector<std::int64_t> floor;
  std::vector<std::int64_t> twoFileFloor;  // only where the request writes a third file
  std::vector<std::string> written;        // the files the plug-in wrote
  bool moreFiles = false;                  // more than the listing and the block
  // CPU per request: the plug-in's (on-CPU time), this program's side of the exchange, the floor's.
  std::int64_t pluginLockstepCpu = 0;
  std::int64_t pluginStreamCpu = 0;
  std::int64_t driverLockstepCpu = 0;
  std::int64_t driverStreamCpu = 0;
  std::int64_t floorCpu = 0;
  {
    Process plugin(program.string());
    for (int i = 0; i < kWarmUp; ++i) {  // warm the caches and the files
      plugin.Send(request);
      plugin.ExpectReply();
    }
    for (const std::string& name : kFloorFiles) {
      if (!fs::exists(dir / name)) {
        errno = 0;
        Fail(s.deliverable + " wrote no " + name);
      }
    }
    // The floor writes what the plug-in wrote: the same files, the same bytes.
    std::vector<std::string> floorArgs = {o.bench + "/tvx_io_floor", dir.string(),
                                          std::to_string(o.requests)};
    for (const std::string& name : kOutputFiles) {
      if (!fs::exists(dir / name)) continue;
      fs::copy_file(dir / name, dir / (name + ".ref"));
      floorArgs.push_back((dir / (name + ".ref")).string());
      written.push_back(name);
    }
    std::vector<std::string> twoFileArgs(floorArgs.begin(), floorArgs.begin() + 3);
    for (const std::string& name : kFloorFiles)
      twoFileArgs.push_back((dir / (name + ".ref")).string());
    moreFiles = written.size() > kFloorFiles.size();
    // One timed run of the plug-in with `window` requests in flight; the files are checked after.
    const auto run = [&](long window, std::vector<std::int64_t>& times, std::int64_t& pluginCpu,
                         std::int64_t& driverCpu, const char* name) {
      Spoil(dir, kOutputFiles);
      const std::int64_t plugin0 = OnCpuNanoseconds(plugin.pid());
      const std::int64_t driver0 = SelfCpu();
      const auto t0 = Clock::now();
      plugin.Stream(request, o.requests, window);
      times.push_back(Nanoseconds(Clock::now() - t0));
      driverCpu += SelfCpu() - driver0;
      pluginCpu += OnCpuNanoseconds(plugin.pid()) - plugin0;
      CheckFiles(dir, kOutputFiles, name);
    };
    for (long r = 0; r < o.rounds; ++r) {
      run(1, lockstep, pluginLockstepCpu, driverLockstepCpu, "the lock-step run");
      run(o.window, stream, pluginStreamCpu, driverStreamCpu, "the throughput run");
      Spoil(dir, kOutputFiles);
      inProcess.push_back(InProcess(s.deliverable, request, dir, o.requests));
      CheckFiles(dir, kOutputFiles, "the run in-process");
      Spoil(dir, written);
      floor.push_back(std::stoll(RunForOutput(floorArgs, &floorCpu)));
      CheckFiles(dir, written, "the floor");
      if (moreFiles) {
        std::int64_t unused = 0;
        Spoil(dir, kFloorFiles);
        twoFileFloor.push_back(std::stoll(RunForOutput(twoFileArgs, &unused)));
        CheckFiles(dir, kFloorFiles, "the two-file floor");
      }
    }
    plugin.End();
    const long total = o.rounds * o.requests;
    pluginLockstepCpu /= total;
    pluginStreamCpu /= total;
    driverLockstepCpu /= total;
    driverStreamCpu /= total;
    floorCpu /= total;
  }

  std::vector<std::int64_t> channel;
  std::vector<std::int64_t> channelStream;
  for (long r = 0; r < o.rounds; ++r) {
    channel.push_back(BareChannel(request, o.requests, 1));
    channelStream.push_back(BareChannel(request, o.requests, o.window));
  }
  const std::int64_t inputRead =
      InputReads(fs::absolute(s.file).string(), std::stol(s.start), o.requests);

  std::vector<std::int64_t> start;
  std::vector<std::int64_t> trivial;
  std::vector<std::int64_t> binTrue;
  const bool haveTrue = access("/bin/true", X_OK) == 0;
  for (long i = 0; i < o.starts; ++i) {
    {
      const auto t0 = Clock::now();
      Process p(o.bench + "/tvx_trivial");
      p.Wait();
      trivial.push_back(Nanoseconds(Clock::now() - t0));
    }
    if (haveTrue) {
      const auto t0 = Clock::now();
      Process p("/bin/true");
      p.Wait();
      binTrue.push_back(Nanoseconds(Clock::now() - t0));
    }
    {
      const auto t0 = Clock::now();
      Process plugin(program.string());
      plugin.Send(request);
      plugin.ExpectReply();
      start.push_back(Nanoseconds(Clock::now() - t0));
      plugin.End();
    }
  }
  const std::string fileSize = MeasureFileSize(o, s, dir, program, big);
  fs::remove_all(dir);

  std::ostringstream json;
  json << "    {\"deliverable\": \"" << s.deliverable << "\", \"requests\": " << o.requests
       << ", \"window\": " << o.window << ",\n     \"lockstep_ns\": " << Json(lockstep)
       << ", \"stream_ns\": " << Json(stream) << ", \"in_process_ns\": " << Json(inProcess)
       << ", \"floor_ns\": " << Json(floor) << ", \"floor_files\": " << written.size();
  if (moreFiles) json << ", \"two_file_floor_ns\": " << Json(twoFileFloor);
  json << ",\n     \"cpu_per_request_ns\": {\"plugin_lockstep\": " << pluginLockstepCpu
       << ", \"plugin_stream\": " << pluginStreamCpu
       << ", \"driver_lockstep\": " << driverLockstepCpu
       << ", \"driver_stream\": " << driverStreamCpu << ", \"floor\": " << floorCpu << "}"
       << ",\n     \"channel_ns\": " << Json(channel)
       << ", \"channel_stream_ns\": " << Json(channelStream) << ", \"input_read_ns\": " << inputRead
       << ",\n     \"start_to_reply_median_ns\": " << Median(start)
       << ", \"trivial_median_ns\": " << Median(trivial);
  if (haveTrue) json << ", \"bin_true_median_ns\": " << Median(binTrue);
  json << ", \"starts\": " << o.starts << ",\n     \"file_size\": " << fileSize << "}";
  return json.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 8) {
    std::cerr << "usage: tvx_bench_exchange BIN_DIR SAMPLES_DIR BENCH_DIR [REQUESTS [STARTS "
                 "[ROUNDS [WINDOW]]]]\n";
    return 2;
  }
  Options o;
  o.bin = argv[1];
  o.samples = argv[2];
  o.bench = argv[3];
  if (argc > 4) o.requests = std::strtol(argv[4], nullptr, 10);
  if (argc > 5) o.starts = std::strtol(argv[5], nullptr, 10);
  if (argc > 6) o.rounds = std::strtol(argv[6], nullptr, 10);
  if (argc > 7) o.window = std::strtol(argv[7], nullptr, 10);
  if (o.requests < 1 || o.starts < 1 || o.rounds < 1 || o.window < 1) {
    std::cerr << "tvx_bench_exchange: counts must be at least 1\n";
    return 2;
  }
  try {
    const fs::path big = fs::path(o.bench) / "big-program.bin";
    {
      std::ofstream file(big, std::ios::binary | std::ios::trunc);
      const std::string block = RandomBytes(1 << 20, 3);
      for (std::uint64_t done = 0; done < kBigFileSize; done += block.size())
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
      if (!file) Fail("write " + big.string());
    }
    std::vector<std::string> results;
    for (const Sample& s : Samples(o.samples)) {
      if (!fs::exists(fs::path(o.bin) / (s.deliverable + ".tvx"))) continue;
      results.push_back(Measure(o, s, big));
    }
    fs::remove(big);
    std::cout << "{\"results\": [\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
      std::cout << results[i] << (i + 1 < results.size() ? ",\n" : "\n");
    }
    std::cout << "]}\n";
  } catch (const std::exception& e) {
    std::cerr << "tvx_bench_exchange: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
