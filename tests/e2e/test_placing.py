"""Placing objects with the left button: clicks, strokes and long presses."""

import time

import frimel_session as fs


def changed_box(picture, reference):
    box = picture.difference_box(reference)
    if box is None:
        raise AssertionError("nothing appeared")
    return box


def box_size(box):
    return box[2] - box[0] + 1, box[3] - box[1] + 1


def changed_width(picture, reference):
    box = picture.difference_box(reference)
    return 0 if box is None else box_size(box)[0]


class Clicks(fs.FrimelTestCase):
    def test_click_line_counts_rows_from_the_bottom(self):
        self.app.click(250, 400)
        self.app.wait_for_line("mouse clicked at 250 199")
        self.app.click(10, 0)
        self.app.wait_for_line("mouse clicked at 10 599")

    def test_first_click_grows_a_chunk_under_the_pointer_which_then_holds_still(self):
        self.app.click(380, 420)
        self.app.wait_for_line("mouse clicked at 380 179")
        # Watch it grow: the changed area rises from frame to frame until it settles.
        areas = []
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            areas.append(self.app.screenshot().count_differences(self.first))
            if len(areas) >= 6 and len(set(areas[-6:])) == 1:
                break
        self.assertGreater(areas[-1], 40)
        growing = [a for a in areas if 0 < a < areas[-1]]
        self.assertTrue(growing, "never saw the object smaller than its final size: %r" % areas)
        final = self.app.wait_stable()
        left, top, right, bottom = changed_box(final, self.first)
        self.assertLessEqual(left - 4, 380)
        self.assertLessEqual(380, right + 4)
        self.assertLessEqual(top - 4, 420)
        self.assertLessEqual(420, bottom + 4)
        width, height = box_size((left, top, right, bottom))
        self.assertLess(max(width, height), 60, "a fresh chunk is small")
        self.app.wait_unchanged(final, duration=1.0)

    def test_click_in_the_sky_places_nothing(self):
        self.app.click(300, 20)
        self.app.wait_for_line("mouse clicked at 300 579")
        self.app.wait_unchanged(self.first, duration=1.0)

    def test_program_starts_placing_chunks_which_have_no_arms_to_hide(self):
        self.app.click(200, 300)
        chunk = self.app.wait_stable()
        self.app.key("b")  # side arms off: a chunk has none
        self.app.wait_unchanged(chunk, duration=0.8)
        self.app.key("b", "y")
        self.app.click(400, 300)
        both = self.app.wait_stable()
        self.app.key("b")
        without_arms = self.app.wait_changed(both)
        box = changed_box(without_arms, both)
        self.assertGreater(box[0], 330, "only the crystal on the right loses its arms")


class Strokes(fs.FrimelTestCase):
    def stroke(self, points):
        self.app.key("y", "b")  # crystals with no side arms show only their stroke-wise spikes
        self.app.drag(points)
        return changed_box(self.app.wait_stable(), self.first)

    def test_horizontal_stroke_lays_crystals_along_it(self):
        row = 300
        box = self.stroke([(150 + 25 * i, row) for i in range(13)])
        self.save_evidence(self.app.screenshot(), "stroke")
        width, height = box_size(box)
        self.assertGreater(width, 280)
        self.assertLess(height, 24, "spikes should lie along the stroke")
        picture = self.app.screenshot()
        for x in range(160, 450, 30):
            band = picture.crop(x, row - 12, 30, 24)
            self.assertGreater(band.count_differences(self.first.crop(x, row - 12, 30, 24)), 0,
                               "a gap in the stroke at x=%d" % x)

    def test_vertical_stroke_lays_crystals_along_it(self):
        box = self.stroke([(300, 150 + 25 * i) for i in range(13)])
        width, height = box_size(box)
        self.assertGreater(height, 250)
        self.assertLess(width, 24, "spikes should lie along the stroke")

    def test_a_drag_that_leaves_the_surface_places_nothing_beyond_its_edge(self):
        self.app.key("y")
        self.app.drag([(300, 120 - 10 * i) for i in range(12)])
        picture = self.app.wait_stable()
        sky = self.first.crop(0, 0, 600, 40)
        self.assertEqual(picture.crop(0, 0, 600, 40), sky, "nothing grows in the sky")
        self.assertIsNotNone(picture.difference_box(self.first))


class LongPress(fs.FrimelTestCase):
    def test_holding_the_button_enlarges_the_newest_crystal_until_branches_appear(self):
        self.app.key("y")
        self.app.click(150, 150)
        small = self.app.wait_stable()
        small_box = changed_box(small, self.first)
        small_width = box_size(small_box)[0]
        # A crystal as placed has no branches: hiding all fractal depth changes nothing.
        self.app.key("1")
        self.app.wait_unchanged(small, duration=0.8)
        self.app.key("2")

        # Branches need 1.5 times the size a crystal is placed with; wait for more than that.
        self.app.hold(400, 430, lambda picture: changed_width(picture, small) > 1.7 * small_width)
        big = self.app.wait_stable()
        self.save_evidence(big, "held")
        self.assertGreater(box_size(changed_box(big, small))[0], 1.7 * small_width)
        left, top = small_box[0] - 3, small_box[1] - 3
        width, height = box_size(small_box)
        untouched = small.crop(left, top, width + 6, height + 6)
        self.assertEqual(big.crop(left, top, width + 6, height + 6), untouched,
                         "only the newest crystal grows")

        self.app.key("1")
        bare = self.app.wait_changed(big)
        self.assertLess(bare.count_differences(self.first), big.count_differences(self.first),
                        "without fractal depth the branches should go")
        self.assertEqual(bare.crop(left, top, width + 6, height + 6), untouched)


if __name__ == "__main__":
    fs.main()
