#!/usr/bin/env python3
"""The deterministic packer and the product folders under res/products/."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

SOURCE = os.environ.get("QV_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "../.."))
PACKER = os.path.join(SOURCE, "tools", "pack", "qvpack.py")
PRODUCTS = os.path.join(SOURCE, "res", "products")

LANGUAGE_IDS = {"1033": "English", "2052": "Chinese", "1028": "ChineseTW", "1043": "Dutch", "1036": "French",
                "1031": "German", "1040": "Italian", "1041": "Japanese", "3082": "Spanish", "2070": "Portuguese",
                "1042": "Korean", "1025": "Arabic", "1054": "Thai", "1057": "Indonesian", "1086": "Malaysian",
                "1053": "Swedish", "1045": "Polish"}
FOLDERS = ["Arabic", "Chinese", "ChineseTW", "Dutch", "English", "French", "German", "Italian", "Japanese",
           "Korean", "Portuguese", "Spanish", "Swedish", "Thai"]
TEXT_IDS = {"STR_INSTALL", "STR_BROWSE", "STR_LISENCE", "STR_CUSTOMIZE_INSTALL", "STR_INSTALL_PATH",
            "STR_SELECT_FOLDER", "STR_STORAGE", "STR_PATH_INVALID", "STR_INSTALLING", "STR_HIDE",
            "STR_MESSAGEBOX_TITLE", "STR_NETWORK_ERROR", "STR_OPERATE_TIP", "STR_SOFT_RUN", "STR_CLOSE_TIP1",
            "STR_CLOSE_TIP2", "STR_START", "STR_MB"}
PRODUCT_KEYS = {"STR_GA_TTTLE", "STR_PRODUCT_NAME", "STR_DIR1_NAME", "STR_DIR2_NAME", "STR_EXE_NAME",
                "STR_LISENCE_COLOR", "STR_BRAND_NAME", "STR_RUN_AS_ADMIN", "STR_PID"}
URL_KEYS = {"STR_DOWN_URL", "STR_DOWN_URL_X64", "STR_LICENCE_URL", "STR_INSTALL_URL"}
# The readers take at most this many characters of a section (entries with their terminators).
SECTION_LIMIT = 4096


def pack(output, source, *options):
    return subprocess.run([sys.executable, PACKER, *options, output, source], capture_output=True, text=True)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def read_ini(path, utf16):
    """Sections of one INI file as {section: [(key, separator, value)]}, checking the encoding on the way."""
    raw = read_bytes(path)
    if utf16:
        assert raw.startswith(b"\xff\xfe"), f"{path}: no UTF-16 LE byte order mark"
        text = raw[2:].decode("utf-16-le")
    else:
        text = raw.decode("ascii")
    assert text.endswith("\r\n") and "\n" not in text.replace("\r\n", ""), f"{path}: lines must end with CR LF"
    sections, current = {}, None
    for line in text.split("\r\n")[:-1]:
        if line.startswith("["):
            current = sections.setdefault(line.strip("[]"), [])
        else:
            key, separator, value = line.partition("=")
            current.append((key.strip(), key[len(key.rstrip()):] + "=" + value[:len(value) - len(value.lstrip())],
                            value.strip()))
    return sections


class PackerTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.temp)

    def test_same_bytes_whatever_the_file_times(self):
        source = os.path.join(PRODUCTS, "demo", "language")
        copy = os.path.join(self.temp, "copy")
        shutil.copytree(source, copy)
        for root, _, files in os.walk(copy):
            for name in files:
                os.utime(os.path.join(root, name), (1_700_000_000, 1_700_000_000))
        first, second = os.path.join(self.temp, "a.zip"), os.path.join(self.temp, "b.zip")
        self.assertEqual(pack(first, source).returncode, 0)
        self.assertEqual(pack(second, copy).returncode, 0)
        self.assertEqual(read_bytes(first), read_bytes(second))

    def test_folders_come_before_their_contents_and_files_are_deflated(self):
        source = os.path.join(self.temp, "src")
        for folder in ("b", "a/inner", "a/inner/deeper"):
            os.makedirs(os.path.join(source, folder))
        for name in ("z.txt", "a/x.txt", "a/inner/y.txt", "a/inner/deeper/w.txt", "b/v.txt"):
            with open(os.path.join(source, name), "w") as f:
                f.write(name * 20)
        output = os.path.join(self.temp, "out.zip")
        self.assertEqual(pack(output, source).returncode, 0)
        with zipfile.ZipFile(output) as archive:
            infos = archive.infolist()
            names = [i.filename for i in infos]
            self.assertEqual(names, ["z.txt", "a/", "a/x.txt", "a/inner/", "a/inner/y.txt", "a/inner/deeper/",
                                     "a/inner/deeper/w.txt", "b/", "b/v.txt"])
            for info in infos:
                self.assertEqual(info.date_time, (1980, 1, 1, 0, 0, 0))
                if info.is_dir():
                    self.assertEqual((info.file_size, info.compress_type), (0, zipfile.ZIP_STORED))
                else:
                    self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                    self.assertEqual(archive.read(info), (info.filename * 20).encode())

    def test_refusals(self):
        output = os.path.join(self.temp, "out.zip")
        missing = os.path.join(self.temp, "missing")
        result = pack(output, missing)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("no such folder", result.stderr)
        self.assertFalse(os.path.exists(output))
        # The skin may not exist yet: then its package is an empty archive.
        self.assertEqual(pack(output, missing, "--allow-missing").returncode, 0)
        with zipfile.ZipFile(output) as archive:
            self.assertEqual(archive.namelist(), [])
        # An empty file would come out of the extractor as a folder.
        source = os.path.join(self.temp, "empty")
        os.makedirs(source)
        open(os.path.join(source, "blank.ini"), "w").close()
        os.unlink(output)
        result = pack(output, source)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("empty files cannot be packed", result.stderr)
        self.assertFalse(os.path.exists(output))
        self.assertEqual([n for n in os.listdir(self.temp) if n.endswith(".part")], [])


class ProductFolderTest(unittest.TestCase):
    def check_product(self, product, url_check):
        language = os.path.join(PRODUCTS, product, "language")
        self.assertEqual(read_bytes(os.path.join(PRODUCTS, product, "channel.txt")), b"com_th\r\n")
        listed = read_ini(os.path.join(language, "language.ini"), utf16=False)["Language"]
        self.assertEqual({k: v for k, _, v in listed}, LANGUAGE_IDS)
        self.assertEqual(sorted(n for n in os.listdir(language) if os.path.isdir(os.path.join(language, n))),
                         FOLDERS)
        info = read_ini(os.path.join(language, "productInfo.ini"), utf16=True)["PRODUCT"]
        self.assertEqual({k for k, _, _ in info}, PRODUCT_KEYS)
        product_values = {k: v for k, _, v in info}
        self.assertRegex(product_values["STR_LISENCE_COLOR"], r"^#[0-9A-Fa-f]{6}$")
        self.assertRegex(product_values["STR_PID"], r"^[0-9]+$")
        self.assertTrue(product_values["STR_EXE_NAME"].endswith(".exe"))
        pid = "&pid=" + product_values["STR_PID"]

        english = None
        for folder in ["English"] + [f for f in FOLDERS if f != "English"]:
            with self.subTest(product=product, folder=folder):
                texts = read_ini(os.path.join(language, folder, "text.ini"), utf16=True)["LANSTR"]
                self.assertEqual({k for k, _, _ in texts}, TEXT_IDS)
                self.assertEqual({s for _, s, _ in texts}, {" = "})
                self.assertLess(sum(len(k) + 1 + len(v) + 1 for k, _, v in texts) + 1, SECTION_LIMIT)
                values = {k: v for k, _, v in texts}
                self.assertRegex(values["STR_LISENCE"], r"\{c COLOR\}[^{}]*BRAND[^{}]*\{/c\}")
                for key in ("STR_MESSAGEBOX_TITLE", "STR_SOFT_RUN"):
                    self.assertIn("PRODUCT", values[key])
                if english is None:
                    english = values
                else:
                    # A translation, not a copy: a few short words (MB, an unchanged title) may match English.
                    same = {k for k in TEXT_IDS if values[k] == english[k]}
                    self.assertLessEqual(same, {"STR_MB", "STR_MESSAGEBOX_TITLE", "STR_INSTALL"})
                urls = {k: v for k, _, v in read_ini(os.path.join(language, folder, "UrlInfo.ini"),
                                                     utf16=True)["URL"]}
                self.assertEqual(set(urls), URL_KEYS)
                self.assertTrue(urls["STR_DOWN_URL"].endswith("_x86.exe"))
                self.assertTrue(urls["STR_DOWN_URL_X64"].endswith("_x64.exe"))
                self.assertTrue(urls["STR_LICENCE_URL"].endswith("/producturl?key=license_agreement" + pid +
                                                                "&lang=" + folder))
                self.assertTrue(urls["STR_INSTALL_URL"].endswith("/producturl?key=installed" + pid +
                                                                "&lang=" + folder))
                for url in urls.values():
                    url_check(url)

    def test_quorvane_points_at_the_vendor(self):
        def check(url):
            self.assertRegex(url, r"^https://(download|api)\.quorvane\.com/")
        self.check_product("quorvane", check)

    def test_demo_points_at_loopback(self):
        def check(url):
            self.assertRegex(url, r"^http://127\.0\.0\.1/")
        self.check_product("demo", check)


if __name__ == "__main__":
    unittest.main()
