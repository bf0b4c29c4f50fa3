#!/usr/bin/env python3
"""zorvseg-dask: segments a directory of text files into a directory of
segmented files on a Dask cluster, one segmenter per worker process.

    zorvseg-dask [--workers N] [--format words|pos|mix] IN_DIR OUT_DIR
    zorvseg-dask --scheduler tcp://HOST:8786 IN_DIR OUT_DIR

Every file under IN_DIR (at any depth) becomes the file of the same
relative path under OUT_DIR, one output line per input line, as
`zorvseg --format FORMAT` writes it. Without --scheduler a local cluster of
N worker processes is started; with it the work goes to a running cluster
(on any number of machines), whose workers need the zorvsegment package
and a data directory. Files are read and written here: they are sent to
the workers in blocks of lines, so the machines share no file system.

Exit status: 0 success; 1 failure (an unreadable input, an unwritable
output, a failed segmentation); 2 usage error.
"""
import argparse
import collections
import os
import sys
import sysconfig

# About this much text goes to a worker at a time.
BLOCK_BYTES = 1 << 20
FORMATS = ("words", "pos", "mix")


def segment_block(text, fmt, data_dir, mode):
    """Runs on a worker: the segmented lines of text (whole lines, each
    ending in a newline). The worker's segmenter is made on its first block
    and kept on the worker for the ones after."""
    from distributed import get_worker
    import zorvsegment

    worker = get_worker()
    key = (data_dir, mode)
    segmenters = worker.__dict__.setdefault("zorvseg_segmenters", {})
    if key not in segmenters:
        segmenters[key] = zorvsegment.Segmenter(data_dir, mode)
    segmenter = segmenters[key]
    out = []
    for line in text.split("\n")[:-1]:
        if fmt == "pos":
            words = [f"{word}/{tag}" for word, tag in segmenter.pos_cut(line)]
        else:
            words = segmenter.cut(line, "mix" if fmt == "mix" else "basic")
        out.append(" ".join(words) + "\n")
    return "".join(out)


def blocks_of(path):
    """The text of a file in blocks of whole lines; the last line ends in a
    newline whether the file's does or not."""
    with open(path, "rb") as f:
        rest = b""
        while True:
            chunk = f.read(BLOCK_BYTES)
            if not chunk:
                break
            data = rest + chunk
            cut = data.rfind(b"\n") + 1
            if cut == 0:  # no line end yet: read on
                rest = data
                continue
            rest = data[cut:]
            yield data[:cut].decode("utf-8", errors="replace")
        if rest:
            yield (rest + b"\n").decode("utf-8", errors="replace")


def input_files(in_dir):
    for root, dirs, files in os.walk(in_dir):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(root, name)
            if os.path.isfile(path):
                yield os.path.relpath(path, in_dir)


def package_dirs_beside_this_script():
    """Where the zorvsegment package sits relative to this script: the build
    tree's python/ beside bin/, or the prefix's site-packages folder."""
    prefix = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    site = sysconfig.get_path("platlib", "posix_prefix", {"base": prefix, "platbase": prefix})
    return [os.path.join(prefix, "python"), site]


def check_modules():
    """Finds the zorvsegment package (built for one interpreter) and Dask, and
    says what is missing when this interpreter lacks either."""
    try:
        import distributed  # noqa: F401
    except ImportError:
        sys.exit(f"zorvseg-dask: {sys.executable} cannot import distributed. Install Debian's\n"
                 "python3-distributed and run this script with /usr/bin/python3.")
    try:
        import zorvsegment  # noqa: F401
        return
    except ImportError:
        pass
    for directory in package_dirs_beside_this_script():
        if os.path.isdir(os.path.join(directory, "zorvsegment")):
            sys.path.insert(0, directory)
            # Workers of a local cluster start from this environment.
            os.environ["PYTHONPATH"] = os.pathsep.join(
                filter(None, [directory, os.environ.get("PYTHONPATH")]))
            break
    try:
        import zorvsegment  # noqa: F401,F811
    except ImportError as error:
        sys.exit(f"zorvseg-dask: {sys.executable} cannot import zorvsegment ({error}).\n"
                 f"Build the module for this interpreter (ABI {sysconfig.get_config_var('SOABI')}):"
                 f"\n  cmake -S . -B build -DPython3_EXECUTABLE={sys.executable}\n"
                 f"and put the package on PYTHONPATH (build/python) or install it.")


def start_client(args):
    import dask
    from distributed import Client, LocalCluster

    if args.scheduler:
        return Client(args.scheduler), None
    # Spawned workers re-import everything and are killed at shutdown after
    # a timeout; forked ones from a clean server process start and stop fast.
    dask.config.set({"distributed.worker.multiprocessing-method": "forkserver"})
    # One thread per worker process: one segmenter per process, no sharing.
    cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                           dashboard_address=None)
    return Client(cluster), cluster


def run(args):
    files = list(input_files(args.in_dir))
    client, cluster = start_client(args)
    window = collections.deque()  # blocks in flight, in input order
    limit = 4 * max(1, len(client.scheduler_info().get("workers", {})) or args.workers)
    out_file = None
    current = None
    try:
        def write_oldest():
            nonlocal out_file, current
            rel, future = window.popleft()
            if rel != current:
                if out_file is not None:
                    out_file.close()
                dest = os.path.join(args.out_dir, rel)
                os.makedirs(os.path.dirname(dest), exist_ok=True)
                out_file = open(dest, "w", encoding="utf-8")
                current = rel
            if future is not None:
                out_file.write(future.result())

        for rel in files:
            window.append((rel, None))  # opens the output, even of an empty file
            for block in blocks_of(os.path.join(args.in_dir, rel)):
                window.append((rel, client.submit(segment_block, block, args.format,
                                                  args.data, args.mode, pure=False)))
                while len(window) > limit:
                    write_oldest()
        while window:
            write_oldest()
    finally:
        if out_file is not None:
            out_file.close()
        client.close()
        if cluster is not None:
            cluster.close()
    return len(files)


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="zorvseg-dask", description=__doc__.split("\n\n")[0],
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("in_dir", help="directory of UTF-8 text files")
    parser.add_argument("out_dir", help="where the segmented files go (created)")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster (default: one per core)")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler "
                        "(tcp://host:8786) instead of a local cluster")
    parser.add_argument("--format", choices=FORMATS, default="words")
    parser.add_argument("--mode", type=lambda v: int(v, 16), default=None,
                        help="mode bits in hexadecimal (default: the command line's, 0x400214)")
    parser.add_argument("--data", help="data directory on the workers "
                        "(default: the one their zorvsegment package finds)")
    args = parser.parse_args(argv)
    if args.workers < 1:
        parser.error("--workers must be at least 1")
    if not os.path.isdir(args.in_dir):
        parser.exit(1, f"zorvseg-dask: {args.in_dir} is not a directory\n")
    if os.path.abspath(args.out_dir) == os.path.abspath(args.in_dir):
        parser.error("the output directory must differ from the input directory")
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    check_modules()
    try:
        count = run(args)
    except (OSError, RuntimeError, ValueError) as error:
        print(f"zorvseg-dask: {error}", file=sys.stderr)
        return 1
    print(f"zorvseg-dask: {count} file{'' if count == 1 else 's'} segmented into {args.out_dir}",
          file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
