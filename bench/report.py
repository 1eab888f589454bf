#!/usr/bin/env python3
"""Turns the benchmark measurements into the ratios that docs/tools.md records.

report.py DECODE_JSON EXCHANGE_JSON
"""
import json
import sys

EXCHANGE_TARGET = 1.5
START_TARGET = 1.3
FILE_SIZE_TARGET = 1.1
PEAK_MEMORY_TARGET_KIB = 4096


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        decode = json.load(f)
    with open(sys.argv[2]) as f:
        exchange = json.load(f)["results"]

    decode_ns = {}
    for b in decode["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        name = b["name"].split("/")[1]
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
        decode_ns[name] = b["real_time"] * scale

    # Per request, in nanoseconds, the best of the rounds: other work on the machine only ever
    # adds time, and the plug-in and the floor are taken alike.
    def per_request(r, key):
        return min(r[key]) / r["requests"]

    print()
    print("(a) decodes in-process, per decoder on its bundled sample")
    print(f"    {'deliverable':<20} {'decodes/s':>12} {'share of a request':>20}")
    stream_ns = {r["deliverable"]: per_request(r, "stream_ns") for r in exchange}
    for name, ns in decode_ns.items():
        share = f"{ns / stream_ns[name]:.3f}" if name in stream_ns else "-"
        print(f"    {name:<20} {1e9 / ns:>12,.0f} {share:>20}")
    print("    share of a request = in-process decode time / time per request through the plug-in")
    print("    in throughput mode (b)")

    window = exchange[0]["window"] if exchange else 0
    print()
    print("(b) requests through one long-lived plug-in against the I/O floor"
          f" ({exchange[0]['requests'] if exchange else 0:,} requests a run, best of {len(exchange[0]['floor_ns']) if exchange else 0} rounds)")
    print(f"    {'':<20} {'':>5} {'requests per second':^38}   {'time per request / floor':^28}")
    print(f"    {'deliverable':<20} {'files':>5} {'floor':>10} {'lock-step':>12} {'throughput':>12}   "
          f"{'lock-step':>10} {'throughput':>11}  target <= {EXCHANGE_TARGET}")
    worst_stream = 0.0
    worst_lockstep = 0.0
    two_file = []
    for r in exchange:
        fl = per_request(r, "floor_ns")
        lock = per_request(r, "lockstep_ns")
        stream = per_request(r, "stream_ns")
        worst_lockstep = max(worst_lockstep, lock / fl)
        worst_stream = max(worst_stream, stream / fl)
        verdict = "met" if stream / fl <= EXCHANGE_TARGET else "MISSED"
        print(f"    {r['deliverable']:<20} {r.get('floor_files', 2):>5} {1e9 / fl:>10,.0f} "
              f"{1e9 / lock:>12,.0f} {1e9 / stream:>12,.0f}   {lock / fl:>10.2f} "
              f"{stream / fl:>11.2f}  {verdict}")
        if "two_file_floor_ns" in r:
            two_file.append((r["deliverable"], stream / per_request(r, "two_file_floor_ns")))
    print("    files = the files the sample's request writes, and so the floor: the listing, the")
    print("      block and, where the stream holds a picture, the picture file.")
    for name, ratio in two_file:
        print(f"      {name} against a floor of the listing and block alone: {ratio:.2f}")
    print(f"    throughput: the driver keeps {window} requests in flight, so the plug-in never waits")
    print("      for it: this is the exchange's own cost, the ratio compared with the target.")
    print("    lock-step: one request, then wait for its reply; each request also pays the")
    print("      operating system waking two processes in turn (a pipe round trip), which the")
    print("      floor, a single process, never pays. Shown for reference, not compared.")

    print()
    print("    where a request's time goes, per request, as multiples of the floor (same run):")
    print(f"    {'deliverable':<20} {'input':>6} {'decode':>7} {'in-process':>11} "
          f"{'bare channel':>13} {'throughput':>11}   {'bare channel':>13} {'lock-step':>10}")
    for r in exchange:
        fl = per_request(r, "floor_ns")
        print(f"    {r['deliverable']:<20} {r['input_read_ns'] / fl:>6.2f} "
              f"{decode_ns.get(r['deliverable'], 0.0) / fl:>7.2f} "
              f"{per_request(r, 'in_process_ns') / fl:>11.2f} "
              f"{per_request(r, 'channel_stream_ns') / fl:>13.2f} "
              f"{per_request(r, 'stream_ns') / fl:>11.2f}   "
              f"{per_request(r, 'channel_ns') / fl:>13.2f} {per_request(r, 'lockstep_ns') / fl:>10.2f}")
    print("    input = stat of the program file's path and one positioned read of its first chunk;")
    print("    decode = (a), in memory;")
    print("    in-process = the whole request (input, decode, the files) by the plug-in's decoder and")
    print("    file system in the benchmark's own process, no channel; bare channel = the same")
    print("    requests and replies through pipes to a child that only answers, in each mode.")
    print()
    print("    CPU time per request, as multiples of the floor's CPU time per request:")
    print(f"    {'deliverable':<20} {'plug-in, throughput':>20} {'plug-in, lock-step':>19} "
          f"{'driver, throughput':>19} {'driver, lock-step':>18}")
    for r in exchange:
        cpu = r["cpu_per_request_ns"]
        fl = cpu["floor"]
        print(f"    {r['deliverable']:<20} {cpu['plugin_stream'] / fl:>20.2f} "
              f"{cpu['plugin_lockstep'] / fl:>19.2f} {cpu['driver_stream'] / fl:>19.2f} "
              f"{cpu['driver_lockstep'] / fl:>18.2f}")
    print("    plug-in = its time on a CPU (user and system); driver = this benchmark's side.")

    print()
    print("(c) start of a plug-in to its first reply against a trivial static C program's start and end"
          f" (median of {exchange[0]['starts'] if exchange else 0} starts)")
    print(f"    {'deliverable':<20} {'ratio':>7} {'vs /bin/true':>13}  target <= {START_TARGET}")
    worst_start = 0.0
    for r in exchange:
        ratio = r["start_to_reply_median_ns"] / r["trivial_median_ns"]
        worst_start = max(worst_start, ratio)
        vs_true = (f"{r['start_to_reply_median_ns'] / r['bin_true_median_ns']:.2f}"
                   if "bin_true_median_ns" in r else "-")
        print(f"    {r['deliverable']:<20} {ratio:>7.2f} {vs_true:>13}  "
              f"{'met' if ratio <= START_TARGET else 'MISSED'}")

    print()
    sizes = [r for r in exchange if "file_size" in r]
    worst_size = 0.0
    worst_peak = 0
    if sizes:
        f0 = sizes[0]["file_size"]
        print(f"(d) the same stream in a {f0['small_file_bytes']:,}-byte file and in a"
              f" {f0['big_file_bytes'] / 2**20:.0f} MiB file (near its start, middle and end in turn)")
        print(f"    {'deliverable':<20} {'time per request, big / small':^30} {'peak resident memory':^24}")
        print(f"    {'':<20} {'lock-step':>14} {'throughput':>14}   {'small':>10} {'big':>10}"
              f"  target <= {FILE_SIZE_TARGET}, <= {PEAK_MEMORY_TARGET_KIB // 1024} MiB")
        for r in sizes:
            f = r["file_size"]
            lock = min(f["big_lockstep_ns"]) / min(f["small_lockstep_ns"])
            stream = min(f["big_stream_ns"]) / min(f["small_stream_ns"])
            worst_size = max(worst_size, stream)
            worst_peak = max(worst_peak, f["peak_resident_kib_big"])
            ok = stream <= FILE_SIZE_TARGET and f["peak_resident_kib_big"] <= PEAK_MEMORY_TARGET_KIB
            print(f"    {r['deliverable']:<20} {lock:>14.2f} {stream:>14.2f}   "
                  f"{f['peak_resident_kib_small']:>7} KiB {f['peak_resident_kib_big']:>6} KiB"
                  f"  {'met' if ok else 'MISSED'}")
        print("    the throughput ratio is compared with the target; peak memory is the plug-in's")
        print("    high-water mark after serving the big file (VmHWM).")
        print()

    print(f"worst throughput exchange-to-floor ratio {worst_stream:.2f} "
          f"(target <= {EXCHANGE_TARGET}: {'met' if worst_stream <= EXCHANGE_TARGET else 'MISSED'}); "
          f"worst lock-step ratio {worst_lockstep:.2f} (not compared: includes process wake-ups)")
    print(f"worst start-to-first-reply ratio {worst_start:.2f} "
          f"(target <= {START_TARGET}: {'met' if worst_start <= START_TARGET else 'MISSED'})")
    if sizes:
        print(f"worst big-to-small file time ratio {worst_size:.2f} "
              f"(target <= {FILE_SIZE_TARGET}: {'met' if worst_size <= FILE_SIZE_TARGET else 'MISSED'}); "
              f"highest peak memory {worst_peak} KiB "
              f"(target <= {PEAK_MEMORY_TARGET_KIB} KiB: "
              f"{'met' if worst_peak <= PEAK_MEMORY_TARGET_KIB else 'MISSED'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
