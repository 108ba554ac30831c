#!/usr/bin/python3
"""scripts/check-host as a player runs it: 0 on both stand-in host libraries,
1 on one that lacks an export the module needs, 2 on a file that is no
32-bit PE DLL; one line and no traceback for the last.

    check_host_test.py CHECK_HOST QUORVAT_DLL MICROSOFT_HOST GXX_HOST HOST_WITHOUT_WAIT
"""
import subprocess
import sys

WAIT = "?Wait@ScriptThread@@QAEXI@Z"


def main(argv):
    check_host, module, ms_host, gxx_host, without_wait = argv[1:6]
    failures = []

    def run(host, want_status, what):
        done = subprocess.run([check_host, host, module], capture_output=True, text=True)
        if done.returncode != want_status:
            failures.append(f"{what}: exit {done.returncode}, expected {want_status}\n"
                            f"{done.stdout}{done.stderr}")
        return done

    for host, what in ((ms_host, "the Microsoft-mode host"), (gxx_host, "the g++ stand-in")):
        done = run(host, 0, what)
        if "MISSING" in done.stdout or f"found    {WAIT}" not in done.stdout:
            failures.append(f"{what}: every import listed as found:\n{done.stdout}")
    done = run(without_wait, 1, "a host without Wait")
    missing = [line.split()[-1] for line in done.stdout.splitlines() if "MISSING" in line]
    if missing != [WAIT]:
        failures.append(f"a host without Wait: Wait alone listed missing, not {missing}")
    for not_dll in (argv[0], sys.executable):
        done = run(not_dll, 2, f"{not_dll}, no PE DLL")
        if done.stderr.count("\n") != 1 or "Traceback" in done.stderr:
            failures.append(f"{not_dll}: one line on standard error, not\n{done.stderr}")

    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
