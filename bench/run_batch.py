"""Times a whole batch side by side: the tool driven on a pseudo-terminal,
the per-file durable floor, the batched durable floor, and sed -i; several
alternating rounds over fresh copies of the same batch. Then the tool's
peak memory on a file with one huge line.

usage: run_batch.py TOOL FLOOR BATCHED_FLOOR SCRATCH [--files N] [--rounds R]
                    [--huge-mb M]
"""
import argparse
import glob
import os
import pty
import resource
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
import make_batch  # noqa: E402


def run_tool(tool, folder, answers=b"y\r*\r"):
    """Runs the tool in `folder` on a pseudo-terminal with the answers typed
    ahead; returns (seconds, exit status, peak RSS in KiB)."""
    start = time.perf_counter()
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(folder)
        os.execv(tool, [tool])
    os.write(fd, answers)
    while True:  # keep the terminal drained so the tool never blocks on it
        try:
            if not os.read(fd, 65536):
                break
        except OSError:
            break
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    os.close(fd)
    return elapsed, os.waitstatus_to_exitcode(status), usage.ru_maxrss


def fresh_copy(master, work):
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(master, work)
    os.sync()  # nobody pays for the copy's write-back
    return sorted(glob.glob(os.path.join(work, "*.xml")))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("floor")
    parser.add_argument("batched_floor")
    parser.add_argument("scratch")
    parser.add_argument("--files", type=int, default=5000)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--huge-mb", type=int, default=200)
    parser.add_argument("--writer-mb", type=int, default=4096)
    args = parser.parse_args()
    args.tool, args.floor = os.path.abspath(args.tool), os.path.abspath(args.floor)
    args.batched_floor = os.path.abspath(args.batched_floor)

    master = os.path.join(args.scratch, "batch")
    work = os.path.join(args.scratch, "work")
    shutil.rmtree(master, ignore_errors=True)
    make_batch.main_with(master, args.files)
    sizes = [os.path.getsize(p) for p in glob.glob(os.path.join(master, "*.xml"))]
    print("batch: %d templates, %.1f KB each, on %s" % (len(sizes), statistics.mean(sizes) / 1024,
                                                       args.scratch))

    def tool():
        fresh_copy(master, work)
        seconds, status, _ = run_tool(args.tool, work)
        if status != 0:
            sys.exit("the tool ended with status %d" % status)
        return seconds

    def floor():
        files = fresh_copy(master, work)
        start = time.perf_counter()
        subprocess.run([args.floor] + files, check=True)
        return time.perf_counter() - start

    def batched():
        files = fresh_copy(master, work)
        start = time.perf_counter()
        subprocess.run([args.batched_floor] + files, check=True)
        return time.perf_counter() - start

    def sed():
        files = fresh_copy(master, work)
        start = time.perf_counter()
        subprocess.run(["sed", "-i", "s/<metd>[0-9]*</<metd>20261208</"] + files, check=True)
        return time.perf_counter() - start

    contenders = [("tool", tool), ("floor", floor), ("batched floor", batched), ("sed -i", sed)]
    times = {name: [] for name, _ in contenders}
    for r in range(args.rounds):
        k = r % len(contenders)
        order = contenders[k:] + contenders[:k]  # alternate who goes first
        for name, run in order:
            times[name].append(run())
        print("round %d: %s" % (r + 1, ", ".join("%s %.2f s" % (n, times[n][-1]) for n, _ in contenders)),
              flush=True)
    shutil.rmtree(work, ignore_errors=True)

    median = {name: statistics.median(t) for name, t in times.items()}
    print()
    print("| measure | value |")
    print("|---|---|")
    def round_ratio(other):
        return statistics.median(t / o for t, o in zip(times["tool"], times[other]))

    print("| tool / durable floor (medians; median of round ratios) | %.3f; %.3f |" %
          (median["tool"] / median["floor"], round_ratio("floor")))
    print("| tool / batched durable floor (medians; median of round ratios) | %.3f; %.3f |" %
          (median["tool"] / median["batched floor"], round_ratio("batched floor")))
    print("| tool / sed -i (medians; median of round ratios) | %.3f; %.3f |" %
          (median["tool"] / median["sed -i"], round_ratio("sed -i")))
    for name in ("tool", "floor", "batched floor", "sed -i"):
        print("| %s, median of %d | %.2f s (%.2f ms per file) |" %
              (name, args.rounds, median[name], 1000 * median[name] / args.files))

    # Beside another program writing a large file without pause: the tool
    # must not wait for that program's data (it syncs its whole file system
    # only while little else is dirty).
    writer_path = os.path.join(args.scratch, "writer.bin")
    fresh_copy(master, work)
    writer = subprocess.Popen(["dd", "if=/dev/zero", "of=" + writer_path, "bs=1M",
                               "count=%d" % args.writer_mb], stderr=subprocess.DEVNULL)
    time.sleep(1.0)  # let its dirty data build up
    seconds, status, _ = run_tool(args.tool, work)
    writer.kill()
    writer.wait()
    os.remove(writer_path)
    print("| tool beside a %d MB writer | %.2f s (%.2f x its median alone; status %d) |" %
          (args.writer_mb, seconds, seconds / median["tool"], status))

    # Peak memory for one line of args.huge_mb megabytes.
    huge = os.path.join(args.scratch, "huge")
    shutil.rmtree(huge, ignore_errors=True)
    os.makedirs(huge)
    text = make_batch.template("huge")
    cut = text.index("    <posacc>")
    line_bytes = args.huge_mb << 20
    with open(os.path.join(huge, "huge.xml"), "wb") as f:
        f.write(text[:cut].encode())
        f.write(b"x" * line_bytes + b"\r\n")
        f.write(text[cut:].encode())
    seconds, status, rss_kib = run_tool(args.tool, huge)
    shutil.rmtree(huge, ignore_errors=True)
    budget_kib = (2 * line_bytes + (16 << 20)) // 1024
    print("| peak memory, one %d MB line | %.1f MB (budget %.1f MB; %.2f s, status %d) |" %
          (args.huge_mb, rss_kib / 1024, budget_kib / 1024, seconds, status))


if __name__ == "__main__":
    main()
