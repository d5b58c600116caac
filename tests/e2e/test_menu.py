"""The right-button pop-up menu, every entry picked with the pointer."""

import frimel_session as fs


def changed_pixels(picture, reference, box):
    """Colours of the pixels inside box (x, y, w, h) that differ from reference."""
    x, y, w, h = box
    part, base = picture.crop(x, y, w, h), reference.crop(x, y, w, h)
    return [part.pixel(px, py) for px, py in part.difference_mask(base)]


def changed_width(picture, reference):
    box = picture.difference_box(reference)
    return 0 if box is None else box[2] - box[0] + 1


def mean_colour(pixels):
    return tuple(sum(p[c] for p in pixels) / len(pixels) for c in range(3))


class PlacingEntries(fs.FrimelTestCase):
    def test_draw_crystals_prints_its_mode_and_places_what_the_y_key_places(self):
        self.app.choose_menu("Draw Crystals (Y)")
        self.app.wait_for_line("Draw Crystals Mode")
        self.app.click(250, 350)
        by_menu = self.app.wait_stable()
        self.app.key("z")
        self.app.wait_equal(self.first)
        self.app.key("y")
        self.app.click(250, 350)
        self.app.wait_changed(self.first)
        by_key = self.app.wait_stable()
        # The button is down for a moment in each click, which may enlarge either a little.
        self.assertLess(by_key.count_differences(by_menu),
                        0.1 * by_menu.count_differences(self.first))

    def test_draw_chunks_prints_its_mode_and_places_chunks_again(self):
        self.app.key("y")
        self.app.choose_menu("Draw Chunks (U)")
        self.app.wait_for_line("Draw Chunks Mode")
        self.app.click(250, 350)
        chunk = self.app.wait_stable()
        self.app.key("b")  # side arms belong to crystals only
        self.app.wait_unchanged(chunk, duration=0.6)

    def test_rotate_scene_prints_its_mode_and_a_placing_entry_turns_the_scene_back(self):
        self.app.click(350, 300)
        scene = self.app.wait_stable()
        self.app.choose_menu("Rotate Scene (R)")
        self.app.wait_for_line("Rotate Mode")
        self.app.drag([(300 + 8 * i, 300) for i in range(6)])
        turned = self.app.wait_stable()
        self.assertGreater(turned.count_differences(scene), 5000)
        self.app.choose_menu("Draw Chunks (U)")
        self.app.wait_for_line("Draw Chunks Mode")
        self.app.wait_equal(scene)
        self.assertEqual(self.app.lines[len(fs.BITMAP_NAMES):],
                         ["mouse clicked at 350 299", "Rotate Mode",
                          "mouse clicked at 300 299", "Draw Chunks Mode"])


class LookEntries(fs.FrimelTestCase):
    """Each entry shows exactly what its key shows."""

    def setUp(self):
        super().setUp()
        self.app.key("y")
        self.app.click(300, 300)
        self.scene = self.app.wait_stable()

    def by_keys(self, *keys):
        """The picture after keys, then the scene restored by the second half of keys."""
        half = len(keys) // 2
        self.app.key(*keys[:half])
        self.app.wait_changed(self.scene)
        shown = self.app.wait_stable()
        self.app.key(*keys[half:])
        self.app.wait_equal(self.scene)
        return shown

    def test_translucent_and_opaque(self):
        translucent = self.by_keys("t", "o")
        self.app.choose_menu("Translucent (T)")
        self.app.wait_equal(translucent)
        self.app.choose_menu("Opaque (O)")
        self.app.wait_equal(self.scene)

    def test_toggle_surface_texture(self):
        snow = self.by_keys("s", "s")
        self.app.choose_menu("Toggle Surface Texture (S)")
        self.app.wait_equal(snow)
        self.app.choose_menu("Toggle Surface Texture (S)")
        self.app.wait_equal(self.scene)

    def test_crystal_complexity(self):
        no_arms = self.by_keys("b", "b")
        raised_arms = self.by_keys("d", "d")
        self.app.choose_menu("Crystal Complexity", "1D")
        self.app.wait_equal(no_arms)
        self.app.key("b")  # 1D keeps the four-per-side layout, so arms come back raised
        self.app.wait_equal(raised_arms)
        self.app.choose_menu("Crystal Complexity", "2D")
        self.app.wait_equal(self.scene)
        self.app.choose_menu("Crystal Complexity", "3D")
        self.app.wait_equal(raised_arms)

    def test_undo_and_clear(self):
        self.app.click(200, 400)
        self.app.wait_changed(self.scene)
        self.app.wait_stable()
        self.app.choose_menu("Undo (Z)")
        self.app.wait_equal(self.scene)
        self.app.choose_menu("Clear (C)")
        self.app.wait_equal(self.first)


class DepthEntries(fs.FrimelTestCase):
    def test_fractal_depth_entries_match_the_keys(self):
        self.app.key("y")
        # Large enough for a second depth of branches, a size above 0.6: the arms alone span
        # 2 x 0.866 x size / 1.5 units at about 172 pixels a unit, branches a little more.
        self.app.hold(300, 330, lambda picture: changed_width(picture, self.first) > 150)
        depth1 = self.app.wait_stable(timeout=60)
        self.app.key("1")
        depth0 = self.app.wait_changed(depth1)
        self.app.key("3")
        depth2 = self.app.wait_changed(depth0, timeout=30)
        self.assertNotEqual(depth2, depth1)
        self.app.choose_menu("Fractal Depth", "0")
        self.app.wait_equal(depth0, timeout=30)
        self.app.choose_menu("Fractal Depth", "2")
        self.app.wait_equal(depth2, timeout=30)
        self.app.choose_menu("Fractal Depth", "1")
        self.app.wait_equal(depth1, timeout=30)


class ColourEntries(fs.FrimelTestCase):
    def test_each_colour_shows_on_the_next_object_only(self):
        spots = {"Blue": (150, 200), "Green": (300, 200), "Red": (450, 200),
                 "Purple": (200, 420), "White": (400, 420)}
        placed = {}
        picture = self.first
        for colour, (x, y) in spots.items():
            self.app.choose_menu("Ice Color", colour)
            self.app.wait_unchanged(picture, duration=0.5)
            self.app.click(x, y)
            self.app.wait_changed(picture)
            after = self.app.wait_stable()
            placed[colour] = changed_pixels(after, picture, (x - 40, y - 40, 80, 80))
            self.assertGreater(len(placed[colour]), 30, colour)
            picture = after
        self.save_evidence(picture, "colours")
        # Every object keeps its own colour once later ones arrive.
        for colour, (x, y) in spots.items():
            self.assertEqual(changed_pixels(picture, self.first, (x - 40, y - 40, 80, 80)),
                             placed[colour], colour)
        r, g, b = mean_colour(placed["Blue"])
        self.assertGreater(b, r + 25, "blue")
        r, g, b = mean_colour(placed["Red"])
        self.assertGreater(r, g + 25, "red")
        self.assertGreater(r, b + 25, "red")
        r, g, b = mean_colour(placed["Green"])
        self.assertGreater(g, r + 25, "green")
        self.assertGreater(g, b + 10, "green")
        r, g, b = mean_colour(placed["Purple"])
        self.assertGreater(r, g + 25, "purple")
        self.assertGreater(b, g + 25, "purple")
        r, g, b = mean_colour(placed["White"])
        self.assertLess(max(r, g, b) - min(r, g, b), 40, "white has no strong tint")


class Exit(fs.FrimelTestCase):
    def test_exit_entry_ends_with_status_zero(self):
        self.app.choose_menu("Exit (Q)")
        self.assertEqual(self.app.wait_exit(), 0)


if __name__ == "__main__":
    fs.main()
