#!/usr/bin/env python3
"""Prints the benchmark results as a table: nanoseconds per pixel of every
KRV_GetImage path and decoder, and their ratios to the baselines measured on
the same picture in the same run. Reads Google Benchmark's JSON output; with
repetitions, the medians are used."""
import json
import sys
from collections import OrderedDict


def load(path):
    with open(path) as f:
        data = json.load(f)
    times = OrderedDict()  # name -> (cpu ns per iteration, counters)
    medians = {}
    for b in data["benchmarks"]:
        name = b.get("run_name", b["name"])
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        entry = (b["cpu_time"] * scale, b)
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = entry
        else:
            times.setdefault(name, entry)
    times.update(medians)
    return data.get("context", {}), times


def main():
    context, times = load(sys.argv[1])
    groups = OrderedDict()
    listing = []
    for name, (ns, b) in times.items():
        parts = name.split("/")
        if parts[0] == "ald_listing":
            listing.append((parts[1], ns, b["members"]))
            continue
        group = "/".join(parts[:3])
        groups.setdefault(group, {})[parts[3]] = ns / b["pixels"]

    print("CPU time, median of the repetitions (%s, %s CPUs at %s MHz)" %
          (context.get("date", "?"), context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?")))
    print()
    header = ("path", "content", "size", "get_image ns/px", "decode ns/px", "x uncompress", "x both streams",
              "x png", "x memcpy", "png ns/px", "block ns/px", "block x png")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for group, t in groups.items():
        path, content, size = group.split("/")
        get = t.get("get_image")
        def ratio(base):
            return "%.2f" % (get / t[base]) if get and base in t else "-"
        row = (path, content, size, "%.2f" % get if get else "-",
               "%.2f" % t["decode"] if "decode" in t else "-",
               ratio("zlib_uncompress"), ratio("zlib_uncompress_both"), ratio("png_decode"), ratio("memcpy"),
               "%.2f" % t["png_decode"] if "png_decode" in t else "-",
               "%.2f" % t["zeroed_block"] if "zeroed_block" in t else "-",
               "%.2f" % (t["zeroed_block"] / t["png_decode"]) if "zeroed_block" in t and "png_decode" in t else "-")
        print("| " + " | ".join(row) + " |")

    print()
    print("QNT against inflating the same streams (the colour stream; for qnt32 both streams)")
    print()
    header = ("path", "content", "size", "get_image ns/px", "zlib ns/px", "libdeflate ns/px",
              "Debian libdeflate ns/px", "inflate path ns/px", "rebuild ns/px", "get_image x zlib",
              "libdeflate x zlib", "Debian libdeflate x zlib", "inflate path x zlib")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for group, t in groups.items():
        path, content, size = group.split("/")
        zlib = t.get("zlib_uncompress_both" if path == "qnt32" else "zlib_uncompress")
        if not zlib or "get_image" not in t or "libdeflate" not in t or "inflate_path" not in t:
            continue
        keys = ("get_image", "libdeflate", "libdeflate_debian", "inflate_path")
        row = (path, content, size, "%.2f" % t["get_image"], "%.2f" % zlib) + \
            tuple("%.2f" % t[k] if k in t else "-" for k in keys[1:] + ("rebuild",)) + \
            tuple("%.2f" % (t[k] / zlib) if k in t else "-" for k in keys)
        print("| " + " | ".join(row) + " |")

    print()
    print("Linearity: get_image ns/px at 2048x2048 over ns/px at 1024x768")
    print()
    print("| path | content | ratio |")
    print("|---|---|---|")
    for group, t in groups.items():
        path, content, size = group.split("/")
        if size != "2048x2048":
            continue
        small = groups.get("%s/%s/1024x768" % (path, content), {}).get("get_image")
        if small and "get_image" in t:
            print("| %s | %s | %.2f |" % (path, content, t["get_image"] / small))

    if listing:
        print()
        print("ALD listing, table t[0] = 255")
        print()
        print("| members | ms | ns/member |")
        print("|---|---|---|")
        for arg, ns, members in listing:
            print("| %d | %.2f | %.0f |" % (members, ns / 1e6, ns / members))
        if len(listing) >= 2:
            print()
            print("per-member time, largest over smallest: %.2f" %
                  ((listing[-1][1] / listing[-1][2]) / (listing[0][1] / listing[0][2])))


if __name__ == "__main__":
    main()
