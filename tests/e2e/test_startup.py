"""Start-up as a user meets it: the console lines, the first picture, the window's shape,
leaving the program, and a missing bitmap."""

import os
import shutil
import tempfile

import frimel_session as fs

LOAD_LINES = ["trying to load " + name for name in fs.BITMAP_NAMES]


def brightness(rgb):
    return sum(rgb) / 3.0


def bright_span(image, row, level=200):
    """First and last column of a row brighter than level: the snow surface against the sky."""
    columns = [x for x in range(image.width) if brightness(image.pixel(x, row)) > level]
    return (columns[0], columns[-1]) if columns else None


class FirstPicture(fs.FrimelTestCase):
    def test_console_shows_the_eight_bitmaps_in_order_and_nothing_else(self):
        self.assertEqual(self.app.lines, LOAD_LINES)

    def test_sky_backdrop_fills_the_corners_and_snow_surface_the_middle(self):
        image = self.first
        self.assertFalse(image.is_blank())
        for x, y in ((3, 3), (596, 3), (3, 596), (596, 596)):
            self.assertGreater(max(image.pixel(x, y)), 20, "black at corner %d,%d" % (x, y))
        surface = image.mean(200, 250, 200, 100)
        sky = image.mean(0, 0, 600, 40)
        self.assertGreater(brightness(surface), 200, "the middle should be bright snow")
        self.assertLess(brightness(sky), brightness(surface) - 60, "the top should be sky")
        # The surface is a trapezoid: narrower at its far (upper) edge than at its near edge.
        far, near = bright_span(image, 100), bright_span(image, 520)
        self.assertIsNotNone(far)
        self.assertIsNotNone(near)
        self.assertLess(far[1] - far[0], near[1] - near[0] - 40)
        self.assertAlmostEqual((far[0] + far[1]) / 2, 300, delta=4)
        self.assertGreater(far[0], 20, "sky visible beside the far edge of the surface")

    def test_first_picture_stays_still_without_input(self):
        self.app.wait_unchanged(self.first, duration=1.0)


class WindowShape(fs.FrimelTestCase):
    def side_strips_blank(self, image, width=5):
        left = image.crop(0, 0, width, image.height)
        right = image.crop(image.width - width, 0, width, image.height)
        return left.is_blank() and right.is_blank()

    def test_nearly_square_window_has_no_black_bars(self):
        self.app.resize(603, 600)
        image = self.app.wait_stable()
        self.assertEqual((image.width, image.height), (603, 600))
        self.assertFalse(self.side_strips_blank(image, 1))

    def test_wider_window_shows_black_bars_beside_the_backdrop(self):
        self.app.resize(900, 600)
        image = self.app.wait_stable()
        self.assertEqual((image.width, image.height), (900, 600))
        self.save_evidence(image, "wide")
        # The backdrop spans +-2.7 at 10 units; the 30 degree view there is +-4.02 wide.
        self.assertTrue(image.crop(0, 0, 140, 600).is_blank(), "left bar should be black")
        self.assertTrue(image.crop(760, 0, 140, 600).is_blank(), "right bar should be black")
        self.assertFalse(image.crop(160, 0, 580, 600).is_blank())

    def test_widening_keeps_the_vertical_view_so_the_surface_is_not_stretched(self):
        before = bright_span(self.first, 150)
        self.app.resize(900, 600)
        image = self.app.wait_stable()
        after = bright_span(image, 150)
        self.assertIsNotNone(after)
        self.assertAlmostEqual(after[1] - after[0], before[1] - before[0], delta=3)
        self.assertAlmostEqual((after[0] + after[1]) / 2, 450, delta=3)


class Leaving(fs.FrimelTestCase):
    def test_q_ends_with_status_zero(self):
        self.app.key("q")
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(self.app.stdout_done(), LOAD_LINES)

    def test_capital_q_in_rotate_mode_ends_with_status_zero(self):
        self.app.key("r")
        self.app.key("Q")
        self.assertEqual(self.app.wait_exit(), 0)


class MissingBitmap(fs.FrimelTestCase):
    start_program = False

    def folder_without(self, missing):
        folder = tempfile.mkdtemp(prefix="frimel-e2e-")
        self.addCleanup(shutil.rmtree, folder)
        for name in fs.BITMAP_NAMES:
            if name != missing:
                shutil.copy(os.path.join(fs.DATA_DIR, name), folder)
        return folder

    def test_missing_snow_bitmap_ends_with_status_one_after_seven_loads(self):
        app = self.launch(cwd=self.folder_without("snow.bmp"), wait_for_window=False)
        self.assertEqual(app.wait_exit(), 1)
        self.assertEqual(app.stdout_done(), LOAD_LINES + ["File Not Found : snow.bmp"])

    def test_missing_backdrop_ends_before_any_other_load(self):
        app = self.launch(cwd=self.folder_without("background.bmp"), wait_for_window=False)
        self.assertEqual(app.wait_exit(), 1)
        self.assertEqual(app.stdout_done(),
                         ["trying to load background.bmp", "File Not Found : background.bmp"])


if __name__ == "__main__":
    fs.main()
