"""A real VelarixSrv with its web page, for the web tests: a server folder with letterheads, a
certificate for 127.0.0.1, a password set with velarix-admin, a print folder, and helpers to
talk HTTP(S) to it the way a browser does (cookies, form tokens)."""
import fcntl
import http.client
import os
import random
import re
import shutil
import socket
import ssl
import subprocess
import tempfile
import time
import urllib.parse

PASSWORD = "segreta-di-prova"


def free_block(size=32):
    """A run of free ports (the server uses base..base+24 and the web page base+30, +31), below
    the kernel's ephemeral ports and the blocks the C++ tests reserve, held with a lock file for
    as long as this process runs so that tests side by side never share one."""
    for _ in range(100):
        base = random.randrange(4000, 9984, size)
        lock = open(os.path.join(tempfile.gettempdir(), "velarix-web-ports-%d.lock" % base), "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            for port in range(base, base + size):
                with socket.socket() as s:
                    s.bind(("0.0.0.0", port))
            _held_port_locks.append(lock)
            return base
        except OSError:
            lock.close()
    raise RuntimeError("no free ports")


_held_port_locks = []


def wait_for(check, what, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = check()
        if result:
            return result
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


class WebServer:
    def __init__(self, bin_dir, source_dir):
        self.bin = bin_dir
        self.work = tempfile.mkdtemp(prefix="velarix-web-")
        self.folder = os.path.join(self.work, "server")
        self.prints = os.path.join(self.work, "Stampe")
        os.makedirs(os.path.join(self.folder, "Client"))
        os.makedirs(self.prints)
        with open(os.path.join(self.folder, "Client", "Copie.txt"), "w") as f:
            f.write("\r\n".join([self.prints + "/", "1", "1", "1", "1", "1", "1", "0", "0"]) + "\r\n")
        subprocess.run([os.path.join(bin_dir, "velarix-letterheads"), "--no-update-flag",
                        os.path.join(self.folder, "Client", "Documenti.mdb"),
                        os.path.join(source_dir, "templates", "sample-letterheads.csv")],
                       check=True, stdout=subprocess.DEVNULL)
        web = os.path.join(self.folder, ".web")
        os.makedirs(web, mode=0o700)
        self.certificate = os.path.join(web, "server.crt")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                        "-keyout", os.path.join(web, "server.key"), "-out", self.certificate,
                        "-subj", "/CN=localhost", "-addext",
                        "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:127.0.0.2"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.admin("web-password", stdin=PASSWORD + "\n")
        self.base = free_block()
        self.web_port = self.base + 30
        self.process = None

    def admin(self, *args, stdin=None):
        return subprocess.run([os.path.join(self.bin, "velarix-admin"), "--folder", self.folder,
                               *args], input=stdin, text=True, check=True,
                              stdout=subprocess.PIPE).stdout

    def start(self):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", VELARIX_UNATTENDED="1",
                   VELARIX_BASE_PORT=str(self.base), VELARIX_WEB_PORT=str(self.web_port),
                   VELARIX_LOCK_DIR=os.path.join(self.work, "lock"))
        self.errors = open(os.path.join(self.work, "server.err"), "w")
        self.process = subprocess.Popen(
            [os.path.join(self.bin, "VelarixSrv"), "--service", "--folder", self.folder],
            cwd=self.work, env=env, stdout=subprocess.DEVNULL, stderr=self.errors)
        wait_for(lambda: "Pagina web" in self.log(), "the web page to start")

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(timeout=20)
            self.errors.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def log(self):
        try:
            with open(os.path.join(self.work, "VXreg.txt"), encoding="utf-8") as f:
                return f.read()
        except OSError:
            return ""

    def drop(self, name, text):
        with open(os.path.join(self.prints, name), "w", newline="") as f:
            f.write(text)

    def files(self):
        return sorted(os.listdir(self.prints))

    def workstation(self, name):
        """A workstation registered on the first port; returns its socket."""
        def connect():
            try:
                return socket.create_connection(("127.0.0.1", self.base), timeout=10)
            except ConnectionRefusedError:
                return None
        station = wait_for(connect, "the workstation port")
        station.sendall(b"PC:" + name.encode() + b"\r")
        return station

    def url(self, path="/"):
        return "https://127.0.0.1:%d%s" % (self.web_port, path)


class Browser:
    """Cookies and requests as a browser sends them, over HTTPS checked against the server's own
    certificate, or plain HTTP to 127.0.0.1."""

    def __init__(self, server, source="127.0.0.1", plain=False):
        self.server = server
        self.source = source
        self.plain = plain
        self.cookies = {}

    def request(self, method, path, form=None, headers=None):
        if self.plain:
            connection = http.client.HTTPConnection("127.0.0.1", self.server.web_port + 1,
                                                    timeout=10, source_address=(self.source, 0))
        else:
            context = ssl.create_default_context(cafile=self.server.certificate)
            connection = http.client.HTTPSConnection("127.0.0.1", self.server.web_port,
                                                     timeout=10, context=context,
                                                     source_address=(self.source, 0))
        sent = dict(headers or {})
        if self.cookies:
            sent["Cookie"] = "; ".join("%s=%s" % item for item in self.cookies.items())
        body = None
        if form is not None:
            body = urllib.parse.urlencode(form)
            sent["Content-Type"] = "application/x-www-form-urlencoded"
        connection.request(method, path, body=body, headers=sent)
        response = connection.getresponse()
        text = response.read().decode("utf-8")
        for header, value in response.getheaders():
            if header.lower() == "set-cookie":
                name, _, rest = value.partition("=")
                cookie_value = rest.split(";")[0]
                if "Max-Age=0" in value:
                    self.cookies.pop(name, None)
                else:
                    self.cookies[name] = cookie_value
        connection.close()
        return response.status, dict(response.getheaders()), text

    def get(self, path):
        return self.request("GET", path)

    def post(self, path, form, headers=None):
        return self.request("POST", path, form, headers)

    @staticmethod
    def token(page):
        found = re.search(r'name="token" value="([^"]*)"', page)
        return found.group(1) if found else ""

    def log_in(self, name="Tecnico", password=PASSWORD):
        _, _, page = self.get("/accesso")
        return self.post("/accesso", {"token": self.token(page), "nome": name,
                                      "password": password})
