"""velkor run and the signals sent to it: each is passed on to the program,
velkor waits for it, prints its summary, removes its temporary folder and
exits with the code the signal calls for; the program is gone afterwards.

usage: check_run_signals.py VELKOR RUN_PROBE
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

# (signal, sent to velkor's whole process group, velkor's exit code, the
# program catches it and exits with 0)
CASES = [
    (signal.SIGTERM, False, 128 + signal.SIGTERM, False),
    (signal.SIGHUP, False, 128 + signal.SIGHUP, False),
    (signal.SIGINT, False, 128 + signal.SIGINT, False),  # as Ctrl-C: the program's end is velkor's
    (signal.SIGTERM, True, 128 + signal.SIGTERM, False),
    (signal.SIGTERM, False, 128 + signal.SIGTERM, True),  # the signal's verdict, not the program's
]


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    return True


def run_case(velkor, probe, sig, group, expected_rc, caught):
    problems = []
    how = "catch" if caught else "wait"
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, TMPDIR=tmp)
        proc = subprocess.Popen([velkor, "run", "--", probe, how, "60000", "3"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, start_new_session=True)
        line = proc.stdout.readline().decode()
        if not line.startswith("run_probe: pid "):
            proc.kill()
            return ["the program did not start: %r" % line]
        pid = int(line.split()[-1])
        time.sleep(0.3)
        if group:
            os.killpg(proc.pid, sig)
        else:
            proc.send_signal(sig)
        try:
            _, err = proc.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            proc.kill()
            return ["velkor run did not end"]
        err = err.decode()
        name = signal.Signals(sig).name
        if proc.returncode != expected_rc:
            problems.append("exit code %d, not %d" % (proc.returncode, expected_rc))
        ending = "exited with 0" if caught else "was ended by signal %d" % sig
        if "run_probe %s 60000 3 %s" % (how, ending) not in err:
            problems.append("no word of how the program ended")
        if sig != signal.SIGINT and "received signal %d" % sig not in err:
            problems.append("no word of the signal received")
        for _ in range(50):
            if not alive(pid):
                break
            time.sleep(0.1)
        if alive(pid):
            problems.append("the program is still running")
            os.kill(pid, signal.SIGKILL)
        if os.listdir(tmp):
            problems.append("left behind: %s" % os.listdir(tmp))
        return ["%s%s%s: %s\n%s" % (name, " to the group" if group else "", " caught" if caught else "", p, err)
                for p in problems]


def main():
    velkor, probe = sys.argv[1], sys.argv[2]
    problems = []
    for sig, group, rc, caught in CASES:
        problems += run_case(velkor, probe, sig, group, rc, caught)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
