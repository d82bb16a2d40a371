"""velkor run and the signals sent to it: each is passed on to the program,
velkor waits for it, prints its summary, removes its temporary folder and
exits with the code the signal calls for; the program is gone afterwards.
Killed outright (SIGKILL), velkor takes the program with it (Linux) and the
next velkor run clears the folder it left. A reader of its output that goes
away (| head -1) does not keep velkor from cleaning up. A session recorded
when a signal ends the program still gets its status and end lines, the end
line saying why it was cut.

usage: check_run_signals.py VELKOR RUN_PROBE
"""
import json
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


def killed_outright(velkor, probe):
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, TMPDIR=tmp)
        proc = subprocess.Popen([velkor, "run", "--", probe, "wait", "60000", "3"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, start_new_session=True)
        line = proc.stdout.readline().decode()
        if not line.startswith("run_probe: pid "):
            proc.kill()
            return ["SIGKILL: the program did not start: %r" % line]
        pid = int(line.split()[-1])
        proc.kill()
        proc.wait()
        for _ in range(50):
            if not alive(pid):
                break
            time.sleep(0.1)
        if sys.platform.startswith("linux") and alive(pid):
            problems.append("SIGKILL: the program outlived velkor")
            os.kill(pid, signal.SIGKILL)
        if not os.listdir(tmp):
            problems.append("SIGKILL: no folder left to clear (the case tests nothing)")
        # Another user's folder and one of a living process stay.
        other = os.path.join(tmp, "velkor-run.keepme")
        os.mkdir(other)
        with open(os.path.join(other, "owner"), "w") as f:
            f.write("velkor %d\n" % os.getpid())
        subprocess.run([velkor, "run", "--", probe, "exit", "0"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        if os.listdir(tmp) != ["velkor-run.keepme"]:
            problems.append("SIGKILL: the next run left %s" % os.listdir(tmp))
    return problems


def reader_gone(velkor, probe):
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, TMPDIR=tmp)
        proc = subprocess.Popen([velkor, "run", "--", probe, "exit", "0"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        proc.stdout.readline()
        proc.stdout.close()  # as | head -1 does
        rc = proc.wait(timeout=60)
        problems = ["| head -1: exit code %d, not the program's 0" % rc] if rc != 0 else []
        if os.listdir(tmp):
            problems.append("| head -1: left behind: %s" % os.listdir(tmp))
        return problems


def recorded_session_ends(velkor, probe):
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, TMPDIR=tmp)
        record = os.path.join(tmp, "session.jsonl")
        proc = subprocess.Popen([velkor, "run", "--record", record, "--", probe, "watch", "3"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                start_new_session=True)
        for _ in range(400):  # until samples are being recorded
            if os.path.exists(record) and os.path.getsize(record) > 4096:
                break
            time.sleep(0.05)
        proc.send_signal(signal.SIGTERM)
        _, err = proc.communicate(timeout=60)
        with open(record) as f:
            lines = [json.loads(line) for line in f]
        problems = []
        if [line["type"] for line in lines[-2:]] != ["status", "end"]:
            problems.append("--record, SIGTERM: the file ends with %s" % lines[-2:])
        elif lines[-1].get("incomplete") != "the program was ended by signal 15 (Terminated)":
            problems.append("--record, SIGTERM: the end line says %s" % lines[-1])
        if b"the session in %s is incomplete" % record.encode() not in err:
            problems.append("--record, SIGTERM: velkor run does not say the session was cut\n" + err.decode())
        return problems


def main():
    velkor, probe = sys.argv[1], sys.argv[2]
    problems = []
    for sig, group, rc, caught in CASES:
        problems += run_case(velkor, probe, sig, group, rc, caught)
    problems += killed_outright(velkor, probe)
    problems += reader_gone(velkor, probe)
    problems += recorded_session_ends(velkor, probe)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
