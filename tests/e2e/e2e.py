#!/usr/bin/env python3
"""End-to-end scenarios: the real installer under wine, driven only by clicks, against the local vendor site.

  e2e.py SCENARIO --setup EXE --product-setup EXE --driver EXE --locales DIR --artefacts DIR

QV_SESSION_DIR names the wine session (prefix, wineserver, display) the scenarios share; each scenario
first removes what an earlier one left in the prefix. Screenshots go to ARTEFACTS/SCENARIO/.
"""
import argparse
import json
import os
import re
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools", "vendor_site"))
import vendor_site  # noqa: E402

TITLE = "Quorvane Setup"
TITLE_ARABIC = "إعداد Quorvane"
TEAL = (0x05, 0xD4, 0xBE)
WHITE = (0xFF, 0xFF, 0xFF)
BANNER_COLOURS = vendor_site.BANNER_COLOURS


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_for(predicate, seconds, what, step=0.25):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    raise Failure(f"timed out after {seconds} s waiting for {what}")


def near(pixel, colour, slack=40):
    return all(abs(a - b) <= slack for a, b in zip(pixel, colour))


class Screenshot:
    """A captured window: pixels by client coordinates."""

    def __init__(self, path):
        self.path = path
        out = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True,
                              check=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.data = out

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def teal_run(self, y, x0, x1):
        """How many pixels of row y between x0 and x1 are teal-ish (the progress fill)."""
        return sum(1 for x in range(x0, x1) if near(self.at(x, y), TEAL, 70))


class Session:
    """The installer, its wine prefix, the vendor site and the UI driver of one scenario."""

    def __init__(self, args, name):
        self.args = args
        self.name = name
        self.session = os.environ["QV_SESSION_DIR"]
        self.env = dict(os.environ, DISPLAY=":" + open(os.path.join(self.session, "display")).read().strip(),
                        QV_TEST_PRODUCT_STEP_MS="60", QV_TEST_PRODUCT_LIFETIME_S="20")
        self.artefacts = os.path.join(args.artefacts, name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        drive_c = os.path.join(self.session, "wineprefix", "drive_c")
        self.work = os.path.join(drive_c, "Program Files", "quorvane_down", "demo_setup")
        self.product = os.path.join(drive_c, "Program Files", "Quorvane", "Quorvane")
        self.title = TITLE
        self.site = None
        self.installers = []
        self.shots = 0

    # ---- set-up and clean-up ----

    def clean_prefix(self):
        self.kill_windows_processes()
        for folder in (self.work, os.path.dirname(self.product)):
            shutil.rmtree(folder, ignore_errors=True)

    def kill_windows_processes(self):
        for name in ("demo_setup.exe", "quorvane-download.exe", "quorvane-download.tmp", "Quorvane.exe"):
            self.wine("taskkill", "/F", "/IM", name, check=False)

    def start_site(self, rate="256k", pad_mb=12):
        product = os.path.join(ROOT, "res", "products", "demo")
        self.site = vendor_site.VendorSite(os.path.join(self.artefacts, "site"), product, self.args.product_setup,
                                           pad_mb=pad_mb, rate=rate).start()
        return self.site

    def close(self):
        for process in self.installers:
            if process.poll() is None:
                process.kill()
                process.wait()
        self.kill_windows_processes()
        if self.site:
            self.site.stop()
        log = os.path.join(self.work, "Log", "quorvane_down.log")
        if os.path.exists(log):
            shutil.copy(log, self.artefacts)

    # ---- wine ----

    def wine(self, program, *arguments, check=True, timeout=90, env=None):
        result = subprocess.run([os.path.join(ROOT, "tools", "wine-run.sh"), program, *arguments],
                                env=env or self.env, capture_output=True, timeout=timeout)
        text = result.stdout.decode("utf-8", "replace")
        if check and result.returncode != 0:
            raise Failure(f"{os.path.basename(program)} {' '.join(arguments)}: exit {result.returncode} {text}")
        return result.returncode, text

    def start_installer(self, env=None):
        process = subprocess.Popen([os.path.join(ROOT, "tools", "wine-run.sh"), self.args.setup], env=env or self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.installers.append(process)
        self.driver("wait", self.title, "60000")
        time.sleep(1)
        return process

    def driver(self, *arguments, check=True, timeout=90):
        rtl = ["-rtl"] if self.title != TITLE else []
        return self.wine(self.args.driver, *rtl, *arguments, check=check, timeout=timeout)

    def click(self, control):
        self.driver("click", self.title, control)

    def alt_f4(self):
        """The banner page has no close box: a person closes it with Alt+F4."""
        window = wait_for(self.window_id, 20, "the installer window")
        subprocess.run(["xdotool", "key", "--window", window, "alt+F4"], env=self.env, capture_output=True, check=True)

    def answer(self, button, seconds=60):
        """Waits for a message box of the installer, presses button, answers the box's text."""
        return self.driver("answer", self.title, button, str(seconds * 1000), timeout=seconds + 30)[1]

    def window_id(self):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{self.title}$"], env=self.env,
                             capture_output=True, text=True).stdout.split()
        # The main window is the one 650 pixels wide; message boxes carry the same caption.
        for window in out:
            geometry = subprocess.run(["xdotool", "getwindowgeometry", window], env=self.env, capture_output=True,
                                      text=True).stdout
            if "Geometry: 650x" in geometry:
                return window
        return None

    def shot(self, label):
        self.shots += 1
        window = wait_for(self.window_id, 20, "the installer window")
        path = os.path.join(self.artefacts, f"{self.shots:02d}-{label}.png")
        subprocess.run(["import", "-window", window, path], env=self.env, check=True)
        print(f"screenshot: {path}")
        return Screenshot(path)

    # ---- what the installer left ----

    def work_file(self, name):
        return os.path.join(self.work, name)

    def product_started(self):
        return os.path.exists(os.path.join(self.product, "started.txt"))

    def downloaded_bytes(self):
        path = self.work_file("quorvane-download.exe.tmp")
        return os.path.getsize(path) if os.path.exists(path) else 0

    def log_text(self):
        try:
            with open(os.path.join(self.work, "Log", "quorvane_down.log"), "rb") as f:
                return f.read().decode("latin-1")
        except OSError:
            return ""


# ---- what the window shows ----

def home_page(shot):
    return near(shot.at(325, 200), TEAL) and near(shot.at(22, 330), TEAL)


def banner_page(shot):
    return near(shot.at(554, 318), WHITE, 10) and not near(shot.at(200, 100), WHITE, 10)


def finish_page(shot):
    return near(shot.at(325, 200), TEAL) and near(shot.at(22, 330), WHITE, 10)


def bar_fill(shot, rtl=False):
    # The right-to-left skin mirrors the bar: it spans x 166 to 599 there.
    return shot.teal_run(314, 166, 599) if rtl else shot.teal_run(314, 51, 484)


def banner_colour(shot):
    return shot.at(30, 30)


def download_requests(site):
    """(connection number, status, body bytes) of every installer request in the access log."""
    entries = []
    try:
        with open(os.path.join(site.dir, "access.log")) as f:
            for line in f:
                match = re.search(r'"GET /download/\S+ HTTP/1.1" (\d+) (\d+) range="[^"]*" conn=(\d+)', line)
                if match:
                    entries.append((int(match[3]), int(match[1]), int(match[2])))
    except OSError:
        pass
    return entries


def last_connection(site):
    """The newest connection nginx has logged; a later download opens connections with higher numbers."""
    time.sleep(2)  # let nginx log the requests that the previous run left open
    return max([c for c, _, _ in download_requests(site)] + [0])


def check_resumed(site, after, what):
    """The download on connections newer than `after` fetched only what the earlier ones had not."""
    earlier = sum(size for c, status, size in download_requests(site) if c <= after and status in (200, 206))
    later = sum(size for c, status, size in download_requests(site) if c > after and status in (200, 206))
    # Partial pieces are fetched again, so allow for some overlap, but not for a download from scratch.
    check(earlier > 0 and 0 < later <= site.installer_size - earlier // 2,
          f"{what}: {earlier} bytes before, {later} after, of {site.installer_size}")


# ---- scenarios ----

def fresh_install(s):
    # Slow enough that the banner page lasts past two rotations and the silent run past one progress poll.
    site = s.start_site(rate="48k")
    s.env["QV_TEST_PRODUCT_STEP_MS"] = "500"
    s.start_installer()
    home = s.shot("home")
    check(home_page(home), "the home page shows Install and the agreement row")
    s.click("btn_install")
    wait_for(lambda: banner_page(s.shot("banner")), 20, "the banner page")
    colours, fills = set(), []
    end = time.monotonic() + 60
    while time.monotonic() < end and len(colours) < 3 and "kWindow_Installing" not in s.log_text():
        shot = s.shot("downloading")
        fills.append(bar_fill(shot))
        colour = banner_colour(shot)
        for number, known in enumerate(BANNER_COLOURS):
            if near(colour, known, 8):
                colours.add(number)
                # One dot per image, option_0 to option_2 (the selected one is teal, so on the teal picture
                # only the other two stand out), and no option_3.
                drawn = [not near(shot.at(310 + 16 * i, 255), colour, 20) for i in range(3)]
                check(sum(drawn) >= 2, f"the dots option_0 to option_2 are drawn ({drawn})")
                check(near(shot.at(358, 255), colour, 8), "no fourth dot")
        time.sleep(1)
    check(colours == {0, 1, 2}, f"the carousel shows its three images in turn (seen: {sorted(colours)})")
    check(fills == sorted(fills) and fills[-1] > fills[0], f"the bar moves forward during the download ({fills})")
    wait_for(lambda: "kWindow_Installing" in s.log_text(), 90, "the silent run")
    installing = []
    while "kWindow_Finish" not in s.log_text():
        shot = s.shot("installing")
        if banner_page(shot):
            installing.append(bar_fill(shot))
        time.sleep(0.5)
    full = 433
    check(installing and min(installing) >= full * 89 // 100 and max(installing) > full * 92 // 100,
          f"the silent run moves the bar on from 90 % ({installing} of {full} pixels)")
    finish = s.shot("finish")
    check(finish_page(finish), "the finish page shows Start Now alone")
    s.click("btn_start")
    wait_for(s.product_started, 60, "the product to start")
    def our_events():
        # Other installers on this machine may post to the same loopback collector: keep our client's.
        guid = re.search(r"tran code guid:(\S+)", s.log_text())
        return [json.loads(e["body"])["events"][0]["name"] for e in site.analytics()
                if guid and json.loads(e["body"]).get("client_id") == guid.group(1)]
    wait_for(lambda: len(our_events()) >= 3, 30, "three analytics events")
    time.sleep(1)
    names = our_events()
    check(names == ["Downloader_Start_Install", "Downloader_Installed", "Installed_Succeed"],
          f"exactly the three analytics events in order: {names}")
    for name in ("quorvane-download.exe", "quorvane-download.exe.tmp", "quorvane-download.exe.cfg", "temp.progress"):
        check(not os.path.exists(s.work_file(name)), f"{name} is removed")
    with open(os.path.join(s.product, "domain"), "rb") as f:
        check(f.read() == b"com_th", "the channel file holds the channel code")


def second_start(s):
    first = s.start_installer()
    s.click("minbtn")
    time.sleep(1)
    check("iconic=1" in s.driver("state", s.title)[1], "the window is minimised")
    code, _ = s.wine(s.args.setup, check=False)
    check(code == 255, f"the second start ends with -1 (got {code})")
    state = s.driver("state", s.title)[1]
    check("visible=1" in state and "iconic=0" in state, f"the first window is restored ({state.strip()})")
    check(first.poll() is None, "the first installer still runs")
    s.shot("raised")


def download_fails(s, answer):
    """The installer disappears from the site in the middle of the download: the failure dialog."""
    site = s.start_site(rate="48k")
    s.start_installer()
    s.click("btn_install")
    wait_for(lambda: s.downloaded_bytes() > 500_000, 60, "the download to start")
    site.outage(True)
    wait_for(lambda: re.search(r"HttpDownloadEnd\S*Failed", s.log_text()), 120, "the download to fail")
    site.outage(False)
    since = last_connection(site)
    text = s.answer(answer)
    check("Retry" in text and "Ignore" in text, f"the failure dialog offers Abort, Retry, Ignore ({text.strip()})")
    s.shot(f"{answer}-answered")
    return site, since


def download_fails_retry(s):
    site, since = download_fails(s, "retry")
    wait_for(lambda: "kWindow_Finish" in s.log_text(), 120, "the resumed download and the silent run")
    check_resumed(site, since, "Retry resumes")


def download_fails_ignore(s):
    stub_log = os.path.join(s.artefacts, "browser.log")
    stub = os.path.join(s.artefacts, "browser.sh")
    with open(stub, "w") as f:
        f.write(f"#!/bin/sh\necho \"$@\" >> '{stub_log}'\n")
    os.chmod(stub, 0o755)
    # ShellExecute of an http URL reaches wine's winebrowser, which runs the programs listed here.
    s.wine("reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/d", stub, "/f")
    download_fails(s, "ignore")
    wait_for(lambda: os.path.exists(stub_log), 30, "the browser to open")
    with open(stub_log) as f:
        opened = f.read()
    check("/download/" in opened, f"the browser opens the download URL ({opened.strip()})")
    wait_for(lambda: home_page(s.shot("home-again")), 20, "the home page")


def close_during_download(s):
    site = s.start_site(rate="16k")
    s.start_installer()
    s.click("btn_install")
    wait_for(lambda: bar_fill(s.shot("downloading")) > 25, 60, "some download progress")
    s.alt_f4()
    text = s.answer("no")
    check("progress" in text, f"the close question during the download ({text.strip()})")
    before = bar_fill(s.shot("after-no"))
    wait_for(lambda: bar_fill(s.shot("downloading")) > before + 4, 60, "the download to go on after No")
    s.alt_f4()
    s.answer("yes")
    wait_for(lambda: all(p.poll() is not None for p in s.installers), 30, "the installer to exit")
    for name in ("quorvane-download.exe.tmp", "quorvane-download.exe.cfg"):
        check(os.path.exists(s.work_file(name)), f"{name} stays for the next run")
    since = last_connection(site)
    s.installers = []
    s.start_installer()
    s.click("btn_install")
    wait_for(lambda: "kWindow_Installing" in s.log_text().split("JudgeDeleteHistoryFile")[-1], 120,
             "the next run's download")
    check_resumed(site, since, "the next run resumes")
    s.shot("next-run")


def product_running(s):
    product_exe = os.path.join(s.product, "Quorvane.exe")
    for answer, continues in (("ok", True), ("cancel", False)):
        s.clean_prefix()
        os.makedirs(s.product, exist_ok=True)
        shutil.copy(s.args.product_setup, product_exe)
        running = subprocess.Popen([os.path.join(ROOT, "tools", "wine-run.sh"), product_exe],
                                   env=dict(s.env, QV_TEST_PRODUCT_LIFETIME_S="180"),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        s.driver("wait-process", "Quorvane.exe", "30000")
        s.installers = []
        s.site = s.start_site()
        s.start_installer()
        s.click("btn_install")
        text = s.answer(answer, seconds=90)
        check("running" in text, f"the product-running question ({text.strip()})")
        if continues:
            wait_for(lambda: running.poll() is not None, 30, "the running product to be ended")
            wait_for(lambda: "kWindow_Finish" in s.log_text(), 90, "the finish page after OK")
            s.shot("finish-after-ok")
        else:
            wait_for(lambda: all(p.poll() is not None for p in s.installers), 30, "the window to close on Cancel")
        running.kill()
        running.wait()
        s.site.stop()


def arabic(s):
    s.title = TITLE_ARABIC
    env = dict(s.env, LANG="ar_SA.UTF-8", LC_ALL="", LOCPATH=s.args.locales)
    s.env = env
    s.start_site(rate="64k")
    s.start_installer()
    home = s.shot("home-rtl")
    check(near(home.at(21, 22), (0x80, 0x80, 0x80), 110) and not near(home.at(21, 22), WHITE, 20),
          "the close box is on the left")
    s.click("btn_install")
    wait_for(lambda: banner_page(s.shot("banner-rtl")), 20, "the banner page")
    shot = s.shot("banner-rtl")
    # The bar is reversed: at the start of the download it is (nearly) full.
    check(bar_fill(shot, rtl=True) > 400, f"the reversed bar ({bar_fill(shot, rtl=True)} teal pixels)")
    s.alt_f4()
    text = s.answer("no")
    # Wine mirrors the whole box for MB_RTLREADING | MB_RIGHT; Windows marks its text right-to-left.
    check("dialog-rtlreading: 1" in text or "dialog-layoutrtl: 1" in text,
          f"the message box reads right to left ({text.strip()})")


def low_space(s):
    # Drive Q: is the 2 MiB drive that session.sh maps for this scenario.
    if not os.path.lexists(os.path.join(s.session, "wineprefix", "dosdevices", "q:")):
        print("skipped: the session has no small drive Q: (mounting needs root)")
        return 77
    s.start_site()
    s.start_installer()
    s.click("chk_fold")
    time.sleep(1)
    s.click("btn_browse")
    s.driver("browse", s.title, r"Q:\Apps", "30000")
    time.sleep(2)
    s.shot("small-drive-chosen")
    s.click("btn_install")
    text = s.answer("ok", seconds=60)
    check("MB" in text, f"the storage message names the space needed ({text.strip()})")
    home = wait_for(lambda: (lambda shot: home_page(shot) and shot)(s.shot("home-again")), 20, "the home page")
    check(bar_fill(home) == 0, "the bar is back at 0")
    return 0


SCENARIOS = {f.__name__: f for f in (fresh_install, second_start, download_fails_retry, download_fails_ignore,
                                     close_during_download,
                                     product_running, arabic, low_space)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    for name in ("--setup", "--product-setup", "--driver", "--locales", "--artefacts"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    s = Session(args, args.scenario)
    s.clean_prefix()
    try:
        code = SCENARIOS[args.scenario](s) or 0
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        code = 1
    finally:
        s.close()
        print(f"artefacts: {s.artefacts}")
    return code


if __name__ == "__main__":
    sys.exit(main())
