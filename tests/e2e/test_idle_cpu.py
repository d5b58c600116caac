"""Frimel at rest uses no processor time; a held button still grows the newest object."""

import time

import frimel_session as fs

REST_SECONDS = 3.0
# Of one core, while nothing grows and no button is held.
REST_CPU_SHARE = 0.05


def cpu_share_over(app, seconds):
    """Share of one core the program used over the next `seconds`."""
    start_cpu, start = app.cpu_seconds(), time.monotonic()
    time.sleep(seconds)
    share = (app.cpu_seconds() - start_cpu) / (time.monotonic() - start)
    print("    processor use at rest: %.2f %% of a core" % (100 * share))
    return share


class Rest(fs.FrimelTestCase):
    def test_program_at_rest_after_placing_uses_almost_no_processor(self):
        self.app.key("y")  # crystals, which draw more than chunks
        for x, y in ((200, 380), (300, 420), (420, 360)):
            self.app.click(x, y)
        self.app.drag([(180, 470), (230, 470), (280, 470), (330, 470)], step_pause=0.05)
        settled = self.app.wait_stable()
        self.assertGreater(settled.count_differences(self.first), 100, "nothing was placed")
        share = cpu_share_over(self.app, REST_SECONDS)
        self.assertLess(share, REST_CPU_SHARE,
                        "used %.1f %% of a core at rest" % (100 * share))
        # Resting, not hung: the next click is drawn.
        self.app.click(350, 300)
        self.app.wait_changed(settled)

    def test_program_just_started_uses_almost_no_processor(self):
        share = cpu_share_over(self.app, REST_SECONDS)
        self.assertLess(share, REST_CPU_SHARE,
                        "used %.1f %% of a core at rest" % (100 * share))


class HeldButton(fs.FrimelTestCase):
    def test_object_keeps_growing_while_the_button_is_held_still(self):
        self.app.press(300, 400)
        try:
            # No pointer events arrive while the button is held still: only idle calls can
            # keep the object swelling.
            pictures = [self.app.wait_changed(self.first)]
            for _ in range(3):
                time.sleep(0.3)
                pictures.append(self.app.wait_changed(pictures[-1], timeout=5.0))
            grown = [p.count_differences(self.first) for p in pictures]
        finally:
            self.app.release()
        self.assertGreater(grown[-1], grown[0], "the held object did not get bigger: %r" % grown)
        # Let go: it finishes growing and the program comes to rest. A long hold makes an object
        # far larger than the view, so its last few hundred frames are slow and may all look
        # alike; wait for the processor, not the picture, with room for a slow machine.
        fs.wait_until(lambda: cpu_share_over(self.app, 1.0) < REST_CPU_SHARE, 90.0, 0.0,
                      "the program to come to rest after a long press")
        share = cpu_share_over(self.app, REST_SECONDS)
        self.assertLess(share, REST_CPU_SHARE,
                        "used %.1f %% of a core at rest after a long press" % (100 * share))


if __name__ == "__main__":
    fs.main()
