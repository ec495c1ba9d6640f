#!/usr/bin/env python3
"""One run of the program, several alerts: each one's music sounds, also after the alert
before it was closed while its file was still playing."""
import datetime
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Desktop, wait_for  # noqa: E402

HOUR_BOX, MINUTE_BOX, SECOND_BOX = (95, 67), (161, 67), (225, 67)
TEXT_BOX, MUSIC_BOX = (171, 112), (148, 155)
ARM_BUTTON = (91, 199)
CLIP_SECONDS = 3
SLICE = 0.05   # seconds of sound per level measured
SOUND = 0.1    # RMS level; the clip's tone is at about 0.7


class MusicAgainTest(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop().__enter__()
        self.addCleanup(self.desktop.__exit__, None, None, None)
        # The test's clock must read as the program's does.
        os.environ["TZ"] = self.desktop.env["TZ"]
        time.tzset()
        self.music = os.path.join(self.desktop.home, "tone.mp3")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", self.music,
                        "synth", str(CLIP_SECONDS), "sine", "440"], check=True)
        self.desktop.launch()
        self.window = self.desktop.window_named("TicoraV2.0")

    def arm(self, lead=4):
        d = self.desktop
        due = datetime.datetime.now().replace(microsecond=0) + datetime.timedelta(seconds=lead)
        for box, value in zip((HOUR_BOX, MINUTE_BOX, SECOND_BOX),
                              (due.hour, due.minute, due.second)):
            d.type_into_box(self.window, *box, str(value))
        d.click(self.window, *ARM_BUTTON)
        self.assertLess(time.time(), due.timestamp() - 0.5,
                        "the test was too slow to arm ahead of time")

    def test_every_alert_has_its_music_after_one_closed_mid_file(self):
        d = self.desktop
        d.type_into_box(self.window, *TEXT_BOX, "again")
        d.type_into_box(self.window, *MUSIC_BOX, self.music)
        recording = d.record()
        self.addCleanup(recording.stop)
        for alert in range(1, 6):
            since = int(recording.seconds() / SLICE)
            self.arm()
            box = d.window_named("Ticora", timeout=8)
            wait_for(lambda: any(level > SOUND for level in recording.levels(SLICE)[since:]),
                     timeout=3, what=f"the music of alert {alert}")
            # Closed long before the clip has played through.
            d.activate(box)
            d.key("Return")
            wait_for(lambda: not d.is_viewable(box), timeout=5, what="the box to close")


if __name__ == "__main__":
    unittest.main(verbosity=2)
