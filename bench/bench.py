#!/usr/bin/python3
"""Times Brimlark Backup's unattended run against its peers on the same data, round by round.

Data sets:
  (a) 4 files of 256 MiB                 ours, Wine xcopy, cp -a, rsync -a, dd bs=2M
  (b) 20,000 files of 1-8 KiB in 200 folders   ours, Wine xcopy, cp -a, rsync -a
  (c) a rerun of (b) where nothing changed, with the update method   ours, xcopy /D, rsync -a
  (d) FTP: upload and download of 2,000 small files and of one 256 MiB file through our client against a
      local pyftpdlib server, beside Debian's lftp (mirror -R / mirror, serial and with --parallel=4)
Also: the fixed cost of starting a Wine process, and our peak memory for 1,000 and 100,000 files.
Every tool copies into a fresh target each round (removing the target is not timed); tools take turns
within a round so that the machine's state affects all of them alike; before each timed run the page
cache is written back and, as root, emptied. Min and median of at least 5 rounds.
"""
import argparse
import re
import os
import random
import shutil
import statistics
import subprocess
import time

WINE = "/usr/lib/wine/wine64"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(command, **kwargs):
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            stdin=subprocess.DEVNULL, **kwargs)
    return result.returncode


def timed(command):
    started = time.perf_counter()
    code = run(command)
    return time.perf_counter() - started, code


def make_large_files(folder):
    os.makedirs(folder, exist_ok=True)
    block = os.urandom(1 << 20)
    for i in range(4):
        with open(os.path.join(folder, f"large{i}.bin"), "wb") as f:
            for _ in range(256):
                f.write(block)


def make_small_tree(folder, files, folders, seed=5):
    rng = random.Random(seed)
    payload = os.urandom(8192)
    per_folder = files // folders
    for d in range(folders):
        sub = os.path.join(folder, f"dir{d // 20:02d}", f"sub{d:03d}")
        os.makedirs(sub, exist_ok=True)
        for f in range(per_folder):
            with open(os.path.join(sub, f"file{f:04d}.dat"), "wb") as out:
                out.write(payload[: rng.randint(1024, 8192)])


def fresh_copies(tree, *targets):
    """Each target becomes a fresh copy of tree."""
    for target in targets:
        if os.path.exists(target):
            shutil.rmtree(target)
        subprocess.run(["cp", "-a", tree, target], check=True)


def write_job(path, source_text, target_text, flag, settings=""):
    """Writes the settings file as the program itself keeps it (UTF-16LE with its mark), and only when it
    changes, so that a run measures the backup and not the one-time conversion of a hand-written file.
    settings: more lines of the "Settings" section."""
    text = ("[Settings]\r\nversion=1\r\nFlag=%d\r\nSkipAttributes=0\r\n%s[Folders]\r\n0=%s<|>%s\r\n"
            % (flag, settings, source_text, target_text))
    data = b"\xff\xfe" + text.encode("utf-16-le")
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    with open(path, "wb") as f:
        f.write(data)


class Bench:
    def __init__(self, exe, work, rounds, baseline_exe=None):
        self.work = work
        self.rounds = rounds
        self.exe = os.path.join(work, "app", "Brimlark.exe")
        os.makedirs(os.path.dirname(self.exe), exist_ok=True)
        shutil.copy(exe, self.exe)
        # An earlier build of ours, measured in the same rounds to show what a change costs.
        self.baseline_exe = None
        if baseline_exe:
            self.baseline_exe = os.path.join(work, "app-baseline", "Brimlark.exe")
            os.makedirs(os.path.dirname(self.baseline_exe), exist_ok=True)
            shutil.copy(baseline_exe, self.baseline_exe)

    def ours(self, source, target, update, source_text=None, target_text=None, exe=None, mode="/Quiet",
             flag=None, settings=""):
        exe = exe or self.exe
        job = os.path.join(os.path.dirname(exe), os.path.basename(target) + ".brlk")
        write_job(job, source_text or windows_path(source), target_text or windows_path(target),
                  flag if flag is not None else (16 if update else 0), settings)
        return [WINE, exe, mode, "/NoUpdate", windows_path(job)]

    def with_baseline(self, tools, command_for):
        """Adds the earlier build, run as command_for(target, exe), after ours."""
        if not self.baseline_exe:
            return tools
        return tools[:1] + [("baseline build", lambda t: command_for(t, self.baseline_exe))] + tools[1:]

    def xcopy(self, source, target, update):
        switches = ["/E", "/I", "/Q", "/Y", "/K", "/H"] + (["/D"] if update else [])
        return [WINE, "xcopy.exe", windows_path(source), windows_path(target)] + switches

    def measure(self, name, tools, fresh_target=True, prepare=None):
        """tools: list of (label, function(target) -> command or list of commands). Returns {label: [s]}.
        prepare(target), when given, fills each fresh target before it is timed."""
        times = {label: [] for label, _ in tools}
        for round_number in range(self.rounds):
            # Each round starts with another tool, and the data the previous tool wrote is flushed first
            # (untimed), so that no tool pays for another's write-back.
            start = round_number % len(tools)
            for label, command_for in tools[start:] + tools[:start]:
                target = os.path.join(self.work, "target-" + label.split()[0].replace("/", ""))
                if fresh_target and os.path.exists(target):
                    shutil.rmtree(target)
                if prepare:
                    prepare(target)
                settle_page_cache()
                commands = command_for(target)
                if isinstance(commands[0], str):
                    commands = [commands]
                started = time.perf_counter()
                for command in commands:
                    code = run(command)
                    if code not in (0,):
                        print(f"    ({label} exited with {code})")
                times[label].append(time.perf_counter() - started)
        self.report(name, times)
        return times

    def report(self, name, times):
        print(f"\n{name}")
        print(f"  {'tool':<28}{'min s':>9}{'median s':>10}   ours is faster by (median)")
        ours = statistics.median(times["ours"])
        for label, values in times.items():
            median = statistics.median(values)
            ratio = "" if label == "ours" else f"{median / ours:6.2f} x"
            print(f"  {label:<28}{min(values):9.3f}{median:10.3f}   {ratio}")


def settle_page_cache():
    """Writes back what the previous tool left in the page cache, and empties the cache when we may (as
    root), so that no tool pays for another's write-back and every tool reads its source from disk."""
    run(["sync"])
    if os.geteuid() == 0:
        try:
            with open("/proc/sys/vm/drop_caches", "w") as f:
                f.write("3\n")
        except OSError:
            pass


def peak_memory_kib(command):
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    return int(result.stderr.strip().splitlines()[-1])


def stored_form(tool, port, directory):
    result = subprocess.run([WINE, tool, "127.0.0.1", directory, "brimlark", "secret pass", str(port), "2"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, text=True)
    return result.stdout.strip()


def ftp_section(bench, work, tool, server_script):
    state_dir = os.path.join(work, "ftp-server")
    subprocess.run([server_script, "start", state_dir], check=True, stdout=subprocess.DEVNULL)
    try:
        with open(os.path.join(state_dir, "state")) as f:
            port = int(f.readline())
            home = f.readline().strip()
        lftp_login = ["lftp", "-u", "brimlark,secret pass", "-p", str(port)]

        def lftp(commands):
            return lftp_login + ["-e", "set ftp:passive-mode on; " + commands + "; quit", "127.0.0.1"]

        results = {}
        for label, make in (("2,000 files of 1-8 KiB", lambda d: make_small_tree(d, 2000, 20)),
                            ("one 256 MiB file", lambda d: make_one_large(d))):
            source = os.path.join(work, "ftp-source")
            make(source)
            def up_ours(t):
                remote = "/up-ours"
                shutil.rmtree(os.path.join(home, "up-ours"), ignore_errors=True)
                return bench.ours(source, t, False, target_text=stored_form(tool, port, remote))
            def up_lftp(t):
                shutil.rmtree(os.path.join(home, "up-lftp"), ignore_errors=True)
                return lftp(f"mirror -R --no-perms {source} /up-lftp")
            def up_baseline(t, exe):
                shutil.rmtree(os.path.join(home, "up-baseline"), ignore_errors=True)
                return bench.ours(source, t, False, target_text=stored_form(tool, port, "/up-baseline"), exe=exe)
            def up_lftp_parallel(t):
                shutil.rmtree(os.path.join(home, "up-lftp4"), ignore_errors=True)
                return lftp(f"mirror -R --parallel=4 --no-perms {source} /up-lftp4")
            upload = bench.measure(f"(d) FTP upload, {label}", bench.with_baseline(
                [("ours", up_ours), ("lftp mirror -R", up_lftp), ("lftp mirror -R --parallel=4", up_lftp_parallel)],
                up_baseline))
            download = bench.measure(f"(d) FTP download, {label}", bench.with_baseline([
                ("ours", lambda t: bench.ours(t, t, False, source_text=stored_form(tool, port, "/up-ours"))),
                ("lftp mirror", lambda t: lftp(f"mirror --no-perms /up-lftp {t}")),
                ("lftp mirror --parallel=4", lambda t: lftp(f"mirror --parallel=4 --no-perms /up-lftp {t}")),
            ], lambda t, exe: bench.ours(t, t, False, source_text=stored_form(tool, port, "/up-ours"), exe=exe)))
            results[label] = (upload, download)
            shutil.rmtree(source)
        return results
    finally:
        subprocess.run([server_script, "stop", state_dir], stdout=subprocess.DEVNULL)


def make_one_large(folder):
    os.makedirs(folder, exist_ok=True)
    block = os.urandom(1 << 20)
    with open(os.path.join(folder, "large.bin"), "wb") as f:
        for _ in range(256):
            f.write(block)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rounds", type=int, default=5, help="at least 5")
    parser.add_argument("--stored-form-tool", required=True)
    parser.add_argument("--ftp-server-script", required=True)
    parser.add_argument("--sections", default="abcdmv",
                        help="which parts to run: a b c d, m for memory, v for versions, p for the progress window "
                             "and w for the preview window (both need a display)")
    parser.add_argument("--mainwnd-tests", help="the main window's test executable, for section w")
    parser.add_argument("--baseline-exe", help="an earlier build of ours, timed beside it in (a) to (d)")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)
    # Fewer rounds make a median that one unlucky round decides.
    bench = Bench(args.exe, work, max(args.rounds, 5), args.baseline_exe)
    if os.geteuid() != 0:
        print("Not root: the page cache is written back before each timed run but not emptied.")
    sections = args.sections

    starts = [timed([WINE, "cmd.exe", "/c", "exit"])[0] for _ in range(5)]
    print(f"Fixed cost of starting a Wine process (cmd /c exit, persistent wineserver): "
          f"median {statistics.median(starts):.3f} s, min {min(starts):.3f} s; it is part of every Wine tool's "
          f"time below (ours and xcopy).")

    times_a = times_b = times_c = None
    if "a" in sections:
        large = os.path.join(work, "large")
        make_large_files(large)
        times_a = bench.measure("(a) 4 files of 256 MiB (1 GiB)", bench.with_baseline([
            ("ours", lambda t: bench.ours(large, t, False)),
            ("Wine xcopy", lambda t: bench.xcopy(large, t, False)),
            ("cp -a", lambda t: ["cp", "-a", large, t]),
            ("rsync -a", lambda t: ["rsync", "-a", large + "/", t + "/"]),
            ("dd bs=2M", lambda t: [["mkdir", "-p", t]] + [
                ["dd", f"if={os.path.join(large, f'large{i}.bin')}", f"of={os.path.join(t, f'large{i}.bin')}", "bs=2M"]
                for i in range(4)]),
        ], lambda t, exe: bench.ours(large, t, False, exe=exe)))
        shutil.rmtree(large)

    if "b" in sections or "c" in sections:
        small = os.path.join(work, "small")
        make_small_tree(small, 20000, 200)
        times_b = bench.measure("(b) 20,000 files of 1-8 KiB in 200 folders", bench.with_baseline([
            ("ours", lambda t: bench.ours(small, t, False)),
            ("Wine xcopy", lambda t: bench.xcopy(small, t, False)),
            ("cp -a", lambda t: ["cp", "-a", small, t]),
            ("rsync -a", lambda t: ["rsync", "-a", small + "/", t + "/"]),
        ], lambda t, exe: bench.ours(small, t, False, exe=exe)))
        # (c) reruns into the targets that (b) left, with nothing changed.
        times_c = bench.measure("(c) rerun of (b), nothing changed (update method, xcopy /D)", bench.with_baseline([
            ("ours", lambda t: bench.ours(small, t, True)),
            ("Wine xcopy /D", lambda t: bench.xcopy(small, os.path.join(work, "target-Wine"), True)),
            ("rsync -a", lambda t: ["rsync", "-a", small + "/", os.path.join(work, "target-rsync") + "/"]),
            # The preview of the same rerun: the same walk with nothing written, its report aside.
            ("ours /Preview", lambda t: bench.ours(
                small, t, True, mode="/Preview:" + windows_path(os.path.join(work, "preview.txt")))),
        ], lambda t, exe: bench.ours(small, t, True, exe=exe)), fresh_target=False)
        preview = statistics.median(times_c["ours /Preview"]) / statistics.median(times_c["ours"])
        print(f"  (c) the preview / the rerun itself: {preview:.2f}")
        shutil.rmtree(small)

    if "v" in sections:
        # Strict deleting 2,000 files of 1-8 KiB (the source keeps one file, the limit is off): with versions
        # each is moved into the run's folder, without them deleted; rsync --delete deletes them.
        tree = os.path.join(work, "deletions")
        make_small_tree(tree, 2000, 20)
        kept = os.path.join(work, "deletions-source")
        first = os.path.join("dir00", "sub000", "file0000.dat")
        os.makedirs(os.path.dirname(os.path.join(kept, first)))
        shutil.copy2(os.path.join(tree, first), os.path.join(kept, first))
        times_v = bench.measure("(v) Strict deleting 2,000 files: kept as versions vs deleted", [
            ("ours", lambda t: bench.ours(kept, t, False, flag=1, settings="DeleteLimit=100\r\n")),
            ("ours KeepVersions=0", lambda t: bench.ours(kept, t + "-0", False, flag=1,
                                                         settings="DeleteLimit=100\r\nKeepVersions=0\r\n")),
            ("rsync --delete", lambda t: ["rsync", "-a", "--delete", kept + "/", t + "/"]),
        ], prepare=lambda t: fresh_copies(tree, t, t + "-0"))
        versions = statistics.median(times_v["ours"]) / statistics.median(times_v["ours KeepVersions=0"])
        print(f"  (v) with versions / without: {versions:.2f}")
        shutil.rmtree(tree)

    if "p" in sections:
        # The same small-file run with the progress window shown (/Passive) and without it (/Quiet).
        small = os.path.join(work, "small-window")
        make_small_tree(small, 20000, 200)
        times_p = bench.measure("(p) 20,000 files of 1-8 KiB: progress window shown vs hidden", [
            ("ours", lambda t: bench.ours(small, t, False)),
            ("ours /Passive (window)", lambda t: bench.ours(small, t, False, mode="/Passive")),
        ])
        shown = statistics.median(times_p["ours /Passive (window)"]) / statistics.median(times_p["ours"])
        print(f"  (p) with the window / without: {shown:.3f} (goal <= 1.05)")
        shutil.rmtree(small)

    if "w" in sections and args.mainwnd_tests:
        # The preview window with a plan of 100,000 actions, against the same rows put into a list view one
        # by one (as a list is usually filled), both timed inside the test executable in the same run.
        opened, peer = [], []
        for _ in range(bench.rounds):
            output = subprocess.run([WINE, args.mainwnd_tests, "--gtest_filter=*AHundredThousandActionsOpen*"],
                                    env=dict(os.environ, BRIMLARK_BENCH_PEER="1"), capture_output=True,
                                    text=True).stdout
            found = re.search(r"preview window open in (\d+) ms", output)
            filled = re.search(r"list view one by one in (\d+) ms", output)
            if found and filled:
                opened.append(int(found.group(1)) / 1000)
                peer.append(int(filled.group(1)) / 1000)
        if opened:
            bench.report("(w) preview window of 100,000 actions", {"ours": opened, "list filled row by row": peer})
            print(f"  (w) preview window open: median {statistics.median(opened):.3f} s (goal < 2 s)")

    memory = {}
    if "m" in sections:
        for count, folders in ((1000, 10), (100000, 1000)):
            tree = os.path.join(work, f"memory{count}")
            make_small_tree(tree, count, folders)
            target = os.path.join(work, f"memory{count}-backup")
            memory[count] = peak_memory_kib(bench.ours(tree, target, False))
            shutil.rmtree(tree)
            shutil.rmtree(target)
        print(f"\nPeak memory (maximum resident set of the Wine process): 1,000 files {memory[1000]} KiB, "
              f"100,000 files {memory[100000]} KiB, ratio {memory[100000] / memory[1000]:.2f}")

    ftp = ftp_section(bench, work, os.path.abspath(args.stored_form_tool), args.ftp_server_script) if "d" in sections else {}

    m = {name: {label: statistics.median(v) for label, v in t.items()}
         for name, t in (("a", times_a), ("b", times_b), ("c", times_c)) if t}
    print("\nGoals (medians):")
    if "a" in m:
        print(f"  (a) throughput vs dd: {m['a']['dd bs=2M'] / m['a']['ours']:.2f} (goal >= 0.8); "
              f"vs Wine xcopy: {m['a']['Wine xcopy'] / m['a']['ours']:.2f} x (goal >= 1.5)")
    if "b" in m:
        print(f"  (b) vs Wine xcopy: {m['b']['Wine xcopy'] / m['b']['ours']:.2f} x (goal >= 2)")
    if "c" in m:
        print(f"  (c) vs Wine xcopy /D: {m['c']['Wine xcopy /D'] / m['c']['ours']:.2f} x (goal >= 6)")
    for name in "abc":
        if name in m and "baseline build" in m[name]:
            print(f"  ({name}) this build vs the baseline build: {m[name]['baseline build'] / m[name]['ours']:.2f} x "
                  f"(above 1 is faster)")
    if memory:
        print(f"  memory 100k / 1k: {memory[100000] / memory[1000]:.2f} (goal <= 1.2)")
    for label, (upload, download) in ftp.items():
        ours_up, ours_down = statistics.median(upload["ours"]), statistics.median(download["ours"])
        up = statistics.median(upload["lftp mirror -R"]) / ours_up
        down = statistics.median(download["lftp mirror"]) / ours_down
        up4 = statistics.median(upload["lftp mirror -R --parallel=4"]) / ours_up
        down4 = statistics.median(download["lftp mirror --parallel=4"]) / ours_down
        small = label.startswith("2,000")
        goal = "goal >= 1.5" if small else "goal >= 0.9"
        print(f"  (d) FTP {label}: upload {up:.2f} x lftp mirror, download {down:.2f} x ({goal} on both)")
        print(f"  (d) FTP {label}: upload {up4:.2f} x lftp --parallel=4, download {down4:.2f} x"
              + (" (goal >= 0.9 on both)" if small else ""))
        if "baseline build" in upload:
            up = statistics.median(upload["baseline build"]) / statistics.median(upload["ours"])
            down = statistics.median(download["baseline build"]) / statistics.median(download["ours"])
            print(f"  (d) FTP {label}: this build vs the baseline build: upload {up:.2f} x, download {down:.2f} x")
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
