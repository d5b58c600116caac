"""Turning the scene with the left button in rotate mode, and coming back to the placing view."""

import frimel_session as fs

TURN = [(300 + 8 * i, 300 + 3 * i) for i in range(6)]


def sky_seen_in_both(before, after, rows=60, darkest=170):
    """Pairs of pixels in the top rows where neither picture shows the bright snow surface."""
    pairs = []
    for y in range(rows):
        for x in range(before.width):
            a, b = before.pixel(x, y), after.pixel(x, y)
            if sum(a) < 3 * darkest and sum(b) < 3 * darkest:
                pairs.append((a, b))
    return pairs


class Turning(fs.FrimelTestCase):
    def setUp(self):
        super().setUp()
        self.app.key("y")
        self.app.click(380, 360)
        self.scene = self.app.wait_stable()

    def turn(self):
        self.app.key("r")
        lines = len(self.app.lines)
        self.app.drag(TURN)
        self.assertEqual(self.app.lines_since(lines), ["mouse clicked at 300 299"])
        return self.app.wait_stable()

    def test_drag_in_rotate_mode_turns_snow_and_crystals_but_not_the_backdrop(self):
        turned = self.turn()
        self.save_evidence(turned, "turned")
        self.assertGreater(turned.count_differences(self.scene), 5000, "the surface turned")
        sky = sky_seen_in_both(self.scene, turned)
        self.assertGreater(len(sky), 5000)
        moved = [pair for pair in sky if pair[0] != pair[1]]
        self.assertEqual(len(moved), 0, "the sky moved")

    def test_y_shows_the_scene_unrotated_again_exactly(self):
        self.turn()
        self.app.key("y")
        self.app.wait_equal(self.scene)

    def test_u_shows_the_scene_unrotated_again_exactly(self):
        self.turn()
        self.app.key("u")
        self.app.wait_equal(self.scene)

    def test_r_again_keeps_the_turn(self):
        turned = self.turn()
        self.app.key("R")
        self.app.wait_unchanged(turned, duration=0.8)

    def test_press_without_moving_in_rotate_mode_places_nothing(self):
        self.app.key("r")
        self.app.click(200, 200)
        self.app.wait_for_line("mouse clicked at 200 399")
        self.app.wait_unchanged(self.scene, duration=0.8)
        self.app.key("y")
        self.app.wait_unchanged(self.scene, duration=0.5)

    def test_clear_leaves_rotate_mode_so_clicks_place_again(self):
        self.turn()
        self.app.key("c")
        self.app.wait_equal(self.first)
        self.app.click(250, 250)
        self.app.wait_changed(self.first)


if __name__ == "__main__":
    fs.main()
