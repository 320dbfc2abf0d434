#!/usr/bin/python3
"""imr.identify_many next to `imr identify -j N --json` over the same tree.

Builds a tree of copies of the files under tests/data, describes it once
each way to fill the cache beside the files (both ways read it), checks that
both give the same descriptions, then times ROUNDS alternating runs of each
and prints the medians and their ratio.  The command's time is its whole
run (start, set-up, printing); identify_many's is the call in this process,
and, to compare like with like, a fresh python3 that imports the package
and runs it.

    bench/identify_many.py [--build build/release] [--files 3000] [--threads 2] [--rounds 7]
"""
import argparse
import json
import os
import pathlib
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


def timed(run):
    start = time.perf_counter()
    result = run()
    return time.perf_counter() - start, result


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

        def run_command():
            return subprocess.run(command + [str(listing)], stdout=subprocess.PIPE, check=False).stdout

        def run_package():
            return list(imr.identify_many(paths, threads=options.threads))

        def run_fresh():
            subprocess.run(fresh, env=environment, check=True)

        printed = [json.loads(line) for line in run_command().splitlines()]
        if run_package() != printed:
            sys.exit("identify_many and the command describe the tree differently")
        times = {"command": [], "package": [], "fresh": []}
        for _ in range(options.rounds):
            times["command"].append(timed(run_command)[0])
            times["package"].append(timed(run_package)[0])
            times["fresh"].append(timed(run_fresh)[0])

    median = {name: statistics.median(values) for name, values in times.items()}
    print(f"{len(paths)} files, {options.threads} threads, median of {options.rounds} rounds")
    print(f"  imr identify -j {options.threads} --json       {median['command'] * 1000:8.1f} ms")
    print(f"  imr.identify_many, in process     {median['package'] * 1000:8.1f} ms"
          f"   ratio {median['package'] / median['command']:.2f}")
    print(f"  imr.identify_many, fresh python3  {median['fresh'] * 1000:8.1f} ms"
          f"   ratio {median['fresh'] / median['command']:.2f}")


if __name__ == "__main__":
    main()
