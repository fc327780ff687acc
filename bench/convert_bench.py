#!/usr/bin/env python3
"""Times whole conversions to PNG: torva beside ImageMagick from the BMP of the
same pixels, and beside decoding alone (torva writing the BMP). Each picture
is timed twice: per picture within one process converting COPIES copies of
it (ImageMagick's mogrify, torva convert at -j 1), so that start-up counts
for neither tool; and as a whole process converting it alone.
Prints Markdown tables; see scripts/bench-convert.sh.

  convert_bench.py TORVA PICTURES_DIR WORK_DIR [--runs N] [--copies N]
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

IMAGEMAGICK = "/usr/bin/convert"  # Debian's; not the sandbox's wrapper
MOGRIFY = "/usr/bin/mogrify"


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command, runs):
    """Medians of wall time and of processor time (user and system, all
    threads) in milliseconds of `runs` runs, after one warm-up. On a shared
    machine the processor time is the steadier of the two."""
    walls, cpus = [], []
    for i in range(runs + 1):
        start, cpu = time.perf_counter(), cpu_seconds()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        if i > 0:
            walls.append((time.perf_counter() - start) * 1000)
            cpus.append((cpu_seconds() - cpu) * 1000)
    return statistics.median(walls), statistics.median(cpus)


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def stem(name):
    return os.path.splitext(name)[0]


def copies_of(path, directory, count):
    """`count` copies of the file at `path` in a fresh `directory`."""
    fresh(directory)
    extension = os.path.splitext(path)[1]
    names = []
    for i in range(count):
        names.append(os.path.join(directory, f"{i:03d}{extension}"))
        shutil.copyfile(path, names[-1])
    return names


def per_picture(command, count, runs):
    """Processor ms a picture (median of runs) of a command converting `count`."""
    return timed(command, runs)[1] / count


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("torva")
    parser.add_argument("pictures")
    parser.add_argument("work")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--copies", type=int, default=16)
    args = parser.parse_args()

    help_text = subprocess.run([args.torva, "convert", "--help"], capture_output=True, text=True).stdout
    jobs = ["-j", "1"] if "--jobs" in help_text or "-j" in help_text.split() else []
    levels = ["fast", "default", "best"] if "--level" in help_text else [None]
    # Each run writes over the previous run's files.
    overwrite = ["--overwrite"] if "--overwrite" in help_text else []

    single = os.path.join(args.pictures, "single")
    rows = []
    for name in sorted(os.listdir(single)):
        picture = os.path.join(single, name)
        bmp_dir = fresh(os.path.join(args.work, "bmp"))
        decode_ms, decode_cpu = timed([args.torva, "convert", "--format", "bmp", *jobs, *overwrite, picture, "-o", bmp_dir], args.runs)
        bmp = os.path.join(bmp_dir, stem(name) + ".bmp")
        magick_png = os.path.join(args.work, "magick.png")
        magick_ms, magick_cpu = timed([IMAGEMAGICK, bmp, magick_png], args.runs)
        magick_size = os.path.getsize(magick_png)
        ours = {}
        for level in levels:
            out = fresh(os.path.join(args.work, "png"))
            command = [args.torva, "convert", "--format", "png", *jobs, *overwrite, picture, "-o", out]
            if level:
                command += ["--level", level]
            ms, cpu = timed(command, args.runs)
            ours[level or "default"] = (cpu, os.path.getsize(os.path.join(out, stem(name) + ".png")), ms)
        # Per picture, start-up spread over the copies.
        pictures = copies_of(picture, os.path.join(args.work, "copies"), args.copies)
        bitmaps = copies_of(bmp, os.path.join(args.work, "bmp-copies"), args.copies)
        out = fresh(os.path.join(args.work, "copies-out"))
        batch_decode = per_picture([args.torva, "convert", "--format", "bmp", *jobs, *overwrite, *pictures, "-o", out],
                                   args.copies, args.runs)
        batch_magick = per_picture([MOGRIFY, "-path", out, "-format", "png", *bitmaps], args.copies, args.runs)
        batch_ours = per_picture([args.torva, "convert", "--format", "png", *jobs, *overwrite, *pictures, "-o", out],
                                 args.copies, args.runs)
        rows.append((stem(name), decode_cpu, magick_cpu, magick_size, ours, magick_ms,
                     (batch_decode, batch_magick, batch_ours)))

    print(f"Per picture: processor ms a picture within one process converting {args.copies} copies "
          f"(ImageMagick's mogrify; torva convert{' -j 1' if jobs else ''}); medians of {args.runs} runs.")
    print()
    # The targets: at the default level no larger than ImageMagick's file and
    # at least 5 x faster; at the best level at least 3 % smaller.
    best = "best" if "best" in levels else "default"
    print("| picture | decode alone (BMP) | ImageMagick | torva PNG | speed-up | ImageMagick KB "
          "| torva KB | size ratio | best's ratio | targets |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for picture, _, _, magick_size, ours, _, batch in rows:
        decode, magick, cpu = batch
        size = ours["default"][1]
        speedup, ratio, best_ratio = magick / cpu, size / magick_size, ours[best][1] / magick_size
        verdict = ", ".join(["time met" if speedup >= 5 else "time missed",
                             "size met" if ratio <= 1 else "size missed",
                             "best met" if best_ratio <= 0.97 else "best missed"])
        print(f"| {picture} | {decode:.1f} | {magick:.1f} | {cpu:.1f} | {speedup:.1f}x | {magick_size / 1000:.1f} "
              f"| {size / 1000:.1f} | {ratio:.3f} | {best_ratio:.3f} | {verdict} |")
    print()
    print("Whole process, one picture: processor ms (wall ms in brackets).")
    print()
    print("| picture | decode alone (BMP) | ImageMagick | torva PNG | speed-up |")
    print("|---|---:|---:|---:|---:|")
    for picture, decode_cpu, magick_cpu, magick_size, ours, magick_ms, _ in rows:
        cpu, size, ms = ours["default"]
        print(f"| {picture} | {decode_cpu:.0f} | {magick_cpu:.0f} ({magick_ms:.0f}) | {cpu:.0f} ({ms:.0f}) | "
              f"{magick_cpu / cpu:.1f}x |")
    if len(levels) > 1:
        print()
        print("| picture | " + " | ".join(f"{l} ms | {l} KB" for l in levels) + " |")
        print("|---|" + "---:|---:|" * len(levels))
        for picture, _, _, _, ours, _, _ in rows:
            print(f"| {picture} | " + " | ".join(f"{ours[l][0]:.1f} | {ours[l][1] / 1000:.1f}" for l in levels) + " |")

    batch = os.path.join(args.pictures, "batch")
    files = [os.path.join(batch, n) for n in sorted(os.listdir(batch))]
    out = os.path.join(args.work, "batch")
    print()
    print(f"| batch of {len(files)} pictures | wall ms | processor ms |")
    print("|---|---:|---:|")
    settings = [("-j 1", ["-j", "1"]), ("default -j", [])] if jobs else [("one at a time (no -j yet)", [])]
    for label, flags in settings:
        command = [args.torva, "convert", "--format", "png", *flags, *overwrite, *files, "-o", out]
        ms, cpu = timed(command, max(1, args.runs // 2))
        print(f"| {label} | {ms:.0f} | {cpu:.0f} |")
        fresh(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
