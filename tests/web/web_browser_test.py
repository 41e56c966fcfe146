#!/usr/bin/env python3
"""The web page in a real browser (headless Chromium): the pages of a server with a document
printing, one held for a workstation that is away and one set aside; a login through the form and
"Riprova" on the set-aside one. The pages forbid scripts (Content-Security-Policy), so all this
works without JavaScript. Screenshots of every page, desktop and phone sized, go to SHOTS_DIR.
Usage: web_browser_test.py BIN_DIR SOURCE_DIR SHOTS_DIR   (exit 77: no browser here)"""
import os
import sys

from webserver import PASSWORD, WebServer, wait_for

try:
    from selenium import webdriver
    from selenium.webdriver.common.by import By
except ImportError:
    print("SKIP: python3-selenium is not installed")
    sys.exit(77)

BIN, SOURCE, SHOTS = sys.argv[1:4]
PAGES = {"stato": "/", "postazioni": "/postazioni", "attesa": "/attesa",
         "registro": "/registro", "ditte": "/ditte"}
SIZES = {"desktop": (1280, 800), "telefono": (390, 844)}


def browser():
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.accept_insecure_certs = True  # the certificate is the server's own, self-signed
    try:
        return webdriver.Chrome(options=options)
    except Exception as error:  # no chromium or chromedriver here
        print("SKIP: no headless Chromium: %s" % error)
        sys.exit(77)


def main():
    os.makedirs(SHOTS, exist_ok=True)
    server = WebServer(BIN, SOURCE)
    driver = None
    try:
        server.start()
        server.drop("FOM0000001.001", "senza riga della postazione\r\n")
        server.drop("PRE0000002.001", "PC:CASSA\r\nPreventivo\r\n")
        station = server.workstation("UFFICIO")
        server.drop("ODL0000003.001", "PC:UFFICIO\r\nOrdine\r\n")
        wait_for(lambda: b"DIR:" in station.recv(4096), "the document offered to UFFICIO")
        wait_for(lambda: "FOM0000001.001.ERR" in server.files(), "the set-aside document")
        driver = browser()
        driver.get(server.url("/attesa"))
        rows = wait_for(lambda: len(driver.find_elements(By.CSS_SELECTOR, "tbody tr")) == 3 and
                        driver.find_element(By.TAG_NAME, "tbody").text, "three documents listed")
        for state in ("in stampa", "postazione non collegata", "messo da parte"):
            assert state in rows, "%r not in %r" % (state, rows)
        for size, (width, height) in SIZES.items():
            driver.set_window_size(width, height)
            for name, path in PAGES.items():
                driver.get(server.url(path))
                assert driver.find_element(By.TAG_NAME, "h1").text, path
                # Nothing wider than the window: a phone reads without scrolling sideways.
                overflow = driver.execute_script(
                    "return document.documentElement.scrollWidth - window.innerWidth")
                assert overflow <= 0, "%s is %d px too wide at %s" % (path, overflow, size)
                driver.save_screenshot(os.path.join(SHOTS, "%s-%s.png" % (name, size)))

        driver.get(server.url("/accesso"))
        driver.find_element(By.ID, "nome").send_keys("Ufficio")
        driver.find_element(By.ID, "password").send_keys(PASSWORD)
        driver.find_element(By.CSS_SELECTOR, "main button").click()
        wait_for(lambda: driver.current_url.endswith("/attesa"), "the queue after the login")
        row = driver.find_element(By.XPATH, "//tr[td[contains(., 'FOM0000001.001.ERR')]]")
        row.find_element(By.XPATH, ".//button[.='Riprova']").click()
        wait_for(lambda: "FOM0000001.001.ERR" not in server.files(), "the document put back")
        notice = driver.find_element(By.CLASS_NAME, "notice").text
        assert "rimesso in coda" in notice, notice
        driver.save_screenshot(os.path.join(SHOTS, "attesa-dopo-riprova-telefono.png"))
        assert "Pagina web: Riprova FOM0000001.001.ERR: rimesso in coda (Ufficio da 127.0.0.1)" \
            in server.log()
        station.close()
        print("OK: pages read, logged in, put back; screenshots in " + SHOTS)
    finally:
        if driver:
            driver.quit()
        server.stop()


if __name__ == "__main__":
    main()
