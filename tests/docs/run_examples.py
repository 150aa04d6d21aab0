#!/usr/bin/env python3
"""Runs every example command of the README, the man pages and the user manual against a build.

An example is a line of an indented code block (README.md, docs/manual/UsrMan.md) or of the
.nf block under EXAMPLES of a man page (packaging/man/*.1). Each runs in bash, in a scratch
folder, against the build installed into a scratch prefix (cmake --install), with:

  - /usr/share/doc/orvio and the bare program names taken from that prefix, build/release/
    from the build tree and repository paths from the source tree;
  - "68 1F 1F 68 08 ..." replaced by the whole telegram it stands for;
  - telegrams.txt, named by the examples, written there from the shipped sample telegrams;
  - TCP port 1502 replaced by a free port (other programs may hold 1502), and the gateway or
    serial port of a job's example by the simulator the document started;
  - orvio run offscreen, leaving at its first painted window.

A simulator started by an example serves until the examples of its document have run (so that
"orvio --connect" finds it), then ends on SIGTERM with status 0. Every other example must end
with status 0. Examples that build, install or test the tree, or change the system, are not
run here; they are listed in NOT_RUN with the reason, and a listed one that no document holds
any more fails the check, as does an example that neither runs nor is listed.

Usage: run_examples.py SOURCE_DIR BUILD_DIR
"""
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile

# What the test command and the package check already run, or what needs root.
NOT_RUN = {
    "scripts/run.sh": "starts the window for a person; scripts/test.sh builds and tests the same",
    "scripts/test.sh": "is the test command that runs this check",
    "scripts/package.sh": "builds the package; scripts/package-check.sh in the test command",
    "scripts/install-deps.sh": "installs system packages (root); run by the test command",
    "cmake --preset release && cmake --build --preset release": "the build this check runs in",
    "ctest --preset release": "the test run this check is part of",
    "cmake --preset asan && cmake --build --preset asan && ctest --preset asan":
        "the sanitizer build and run of the CI",
    "scripts/fuzz.sh 600": "a ten-minute fuzz run; the test command runs scripts/fuzz.sh",
    "scripts/package-check.sh": "run by the test command",
    "scripts/check-format.sh [--fix]": "run by the test command before the build",
    "sudo apt install ./build/release/orvio_1.0.1.81_amd64.deb": "installs the package (root)",
    "sudo apt install ./orvio_1.0.1.81_amd64.deb": "installs the package (root)",
    "sudo adduser $USER dialout": "changes the system's groups (root)",
}

ELLIPSIS_TELEGRAM = ("68 1F 1F 68 08 02 72 78 56 34 12 24 40 01 07 55 00 00 00 03 13 15 31 00 DA "
                     "02 3B 13 01 8B 60 04 37 18 02 18 16")


def lines_of(path):
    with open(path, encoding="utf-8") as f:
        return f.read().split("\n")


def markdown_examples(path):
    examples = []
    previous_blank = True
    in_block = False
    for line in lines_of(path):
        if line.strip() == "":
            previous_blank = True
            continue
        code = len(line) - len(line.lstrip(" ")) >= 4
        in_block = code and (previous_blank or in_block)
        if in_block:
            examples.append(line.strip())
        previous_blank = False
    return examples


def man_examples(path):
    examples = []
    section = None
    in_nf = False
    for line in lines_of(path):
        if line.startswith(".SH"):
            section = line[3:].strip().strip('"')
        elif section == "EXAMPLES" and line.startswith(".nf"):
            in_nf = True
        elif line.startswith(".fi"):
            in_nf = False
        elif in_nf and not line.startswith("."):
            examples.append(line.replace("\\-", "-").replace("\\\\", "\\").strip())
    return examples


def command_of(example):
    """The example without its trailing comment."""
    return re.sub(r"\s+#\s.*$", "", example).strip()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    source, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    documents = [os.path.join(source, "README.md"), os.path.join(source, "docs/manual/UsrMan.md")]
    man = os.path.join(source, "packaging/man")
    documents += [os.path.join(man, n) for n in sorted(os.listdir(man)) if n.endswith(".1")]

    scratch = tempfile.mkdtemp(prefix="orvio-doc-examples-")
    prefix = os.path.join(scratch, "usr")
    subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True,
                   stdout=subprocess.DEVNULL)
    work = os.path.join(scratch, "work")
    os.mkdir(work)
    samples = os.path.join(prefix, "share/doc/orvio/examples/telegrams")
    with open(os.path.join(work, "telegrams.txt"), "w") as out:
        for name in sorted(os.listdir(samples)):
            with open(os.path.join(samples, name)) as f:
                out.write(f.read().strip() + "\n")

    port = str(free_port())
    env = dict(os.environ, PATH=os.path.join(prefix, "bin") + os.pathsep + os.environ["PATH"],
               QT_QPA_PLATFORM="offscreen", ORVIO_EXIT_AT_FIRST_PAINT="1", LC_ALL="C")
    failures = []
    seen = set()
    ran = 0
    for document in documents:
        servers = []
        kind = man_examples if document.endswith(".1") else markdown_examples
        for example in kind(document):
            command = command_of(example)
            seen.add(command)
            if command in NOT_RUN:
                print(f"not run: {command}  ({NOT_RUN[command]})")
                continue
            shell = (command.replace("68 1F 1F 68 08 ...", ELLIPSIS_TELEGRAM)
                     .replace("/usr/share/doc/orvio", os.path.join(prefix, "share/doc/orvio"))
                     .replace("1502", port))
            # The jobs' examples name a gateway on the site's network or a serial port: they
            # run against the simulator the document started, over TCP.
            shell = re.sub(r"--tcp 192\.168\.1\.100(:502)?", "--tcp 127.0.0.1:" + port, shell)
            shell = re.sub(r"--serial \S+( --baud \d+)?( --parity \w+)?( --stop \d)?",
                           "--tcp 127.0.0.1:" + port, shell)
            shell = re.sub(r"(^|[\s|])build/release/", r"\1" + build + "/", shell)
            shell = re.sub(r"(^|\s)(sim/|tests/)", r"\1" + source + r"/\2", shell)
            where = f"{os.path.relpath(document, source)}: {example}"
            if not re.match(r"^(cat |orvio(-cli|-gateway-sim)? |orvio(-cli|-gateway-sim)?$|/)",
                            shell):
                failures.append(f"{where}: neither run nor listed in NOT_RUN")
                continue
            ran += 1
            if "orvio-gateway-sim" in shell and "--help" not in shell:
                while servers:  # one simulator at a time: they take the same port
                    stop(servers.pop(0), failures)
                server = subprocess.Popen(["bash", "-c", "exec " + shell], cwd=work, env=env,
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                          text=True)
                first = server.stdout.readline().strip()
                print(f"{where}\n  -> {first}")
                if first != f"tcp 127.0.0.1:{port}":
                    failures.append(f"{where}: printed {first!r}, "
                                    f"error {server.stderr.read() if server.poll() is not None else ''}")
                servers.append((where, server))
                continue
            run = subprocess.run(["bash", "-c", "set -o pipefail; " + shell], cwd=work, env=env,
                                 capture_output=True, text=True, timeout=120)
            print(f"{where}\n  -> status {run.returncode}, {len(run.stdout.splitlines())} lines")
            if run.returncode != 0:
                failures.append(f"{where}: status {run.returncode}\n{run.stdout}{run.stderr}")
        for server in servers:
            stop(server, failures)
    for command in sorted(set(NOT_RUN) - seen):
        failures.append(f"NOT_RUN lists an example no document holds: {command}")
    subprocess.run(["rm", "-rf", scratch])
    if ran < 10:
        failures.append(f"only {ran} examples ran: are the documents read?")
    for failure in failures:
        print("FAILED: " + failure, file=sys.stderr)
    return 1 if failures else 0


def stop(entry, failures):
    where, server = entry
    if server.poll() is None:
        server.send_signal(signal.SIGTERM)
    try:
        status = server.wait(timeout=20)
    except subprocess.TimeoutExpired:
        server.kill()
        status = "hanging"
    if status != 0:
        failures.append(f"{where}: the simulator ended with {status}: {server.stderr.read()}")


if __name__ == "__main__":
    sys.exit(main())
