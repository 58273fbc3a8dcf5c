"""ser2net, Debian's serial device server, as a child of a test: one
telnet(rfc2217) accepter on 127.0.0.1 for a terminal; and the free ports
and listeners the remote-port tests need."""

import os
import shutil
import socket
import subprocess
import time

SER2NET = shutil.which("ser2net") or ("/usr/sbin/ser2net" if os.path.exists("/usr/sbin/ser2net") else None)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_listener(port, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def end_process(process):
    """Ends a server: asked first, killed when it does not go within 5 s."""
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Ser2net:
    """ser2net in the foreground with a configuration of its own: one
    telnet(rfc2217) accepter on 127.0.0.1 for the terminal `device`."""

    def __init__(self, work, device):
        self.port = free_port()
        config = work / "ser2net.yaml"
        config.write_text(
            "%YAML 1.1\n---\n"
            "connection: &reader\n"
            f"  accepter: telnet(rfc2217),tcp,127.0.0.1,{self.port}\n"
            f"  connector: serialdev,{device},9600n81,local\n"
            "  options:\n"
            "    kickolduser: true\n")
        self.process = subprocess.Popen([SER2NET, "-n", "-u", "-c", str(config), "-P", str(work / "ser2net.pid")],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        if not wait_for_listener(self.port):
            self.stop()
            raise RuntimeError("ser2net did not listen")

    def stop(self):
        end_process(self.process)
