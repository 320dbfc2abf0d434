#!/usr/bin/python3
"""imr.identify_many next to `imr identify -j N --json` over the same tree.

Builds a tree of copies of the files under tests/data, describes it once
each way to fill the cache beside the files (both ways read it), checks that
both give the same descriptions, then times ROUNDS alternating runs of each
and prints the medians of wall and CPU time and their ratios.  The command's time is its whole
run (start, set-up, printing); identify_many's is the call in this process,
and, to compare like with like, a fresh python3 that imports the package
and runs it.

    bench/identify_many.py [--build build/release] [--files 3000] [--threads 2] [--rounds 7]
"""
import argparse
import json
import os
import pathlib
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def make_tree(folder, count):
    """`count` copies of the test data files, 500 to a folder; their paths in
    the order `imr identify -r` walks them."""
    sources = sorted(p for p in (ROOT / "tests" / "data").rglob("*") if p.is_file())
    for n in range(count):
        source = sources[n % len(sources)]
        target = folder / f"d{n // 500:02d}" / f"{n:05d}-{source.name}"
        target.parent.mkdir(exist_ok=True)
        shutil.copyfile(source, target)
    return sorted(str(p) for p in folder.rglob("*") if p.is_file())


def cpu_seconds():
    """CPU time of this process (all its threads) and of its ended children."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def timed(run):
    """Wall and CPU seconds of run(): on a machine that other work shares, the
    CPU time says more than the wall time."""
    wall, cpu = time.perf_counter(), cpu_seconds()
    run()
    return time.perf_counter() - wall, cpu_seconds() - cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "release"))
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--rounds", type=int, default=7)
    options = parser.parse_args()
    build = pathlib.Path(options.build).resolve()
    sys.path.insert(0, str(build / "python"))
    import imr

    command = [str(build / "bin" / "imr"), "identify", "-j", str(options.threads), "--json",
               "--files-from"]
    with tempfile.TemporaryDirectory(prefix="imr_bench_") as temporary:
        tree = pathlib.Path(temporary) / "tree"
        tree.mkdir()
        paths = make_tree(tree, options.files)
        listing = pathlib.Path(temporary) / "paths.txt"
        listing.write_text("".join(p + "\n" for p in paths))
        fresh = [sys.executable, "-c",
                 "import imr, sys; paths = open(sys.argv[1]).read().split('\\n')[:-1]; "
                 f"sum(1 for _ in imr.identify_many(paths, threads={options.threads}))",
                 str(listing)]
        environment = dict(os.environ, PYTHONPATH=str(build / "python"))

        def run_command(output=subprocess.DEVNULL):
            return subprocess.run(command + [str(listing)], stdout=output, check=False).stdout

        def run_package():
            return list(imr.identify_many(paths, threads=options.threads))

        def run_fresh():
            subprocess.run(fresh, env=environment, check=True)

        printed = [json.loads(line) for line in run_command(subprocess.PIPE).splitlines()]
        if run_package() != printed:
            sys.exit("identify_many and the command describe the tree differently")
        runs = {"command": run_command, "package": run_package, "fresh": run_fresh}
        times = {name: [] for name in runs}
        for _ in range(options.rounds):
            for name, run in runs.items():
                times[name].append(timed(run))

    wall = {name: statistics.median(t[0] for t in values) for name, values in times.items()}
    cpu = {name: statistics.median(t[1] for t in values) for name, values in times.items()}
    print(f"{len(paths)} files, {options.threads} threads, median of {options.rounds} rounds"
          f" (load average {os.getloadavg()[0]:.1f})")
    print("                                        wall ms  ratio     CPU ms  ratio")
    for name, label in [("command", f"imr identify -j {options.threads} --json"),
                        ("package", "imr.identify_many, in process"),
                        ("fresh", "imr.identify_many, fresh python3")]:
        print(f"  {label:36s} {wall[name] * 1000:8.1f}  {wall[name] / wall['command']:5.2f}"
              f"   {cpu[name] * 1000:8.1f}  {cpu[name] / cpu['command']:5.2f}")


if __name__ == "__main__":
    main()
