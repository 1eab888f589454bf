#!/usr/bin/env python3
"""Turns the benchmark measurements into the ratios that docs/tools.md records.

report.py DECODE_JSON EXCHANGE_JSON
"""
import json
import statistics
import sys

EXCHANGE_TARGET = 1.5
START_TARGET = 3.0


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

    print()
    print("(a) decodes in-process, per decoder on its bundled sample")
    print(f"    {'deliverable':<20} {'decodes/s':>12} {'share of a request':>20}")
    per_request = {}
    for r in exchange:
        per_request[r["deliverable"]] = statistics.median(r["exchange_ns"]) / r["requests"]
    for name, ns in decode_ns.items():
        share = f"{ns / per_request[name]:.3f}" if name in per_request else "-"
        print(f"    {name:<20} {1e9 / ns:>12,.0f} {share:>20}")
    print("    share of a request = in-process decode time / one request through the plug-in")

    print()
    print("(b) requests through one long-lived plug-in against the I/O floor"
          f" ({exchange[0]['requests'] if exchange else 0:,} requests, median of the rounds)")
    print(f"    {'deliverable':<20} {'requests/s':>12} {'floor rounds/s':>15} "
          f"{'ratio':>7}  target <= {EXCHANGE_TARGET}")
    worst_exchange = 0.0
    for r in exchange:
        ex = statistics.median(r["exchange_ns"])
        fl = statistics.median(r["floor_ns"])
        ratio = ex / fl
        worst_exchange = max(worst_exchange, ratio)
        n = r["requests"]
        print(f"    {r['deliverable']:<20} {n * 1e9 / ex:>12,.0f} {n * 1e9 / fl:>15,.0f} "
              f"{ratio:>7.2f}  {'met' if ratio <= EXCHANGE_TARGET else 'MISSED'}")

    print()
    print("    where a request's time goes, per request, as multiples of the floor (same run):")
    print(f"    {'deliverable':<20} {'channel':>8} {'input':>7} {'decode':>7} {'files':>7} "
          f"{'sum':>6} {'measured':>9} {'floor+channel':>14}")
    for r in exchange:
        n = r["requests"]
        fl = statistics.median(r["floor_ns"]) / n
        channel = statistics.median(r["channel_ns"]) / n
        read = r["input_read_ns"]
        dec = decode_ns.get(r["deliverable"], 0.0)
        measured = statistics.median(r["exchange_ns"]) / n
        total = fl + channel + read + dec
        print(f"    {r['deliverable']:<20} {channel / fl:>8.2f} {read / fl:>7.2f} {dec / fl:>7.2f} "
              f"{1:>7.2f} {total / fl:>6.2f} {measured / fl:>9.2f} {(fl + channel) / fl:>14.2f}")
    print("    channel = the same request and reply through pipes to a child that only answers;")
    print("    input = stat, open, fstat, read, close of the program file; decode = (a);")
    print("    files = the floor itself; floor+channel = the least any plug-in on this channel")
    print("    could reach, without reading its input or decoding.")

    print()
    print("(c) start of a plug-in to its first reply against a trivial program's start and end"
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
    print(f"worst exchange-to-floor ratio {worst_exchange:.2f} (target <= {EXCHANGE_TARGET}), "
          f"worst start-to-first-reply ratio {worst_start:.2f} (target <= {START_TARGET})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
