#!/usr/bin/env python3
"""`cmake --install` into a staging root: the layout a desktop expects, valid metadata, and an
installed program that starts."""
import configparser
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Desktop  # noqa: E402

PREFIX = "/usr"
METAINFO = "share/metainfo/io.github.orvelle.Ticora.metainfo.xml"
ICON_SIZES = (32, 64, 128)
EXPECTED = {
    "bin/ticora",
    "lib/ticora/ticora-player.so",
    "share/applications/ticora.desktop",
    METAINFO,
    *(f"share/icons/hicolor/{s}x{s}/apps/ticora.png" for s in ICON_SIZES),
}


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build_dir = os.path.dirname(os.environ["TICORA_BINARY"])
        cls.destdir = tempfile.mkdtemp(prefix="ticora-install-")
        cls.root = cls.destdir + PREFIX
        result = subprocess.run(["cmake", "--install", build_dir, "--prefix", PREFIX],
                                env=dict(os.environ, DESTDIR=cls.destdir),
                                capture_output=True, text=True)
        if result.returncode != 0:
            shutil.rmtree(cls.destdir, ignore_errors=True)
            raise AssertionError(f"cmake --install failed:\n{result.stdout}{result.stderr}")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.destdir, ignore_errors=True)

    def path(self, relative):
        return os.path.join(self.root, relative)

    def run_tool(self, *argv):
        result = subprocess.run(argv, capture_output=True, text=True)
        return result.returncode, (result.stdout + result.stderr).strip()

    def desktop_entry(self):
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(self.path("share/applications/ticora.desktop"), encoding="utf-8")
        return entry["Desktop Entry"]

    def test_installs_exactly_the_program_and_its_desktop_files_under_the_prefix(self):
        installed = set()
        for folder, _, files in os.walk(self.destdir):
            installed |= {os.path.relpath(os.path.join(folder, f), self.root) for f in files}
        self.assertEqual(installed, EXPECTED)
        self.assertTrue(os.access(self.path("bin/ticora"), os.X_OK))

    def test_desktop_entry_is_valid_and_names_the_installed_program_and_icon(self):
        code, output = self.run_tool("desktop-file-validate",
                                     self.path("share/applications/ticora.desktop"))
        self.assertEqual((code, output), (0, ""))
        entry = self.desktop_entry()
        self.assertEqual(entry["Name"], "Ticora")
        self.assertEqual(entry["Exec"], "ticora")
        self.assertEqual(entry["Icon"], "ticora")
        self.assertEqual(entry["Categories"], "Utility;Clock;")

    def test_icon_is_a_png_of_its_theme_size_at_every_size(self):
        for size in ICON_SIZES:
            with self.subTest(size=size):
                self.assertEqual(
                    png_size(self.path(f"share/icons/hicolor/{size}x{size}/apps/ticora.png")),
                    (size, size))

    def test_metainfo_is_valid_and_launches_the_desktop_entry(self):
        for argv in (["appstreamcli", "validate", "--no-net", self.path(METAINFO)],
                     ["appstreamcli", "validate-tree", "--no-net", self.root]):
            with self.subTest(command=argv[1]):
                code, output = self.run_tool(*argv)
                self.assertEqual(code, 0, output)
                self.assertNotRegex(output, r"(?m)^[EW]:", output)
        component = ElementTree.parse(self.path(METAINFO)).getroot()
        self.assertEqual(component.findtext("launchable[@type='desktop-id']"), "ticora.desktop")
        self.assertEqual(component.findtext("provides/binary"), "ticora")
        self.assertIsNotNone(component.find("content_rating"))
        screenshot = component.findtext("screenshots/screenshot/image")
        self.assertTrue(screenshot.startswith("https://"), screenshot)
        self.assertTrue(screenshot.endswith("/docs/screenshot.png"), screenshot)
        source = os.path.join(os.path.dirname(__file__), "..", "..")
        self.assertTrue(os.path.isfile(os.path.join(source, "docs", "screenshot.png")))

    def test_installed_program_starts_and_closes(self):
        with Desktop(audio=False) as desktop:
            app = desktop.launch(binary=self.path("bin/ticora"))
            window = desktop.window_named("TicoraV2.0")
            desktop.activate(window)
            desktop.key("Escape", window=window, check=False)
            self.assertEqual(app.wait(timeout=10), 0, desktop.app_log())


if __name__ == "__main__":
    unittest.main(verbosity=2)
