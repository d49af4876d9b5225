#!/usr/bin/python3
"""The operator console in a real browser (headless Chromium driven by
selenium) against kelvo-server on the embedded demo database, on free
ports: the settings steer what a handheld gets, a print shows in the
journal without a reload, a reprint, the hidden department cleared, changes
made elsewhere shown live; a console on another address than loopback asks
for its token. Keeps a screenshot of the console in the artifacts folder."""

import argparse
import datetime
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

ARGS = None
PATIENCE_S = 60


def wait_for(condition, what, timeout=PATIENCE_S):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"waited {timeout} s for {what}")
        time.sleep(0.1)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Server:
    """kelvo-server --demo --headless in a project folder of its own."""

    def __init__(self, console, token_file=None):
        self.folder = tempfile.mkdtemp(prefix="kelvo-console-")
        os.makedirs(os.path.join(self.folder, "db"))
        for name in ("schema.sql", "demo-data.sql"):
            shutil.copy(os.path.join(ARGS.source, "db", name), os.path.join(self.folder, "db"))
        self.port = free_port()
        arguments = [ARGS.server, "--demo", "--headless", "--listen", "127.0.0.1", "--port", str(self.port),
                     "--console", console]
        if token_file:
            arguments += ["--console-token-file", token_file]
        environment = dict(os.environ, HOME=self.folder, XDG_CONFIG_HOME=os.path.join(self.folder, ".config"))
        self.log_path = os.path.join(self.folder, "server.log")
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen(arguments, cwd=self.folder, env=environment, stdout=self.log,
                                        stderr=subprocess.STDOUT)

    def log_text(self):
        with open(self.log_path) as log:
            return log.read()

    def wait_until_serving(self):
        wait_for(lambda: "event=request_keys.checked" in self.log_text() or self.process.poll() is not None,
                 "the server to serve", timeout=180)
        if self.process.poll() is not None:
            raise AssertionError("kelvo-server ended:\n" + self.log_text())

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(PATIENCE_S)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class Handheld:
    """A handheld client: newline-delimited JSON-RPC over TCP."""

    def __init__(self, port):
        self.socket = socket.create_connection(("127.0.0.1", port), timeout=PATIENCE_S)
        self.lines = self.socket.makefile("rb")
        self.next_id = 0

    def call(self, method, params):
        self.next_id += 1
        request = {"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params}
        self.socket.sendall(json.dumps(request).encode() + b"\n")
        answer = json.loads(self.lines.readline())
        if "error" in answer:
            raise AssertionError(f"{method} {params}: {answer['error']}")
        return answer["result"]

    def rows(self, provider, params=None):
        result = self.call("open", {"provider": provider, "params": params or {}})
        names = [column["name"] for column in result["columns"]]
        return [dict(zip(names, row)) for row in result["rows"]]

    def goods(self):
        return {row["ISPRECE"] for row in self.rows("DataSetProvider_PRECE")}

    def open_waybills_to(self, department):
        params = {"DATUMS": datetime.date.today().isoformat(), "ISNODALANO": 0, "ISNODALAUZ": department}
        return {row["ISN"] for row in self.rows("DataSetProvider_O_PARPAV", params)}

    def close(self):
        self.lines.close()
        self.socket.close()


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1400,1100", "--lang=lv"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def latvian_date(date):
    return date.strftime("%d.%m.%Y")


class ConsoleInTheBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server(f"127.0.0.1:{free_port()}")
        cls.console_url = "http://" + cls.server.process.args[cls.server.process.args.index("--console") + 1] + "/"
        try:
            cls.server.wait_until_serving()
            cls.browser = start_browser()
        except BaseException:
            cls.server.stop()
            raise
        cls.handheld = Handheld(cls.server.port)

    @classmethod
    def tearDownClass(cls):
        # The console as the tests leave it: settings, a handheld, prints.
        os.makedirs(ARGS.artifacts, exist_ok=True)
        cls.browser.execute_script("document.activeElement.blur();")
        cls.browser.save_screenshot(os.path.join(ARGS.artifacts, "console.png"))
        cls.handheld.close()
        cls.browser.quit()
        cls.server.stop()

    def setUp(self):
        self.browser.get(self.console_url)
        wait_for(lambda: self.element("console").is_displayed(), "the console to show")
        wait_for(lambda: self.element("date-from").get_attribute("value"), "the settings to show")
        # Gone if the page were loaded again.
        self.browser.execute_script("window.kelvoTestMarker = 'same page';")

    def tearDown(self):
        self.assertEqual(self.browser.execute_script("return window.kelvoTestMarker;"), "same page")
        self.assertEqual(self.text("settings-error"), "")

    def element(self, id):
        return self.browser.find_element(By.ID, id)

    def text(self, id):
        return self.element(id).text

    def type_into(self, id, text):
        # As an operator does, the field keeping the focus throughout (a
        # clear() would leave it, and the next look at the state would
        # fill it in again).
        field = self.element(id)
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(text + Keys.ENTER)

    def journal_rows(self):
        return self.browser.find_elements(By.CSS_SELECTOR, "#journal tbody tr")

    def change_and_see(self, change, before, now, what):
        change()
        return wait_for(lambda: (lambda got: got if got != before else None)(now()), what)

    def test_dates_and_sending_department_steer_what_a_handheld_gets(self):
        today = datetime.date.today()
        self.type_into("date-from", latvian_date(today))
        self.type_into("date-to", latvian_date(today))
        wait_for(lambda: self.element("date-from").get_attribute("value") == latvian_date(today), "today's range")
        todays = wait_for(lambda: self.handheld.goods(), "today's goods")

        # Orders of the last three days bring their goods.
        wider = self.change_and_see(lambda: self.type_into("date-from", latvian_date(today - datetime.timedelta(3))),
                                    todays, self.handheld.goods, "the goods list to change")
        self.assertTrue(todays < wider, (todays, wider))
        # The "today" shortcut takes them away again.
        self.change_and_see(lambda: self.element("today").click(), wider, self.handheld.goods,
                            "the goods list to follow the shortcut")
        self.assertEqual(self.handheld.goods(), todays)

        # Open waybills are those of the sending department.
        Select(self.element("sending")).select_by_visible_text("Veikals \"Jūrmala\"")
        wait_for(lambda: self.handheld.open_waybills_to(2) == set(), "no waybill from Jūrmala")
        Select(self.element("sending")).select_by_visible_text("Centrālā noliktava")
        wait_for(lambda: self.handheld.open_waybills_to(2) == {1}, "waybill 1 from the central warehouse")

    def test_hidden_department_can_be_cleared(self):
        self.element("today").click()
        everything = wait_for(lambda: self.handheld.goods(), "today's goods")
        # Veikals "Centrs" ordered goods 3, 5 and 7 today, which no other
        # shop of today orders.
        Select(self.element("hidden")).select_by_visible_text("Veikals \"Centrs\"")
        hidden = wait_for(lambda: (lambda goods: goods if goods != everything else None)(self.handheld.goods()),
                          "the hidden department's goods to go")
        self.assertTrue(hidden < everything)
        self.element("clear-hidden").click()
        wait_for(lambda: self.handheld.goods() == everything, "the goods to come back")
        wait_for(lambda: Select(self.element("hidden")).first_selected_option.text == "(nav)",
                 "no hidden department shown")

    def test_print_shows_in_the_journal_without_reload_and_reprints_with_the_copies_in_force(self):
        self.type_into("copies", "1")
        wait_for(lambda: self.handheld.rows("DataSetProvider_PRECE") is not None, "a request")
        before = len(self.journal_rows())
        self.handheld.rows("DataSetProvider_drukat", {"ISN": 1})
        rows = wait_for(lambda: (lambda rows: rows if len(rows) == before + 1 else None)(self.journal_rows()),
                        "the print in the journal")
        cells = [cell.text for cell in rows[0].find_elements(By.TAG_NAME, "td")]
        self.assertEqual(cells[1], "1")                       # the waybill key
        self.assertEqual(cells[2], "PL9171800417")            # its number
        self.assertEqual(cells[4], "1")                       # copies
        self.assertEqual(cells[7], "nodrukāta")
        self.assertTrue(cells[5].endswith(".pdf"), cells[5])  # the file
        self.assertTrue(cells[9].startswith("127.0.0.1:"), cells[9])

        # The handheld is listed with its requests.
        handheld = wait_for(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#handhelds tbody tr"), "a handheld")
        handheld_cells = [cell.text for cell in handheld[0].find_elements(By.TAG_NAME, "td")]
        self.assertEqual(handheld_cells[0], cells[9])
        self.assertGreaterEqual(int(handheld_cells[2]), 2)

        # A reprint with the copies now in force.
        self.type_into("copies", "3")
        wait_for(lambda: '"copies":3' in self.state_text(), "3 copies in force")
        rows[0].find_element(By.CSS_SELECTOR, "button.reprint").click()
        rows = wait_for(lambda: (lambda rows: rows if len(rows) == before + 2 else None)(self.journal_rows()),
                        "the reprint in the journal")
        cells = [cell.text for cell in rows[0].find_elements(By.TAG_NAME, "td")]
        self.assertEqual(cells[1], "1")
        self.assertEqual(cells[4], "3")
        self.assertEqual(cells[7], "nodrukāta")
        self.assertEqual(cells[9], "console 127.0.0.1")
        self.type_into("copies", "2")
        wait_for(lambda: '"copies":2' in self.state_text(), "2 copies in force")

    def test_failed_print_shows_why(self):
        # The PDF folder gone and a file in its place: the print cannot be written.
        prints = os.path.join(self.server.folder, "var", "prints")
        shutil.rmtree(prints)
        open(prints, "w").close()
        try:
            before = len(self.journal_rows())
            with self.assertRaises(AssertionError):
                self.handheld.rows("DataSetProvider_drukat", {"ISN": 2})
            rows = wait_for(lambda: (lambda rows: rows if len(rows) == before + 1 else None)(self.journal_rows()),
                            "the failed print in the journal")
            cells = [cell.text for cell in rows[0].find_elements(By.TAG_NAME, "td")]
            self.assertEqual(cells[3], "alkohola")
            self.assertEqual(cells[7], "neizdevās")
            self.assertIn(prints, cells[8])
        finally:
            os.remove(prints)
            os.makedirs(prints)

    def test_changes_made_elsewhere_show_without_reload(self):
        store = os.path.join(self.server.folder, "var", "Dravun.json")
        wait_for(lambda: os.path.exists(store), "the settings store")
        with open(store) as file:
            values = json.load(file)
        values["Kopijas"] = 7
        with open(store, "w") as file:
            json.dump(values, file)
        self.server.process.send_signal(signal.SIGHUP)
        wait_for(lambda: self.element("copies").get_attribute("value") == "7", "the reloaded copies on the page")
        self.type_into("copies", "2")
        wait_for(lambda: '"copies":2' in self.state_text(), "2 copies in force")

    def test_page_loads_nothing_from_elsewhere(self):
        origin = self.console_url.rstrip("/")
        urls = self.browser.execute_script(
            "return performance.getEntriesByType('resource').map(e => e.name)"
            ".concat(performance.getEntriesByType('navigation').map(e => e.name));")
        self.assertTrue(urls)
        for url in urls:
            self.assertTrue(url.startswith(origin + "/"), url)

    def state_text(self):
        with urllib.request.urlopen(self.console_url + "api/state", timeout=PATIENCE_S) as answer:
            return answer.read().decode()


class ConsoleOnAnotherAddress(unittest.TestCase):
    def test_it_does_not_start_without_a_token(self):
        server = Server(f"0.0.0.0:{free_port()}")
        try:
            self.assertEqual(server.process.wait(PATIENCE_S), 2)
            self.assertIn("--console-token-file", server.log_text())
        finally:
            server.stop()

    def test_it_refuses_requests_without_the_token(self):
        token_folder = tempfile.mkdtemp(prefix="kelvo-console-token-")
        token_file = os.path.join(token_folder, "token")
        with open(token_file, "w") as file:
            file.write("a-token-for-the-browser-test\n")
        console_port = free_port()
        server = Server(f"0.0.0.0:{console_port}", token_file)
        browser = None
        try:
            server.wait_until_serving()
            url = f"http://127.0.0.1:{console_port}/"
            with self.assertRaises(urllib.error.HTTPError) as refused:
                urllib.request.urlopen(url + "api/state", timeout=PATIENCE_S)
            self.assertEqual(refused.exception.code, 401)

            browser = start_browser()
            browser.get(url)
            wait_for(lambda: browser.find_element(By.ID, "login").is_displayed(), "the login form")
            self.assertFalse(browser.find_element(By.ID, "console").is_displayed())
            browser.find_element(By.ID, "token").send_keys("not-the-token" + Keys.ENTER)
            wait_for(lambda: browser.find_element(By.ID, "login-error").text, "the refusal")
            browser.find_element(By.ID, "token").clear()
            browser.find_element(By.ID, "token").send_keys("a-token-for-the-browser-test" + Keys.ENTER)
            wait_for(lambda: browser.find_element(By.ID, "console").is_displayed(), "the console after the login")
            wait_for(lambda: browser.find_element(By.ID, "date-from").get_attribute("value"), "the settings")
        finally:
            if browser:
                browser.quit()
            server.stop()
            shutil.rmtree(token_folder, ignore_errors=True)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--artifacts", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
