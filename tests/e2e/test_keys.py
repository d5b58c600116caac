"""Single-key commands as they show on screen."""

import frimel_session as fs

UNKNOWN_KEYS = ("a", "x", "0", "5", "9", "space", "Return", "Escape", "BackSpace", "braceleft",
                "F1", "Left", "Up", "adiaeresis")


def region(box, margin=3):
    left, top, right, bottom = box
    return left - margin, top - margin, right - left + 1 + 2 * margin, bottom - top + 1 + 2 * margin


class Looks(fs.FrimelTestCase):
    """A crystal on the snow; each look key changes it as designed and back again exactly."""

    def setUp(self):
        super().setUp()
        self.app.key("y")
        self.app.click(300, 300)
        self.scene = self.app.wait_stable()
        self.crystal = region(self.scene.difference_box(self.first))

    def assert_only_crystal_changed(self, picture):
        box = picture.difference_box(self.scene, tolerance=2)
        self.assertIsNotNone(box, "nothing changed")
        x, y, w, h = self.crystal
        self.assertGreaterEqual(box[0], x)
        self.assertGreaterEqual(box[1], y)
        self.assertLess(box[2], x + w)
        self.assertLess(box[3], y + h)

    def test_t_lets_the_snow_show_through_the_crystal_and_o_makes_it_opaque_again(self):
        self.app.key("t")
        translucent = self.app.wait_changed(self.scene, tolerance=2)
        self.assert_only_crystal_changed(translucent)
        self.app.key("T")  # already translucent: no change
        self.app.wait_unchanged(translucent, duration=0.6)
        self.app.key("o")
        self.app.wait_equal(self.scene)

    def test_s_swaps_the_surface_texture_and_leaves_the_sky(self):
        self.app.key("s")
        snow = self.app.wait_changed(self.scene, min_pixels=20000, tolerance=8)
        self.assertEqual(snow.crop(0, 0, 600, 50), self.scene.crop(0, 0, 600, 50))
        self.app.key("S")
        self.app.wait_equal(self.scene)

    def test_b_hides_the_side_arms_and_brings_them_back(self):
        self.app.key("b")
        bare = self.app.wait_changed(self.scene)
        self.assert_only_crystal_changed(bare)
        self.assertLess(bare.count_differences(self.first),
                        self.scene.count_differences(self.first))
        self.app.key("B")
        self.app.wait_equal(self.scene)

    def test_d_raises_arms_out_of_the_plane_and_back(self):
        self.app.key("d")
        raised = self.app.wait_changed(self.scene)
        self.assertGreater(raised.count_differences(self.first),
                           self.scene.count_differences(self.first), "more arms than before")
        self.app.key("D")
        self.app.wait_equal(self.scene)

    def test_depth_keys_change_nothing_on_a_crystal_too_small_for_branches(self):
        for key in ("1", "3", "4", "2"):
            self.app.key(key)
        self.app.wait_unchanged(self.scene, duration=0.8)

    def test_unknown_keys_change_nothing(self):
        lines = len(self.app.lines)
        self.app.key(*UNKNOWN_KEYS)
        self.app.wait_unchanged(self.scene, duration=1.0)
        self.assertTrue(self.app.running())
        self.assertEqual(self.app.lines_since(lines), [])


class FractalDepth(fs.FrimelTestCase):
    """One crystal held large enough for three depths of branches."""

    def test_depth_keys_add_and_remove_branch_depths(self):
        self.app.key("y", "1")
        # Bare, the star's arms span 2 x 0.866 x size / 1.5 units at about 172 pixels a unit;
        # the third depth needs a size above 1.2. Growth trails the held size by a third or
        # more, so letting go at 0.95 is enough, and keeps the deepest frame affordable.
        self.app.hold(300, 330, lambda p: _changed_width(p, self.first) > 0.95 * 199)
        bare = self.app.wait_stable(timeout=60)
        self.assertGreater(_changed_width(bare, self.first), 1.25 * 199, "crystal too small")
        # The first frame with branches only starts them at their smallest; the next frame,
        # which any key brings, lets them grow.
        self.app.key("2", "2")
        self.app.wait_changed(bare, timeout=30)
        depth1 = self.app.wait_stable(timeout=90)
        self.app.key("3")
        depth2 = self.app.wait_changed(depth1, timeout=30)
        covered = [p.count_differences(self.first) for p in (bare, depth1, depth2)]
        self.assertEqual(covered, sorted(set(covered)), "each depth adds branches")
        # A crystal this large with side arms would pass the cone bound at the deepest branching.
        lines = len(self.app.lines)
        self.app.key("4")
        self.app.wait_for_line("Not changed: at that setting the scene would take too long to draw", start=lines)
        self.app.wait_unchanged(depth2, duration=1.0)
        self.app.key("2")
        self.app.wait_equal(depth1, timeout=60)


def _changed_width(picture, reference):
    box = picture.difference_box(reference)
    return 0 if box is None else box[2] - box[0] + 1


class History(fs.FrimelTestCase):
    def test_z_takes_back_the_newest_object_exactly(self):
        self.app.click(200, 250)
        one = self.app.wait_stable()
        self.app.key("y")
        self.app.click(400, 350)
        two = self.app.wait_stable()
        self.assertNotEqual(one, two)
        self.app.key("z")
        self.app.wait_equal(one)
        self.app.key("Z")
        self.app.wait_equal(self.first)
        self.app.key("z")  # nothing left to undo
        self.app.wait_unchanged(self.first, duration=0.6)

    def test_c_clears_every_object_and_the_translucency(self):
        self.app.key("y")
        self.app.drag([(150 + 30 * i, 250) for i in range(10)])
        self.app.key("u")
        self.app.click(300, 400)
        self.app.key("t")
        crowded = self.app.wait_stable()
        self.assertNotEqual(crowded, self.first)
        self.app.key("c")
        self.app.wait_equal(self.first)
        # Translucency went with the clear: a new crystal looks like one placed at start.
        self.app.key("y")
        self.app.click(300, 300)
        after_clear = self.app.wait_stable()
        self.app.key("o")
        self.app.wait_unchanged(after_clear, duration=0.6)


if __name__ == "__main__":
    fs.main()
