#!/usr/bin/python3
# The Ansible rollout as a site runs it: the example playbook with Debian's
# ansible-core against a lab of five cameras (one needing a typed password,
# one of other hardware). The first run updates the four 47RKT cameras and
# fails the other one without stopping them; the second run changes
# nothing; the password never appears on a command line.
#
#   ansible_e2e_test.py TOVARIN_FLEET TOVARIN_DEVSIM TOVARIN_MKPATCH INTEGRATION_DIR
#
# Runs inside a private network namespace (the lab answers searches).
# Exit 77 (skipped) when ansible-playbook is not installed.

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

PASSWORD = "Pw-7731-q"
CAMERAS = [  # inventory name, identifier, hardware, version, extra world keys
    ("cam1", "CAM1", "47RKT", 2010, "account.admin ="),
    ("cam2", "CAM2", "47RKT", 2009, "account.admin ="),
    ("cam3", "CAM3", "47RKT", 2010, "account.admin ="),
    ("locked", "LOCKED", "47RKT", 2010, "account.admin = " + PASSWORD),
    ("other", "OTHER", "52HQX", 3000, "account.admin ="),
]
RUN_BOUND = 240  # seconds for one playbook run


def address(i):
    return "127.0.4.%d" % (i + 1)


def fail(text):
    print("FAILED: " + text)
    sys.exit(1)


def recap(output):
    """host -> {ok, changed, failed, ...} from the PLAY RECAP."""
    counts = {}
    for line in output.split("PLAY RECAP")[-1].splitlines():
        m = re.match(r"^(\S+)\s+:\s+(.*)$", line.strip())
        if m:
            counts[m.group(1)] = {k: int(v) for k, v in re.findall(r"(\w+)=(\d+)", m.group(2))}
    return counts


def lab_versions(fleet, env):
    out = subprocess.run([fleet, "search", "--login", "admin", "--json", "-", "--device"]
                         + [address(i) for i in range(len(CAMERAS))],
                         env=dict(env, TOVARIN_PASSWORD=PASSWORD), stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, timeout=60).stdout
    return {row["address"]: row.get("version") for row in json.loads(out)}


class CommandLineWatch(threading.Thread):
    """Reads every process's command line, as ps does, while the playbook runs."""

    def __init__(self, secret):
        super().__init__(daemon=True)
        self.secret = secret.encode()
        self.seen = []
        self.stop = threading.Event()

    def run(self):
        while not self.stop.wait(0.02):
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        line = f.read()
                except OSError:
                    continue
                if self.secret in line:
                    self.seen.append(line.replace(b"\0", b" ").decode(errors="replace"))


def main():
    if len(sys.argv) != 5:
        fail("usage: ansible_e2e_test.py FLEET DEVSIM MKPATCH INTEGRATION_DIR")
    fleet, devsim, mkpatch, integration = sys.argv[1:]
    playbook = shutil.which("ansible-playbook")
    if not playbook:
        print("skipped: ansible-playbook is not installed (Debian package ansible-core)")
        return 77

    work = tempfile.mkdtemp(prefix="tovarin-ansible-")
    lab = None
    try:
        # Ansible writes only into the work folder.
        env = dict(os.environ, HOME=work, ANSIBLE_HOME=work + "/ansible",
                   ANSIBLE_LOCAL_TEMP=work + "/tmp-local", ANSIBLE_REMOTE_TEMP=work + "/tmp-remote",
                   ANSIBLE_LIBRARY=integration + "/library", ANSIBLE_RETRY_FILES_ENABLED="false",
                   ANSIBLE_NOCOLOR="1", ANSIBLE_FORCE_COLOR="0", ANSIBLE_CONFIG=work + "/none.cfg",
                   ANSIBLE_HOST_KEY_CHECKING="false",
                   KESTRUM_CALL_DEADLINE_MS="5000", KESTRUM_IO_TIMEOUT_MS="5000")
        env.pop("TOVARIN_PASSWORD", None)

        os.makedirs(work + "/sdcard")
        with open(work + "/lab.ini", "w") as world:
            world.write("[lab]\nreboot_ms = 300\n")
            for i, (_, ident, hardware, version, extra) in enumerate(CAMERAS):
                world.write("[device %s]\naddress = %s\nhardware = %s\nversion = %d\n"
                            "storage = sdcard\n%s\n" % (ident, address(i), hardware, version, extra))
        with open(work + "/app.bin", "wb") as payload:
            payload.write(b"x" * 20000)
        patch = work + "/47RKT2011.patch"
        subprocess.run([mkpatch, patch, "47RKT", "2011", "2010", work + "/app.bin"], check=True)

        lab = subprocess.Popen([devsim, "--world", work + "/lab.ini", "--no-http"],
                               stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        deadline = time.time() + 30
        while len([v for v in lab_versions(fleet, env).values() if v]) < len(CAMERAS):
            if time.time() > deadline or lab.poll() is not None:
                fail("the lab did not come up")
            time.sleep(0.3)

        # tovarin-fleet behind a shim that records each command line it gets.
        argv_log = work + "/argv.log"
        shim = work + "/fleet-shim"
        with open(shim, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> %s\nexec %s "$@"\n' % (argv_log, fleet))
        os.chmod(shim, 0o700)
        with open(work + "/inventory.yml", "w") as f:
            f.write("cameras:\n  vars:\n    ansible_connection: local\n"
                    "    ansible_python_interpreter: \"{{ ansible_playbook_python }}\"\n"
                    "  hosts:\n")
            for i, (name, *_) in enumerate(CAMERAS):
                f.write("    %s: { camera_address: %s }\n" % (name, address(i)))
        # The password from a vars file, as from a vault: never on a command line.
        secrets = work + "/secrets.yml"
        with open(os.open(secrets, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write("tovarin_password: %s\n" % PASSWORD)

        def play():
            command = [playbook, "-i", work + "/inventory.yml", integration + "/rollout.yml",
                       "-e", "tovarin_patch=" + patch, "-e", "tovarin_fleet=" + shim,
                       "-e", "tovarin_reboot_wait=30", "-e", "@" + secrets]
            started = time.time()
            run = subprocess.run(command, env=env, cwd=work, stdin=subprocess.DEVNULL,
                                 capture_output=True, text=True, timeout=RUN_BOUND)
            print(run.stdout[-6000:], run.stderr[-3000:], sep="\n")
            print("playbook run: %.1f s, exit %d" % (time.time() - started, run.returncode))
            return run, recap(run.stdout)

        errors = []
        watch = CommandLineWatch(PASSWORD)
        watch.start()
        run, counts = play()
        for name, *_ in CAMERAS[:4]:
            c = counts.get(name, {})
            if c.get("changed") != 1 or c.get("failed") != 0:
                errors.append("first run: %s should be changed, is %s" % (name, c))
        if counts.get("other", {}).get("failed") != 1:
            errors.append("first run: the 52HQX camera should fail: %s" % counts.get("other"))
        if "patch is for 47RKT, camera is 52HQX" not in run.stdout:
            errors.append("first run: the 52HQX camera's reason is missing")
        versions = lab_versions(fleet, env)
        for i, (name, _, hardware, _, _) in enumerate(CAMERAS):
            wanted = 2011 if hardware == "47RKT" else 3000
            if versions.get(address(i)) != wanted:
                errors.append("%s runs %s, not %d" % (name, versions.get(address(i)), wanted))

        run, counts = play()
        for name, *_ in CAMERAS[:4]:
            c = counts.get(name, {})
            if c.get("changed") != 0 or c.get("failed") != 0 or c.get("ok") != 1:
                errors.append("second run: %s should be unchanged, is %s" % (name, c))
        if counts.get("other", {}).get("failed") != 1:
            errors.append("second run: the 52HQX camera should fail again")

        watch.stop.set()
        watch.join()
        if watch.seen:
            errors.append("ps showed the password: %s" % watch.seen[:3])
        lines = open(argv_log).read() if os.path.exists(argv_log) else ""
        if PASSWORD in lines:
            errors.append("the password was on tovarin-fleet's command line")
        if sum(line.startswith("update ") for line in lines.splitlines()) != 4:
            errors.append("tovarin-fleet update should run once per 47RKT camera:\n" + lines)
        for e in errors:
            print("FAILED: " + e)
        return 1 if errors else 0
    finally:
        if lab:
            lab.send_signal(signal.SIGTERM)
            try:
                lab.wait(timeout=10)
            except subprocess.TimeoutExpired:
                lab.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
