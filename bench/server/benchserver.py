"""The real VelarixSrv for the server benchmarks: laid out in a temporary folder and started
headless, with a stand-in `net` that keeps it from publishing a real share."""
import os
import shutil
import socket
import subprocess
import time


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def start_server(build, tmp, base, **env_overrides):
    """Starts the server on ports base..base+24 once they answer; its print folder is tmp/Stampe."""
    program = os.path.join(tmp, "Velarix Srv")
    os.makedirs(os.path.join(program, "Client"))
    os.makedirs(os.path.join(tmp, "Stampe"))
    os.makedirs(os.path.join(tmp, "bin"))
    shutil.copy(os.path.join(build, "bin", "VelarixSrv"), program)
    with open(os.path.join(program, "Client", "Copie.txt"), "w") as f:
        f.write(f'"{tmp}/Stampe/"\r\n1\r\n')
    with open(os.path.join(tmp, "bin", "net"), "w") as f:
        f.write("#!/bin/sh\nexit 0\n")
    os.chmod(os.path.join(tmp, "bin", "net"), 0o755)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", VELARIX_UNATTENDED="1",
               VELARIX_BASE_PORT=str(base), VELARIX_LOCK_DIR=os.path.join(tmp, "lock"),
               XDG_CONFIG_HOME=os.path.join(tmp, "config"),
               PATH=os.path.join(tmp, "bin") + ":" + os.environ["PATH"], **env_overrides)
    server = subprocess.Popen([os.path.join(program, "VelarixSrv")], cwd=tmp, env=env,
                              stderr=subprocess.DEVNULL)
    deadline = time.time() + 30
    while True:
        try:
            socket.create_connection(("127.0.0.1", base + 24), timeout=0.2).close()
            return server
        except OSError:
            if time.time() > deadline:
                server.kill()
                raise SystemExit("server did not open its ports")
            time.sleep(0.1)
