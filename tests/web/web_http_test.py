#!/usr/bin/env python3
"""The web page on the real VelarixSrv, over HTTPS and HTTP: every page readable without a login
from the server's own machine, each action refused without a login, with a wrong token, from
another site's page and from an address the server does not admit; after a login "Riprova" and
"Elimina" act on the print folder and nowhere else, and the log says who did it and from where.
Usage: web_http_test.py BIN_DIR SOURCE_DIR"""
import os
import re
import sys
import unittest

from webserver import PASSWORD, Browser, WebServer, wait_for

BIN, SOURCE = sys.argv[1], sys.argv[2]


# The tests run in the order of their names: reading first, before the actions change the queue.
class WebPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = WebServer(BIN, SOURCE)
        try:
            cls.server.start()
            cls.fill_queue(cls.server)
        except BaseException:
            cls.server.stop()
            raise

    @classmethod
    def fill_queue(cls, server):
        server.drop("FOM0000001.001", "senza riga della postazione\r\n")  # set aside
        server.drop("PRE0000002.001", "PC:CASSA\r\nPreventivo\r\n")     # CASSA is away: held
        cls.station = server.workstation("UFFICIO")
        # UFFICIO prints the first, cannot print the second, still prints the third.
        for number in (3, 4, 5):
            server.drop("ODL000000%d.001" % number, "PC:UFFICIO\r\nOrdine %d\r\n" % number)
        # It gets one document at a time: the next comes with its answer to the one before.
        requests = []
        answers = [lambda path: b"DEL:" + path + b"\r",
                   lambda path: b"ERR:12|stampante senza carta|" + path + b"\r"]
        while len(requests) < 3:
            for line in cls.station.recv(4096).decode("latin-1").split("\r"):
                if line.startswith("DIR:"):
                    if len(requests) < 2:
                        cls.station.sendall(answers[len(requests)](line[4:].encode("latin-1")))
                    requests.append(line[4:])
        wait_for(lambda: "FOM0000001.001.ERR" in server.files(), "the set-aside file")
        wait_for(lambda: "senza carta" in Browser(server).get("/postazioni")[2],
                 "the failure on the workstations page")

    @classmethod
    def tearDownClass(cls):
        cls.station.close()
        cls.server.stop()

    def test_1_every_page_reads_without_login(self):
        browser = Browser(self.server)
        pages = {path: browser.get(path) for path in
                 ("/", "/postazioni", "/attesa", "/registro?q=pagina+web", "/ditte", "/stile.css")}
        for path, (status, headers, _) in pages.items():
            self.assertEqual(status, 200, path)
            self.assertIn("default-src 'none'", headers["Content-Security-Policy"], path)
        self.assertIn("in corso", pages["/"][2])
        self.assertIn(self.server.prints, pages["/"][2])
        workstation = re.search(r"<tr><td[^>]*>UFFICIO</td>.*?</tr>", pages["/postazioni"][2])
        self.assertIsNotNone(workstation, pages["/postazioni"][2])
        self.assertIn("127.0.0.1", workstation.group(0))
        self.assertIn('data-label="Stampati oggi">1<', workstation.group(0))
        self.assertIn("stampante senza carta", workstation.group(0))
        queue = pages["/attesa"][2]
        for state, name in (("messo da parte", "FOM0000001.001.ERR"),
                            ("postazione non collegata", "PRE0000002.001.PRN"),
                            ("in stampa", "ODL0000005.001.PRN"),
                            ("stampa non riuscita", "stampante senza carta")):
            self.assertRegex(queue, state + ".*" + re.escape(name))
        self.assertNotIn("<form method=\"post\"", queue)  # no actions without a login
        self.assertIn('http-equiv="refresh"', queue)
        log = pages["/registro?q=pagina+web"][2]
        self.assertIn("Pagina web: https://", log)
        self.assertNotIn("Apertura Programma", log)
        self.assertIn("OFFICINE MERIDIANA", pages["/ditte"][2])
        for path, (_, _, text) in pages.items():
            self.assertIsNone(re.search(r'(src|href)="(https?:)?//', text), path)

    def test_2_actions_need_login_token_and_our_own_page(self):
        anonymous = Browser(self.server)
        status, _, _ = anonymous.post("/riprova", {"nome": "FOM0000001.001.ERR", "token": "x"})
        self.assertEqual(status, 403)
        status, _, page = anonymous.log_in(password="sbagliata")
        self.assertEqual(status, 403)
        self.assertIn("Password sbagliata", page)
        self.assertIn("Pagina web: password sbagliata per Tecnico da 127.0.0.1", self.server.log())

        browser = Browser(self.server)
        wait_for(lambda: browser.log_in()[0] == 303, "a login (one password check a second)")
        _, _, page = browser.get("/attesa")
        token = Browser.token(page)
        for form, headers in (({"nome": "FOM0000001.001.ERR", "token": "sbagliato"}, {}),
                              ({"nome": "FOM0000001.001.ERR", "token": token},
                               {"Origin": "https://altro.example"})):
            status, _, _ = browser.post("/riprova", form, headers)
            self.assertEqual(status, 403)
        self.assertIn("FOM0000001.001.ERR", self.server.files())

        outside = os.path.join(self.server.folder, "Client", "Copie.txt")
        for name in ("../server/Client/Copie.txt", outside, "ODL0000005.001.PRN/.."):
            status, headers, _ = browser.post("/elimina", {"nome": name, "token": token})
            self.assertEqual((status, headers.get("Location")), (303, "/attesa"))
        self.assertTrue(os.path.exists(outside))

        status, _, _ = browser.post("/riprova", {"nome": "FOM0000001.001.ERR", "token": token})
        self.assertEqual(status, 303)
        wait_for(lambda: "FOM0000001.001.ERR" not in self.server.files(), "the put-back")
        self.assertIn("Pagina web: Riprova FOM0000001.001.ERR: rimesso in coda "
                      "(Tecnico da 127.0.0.1)", self.server.log())
        _, _, question = browser.get("/elimina?nome=PRE0000002.001.PRN")
        self.assertIn("Eliminare il documento PRE0000002.001.PRN", question)
        status, _, _ = browser.post("/elimina", {"nome": "PRE0000002.001.PRN", "token": token})
        self.assertNotIn("PRE0000002.001.PRN", self.server.files())
        self.assertIn("Pagina web: Elimina PRE0000002.001.PRN: eliminato (Tecnico da 127.0.0.1)",
                      self.server.log())

        browser.post("/uscita", {"token": token})
        stale = Browser(self.server)
        stale.cookies = {"velarix_sessione": "nessuna"}
        for client in (browser, stale):
            status, _, _ = client.post("/riprova", {"nome": "x", "token": token})
            self.assertEqual(status, 403)

    def test_3_plain_http_only_for_this_machine(self):
        status, _, _ = Browser(self.server, plain=True).get("/attesa")
        self.assertEqual(status, 200)
        status, _, _ = Browser(self.server, plain=True).request(
            "GET", "/attesa", headers={"Host": "altro.example"})
        self.assertEqual(status, 403)
        # The plain port listens on 127.0.0.1 alone.
        with self.assertRaises(OSError):
            import socket
            socket.create_connection(("127.0.0.2", self.server.web_port + 1), timeout=2)

    def test_4_reading_from_addresses_the_server_admits(self):
        try:
            status, _, _ = Browser(self.server, source="127.0.0.2").get("/")
        except OSError as error:
            self.skipTest("no second loopback address here: %s" % error)
        self.assertEqual(status, 200)  # no list: the local networks read
        self.server.admin("workstation", "UFFICIO", "127.0.0.1")
        try:
            status, _, page = Browser(self.server, source="127.0.0.2").get("/")
            self.assertEqual(status, 403)
            self.assertIn("127.0.0.2", page)
            self.assertIn("Pagina web: accesso rifiutato da 127.0.0.2", self.server.log())
            self.assertEqual(Browser(self.server).get("/")[0], 200)
        finally:
            self.server.admin("delete-workstation", "UFFICIO")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
