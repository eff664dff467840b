"""The preview ("/p <hwnd>"): the saver draws as a child of the given window,
input ends nothing, and the host destroying its window ends the saver."""
import os

import harness


def power_supplies(folder, mains):
    """Linux's power supplies as Wine reads them for GetSystemPowerStatus:
    mains on, or off with a discharging battery."""
    files = {"AC/type": "Mains", "AC/online": "1" if mains else "0", "BAT0/type": "Battery",
             "BAT0/present": "1", "BAT0/status": "Charging" if mains else "Discharging", "BAT0/capacity": "65"}
    for name, text in files.items():
        os.makedirs(os.path.join(folder, os.path.dirname(name)), exist_ok=True)
        with open(os.path.join(folder, name), "w") as f:
            f.write(text + "\n")


def frame_rate(log):
    """Frames a second over the last 20 that the recording d3d8.dll timed, or None."""
    counts = [harness.parse_fields(line) for line in harness.read_file_lines(log) if line.startswith("presents ")]
    if len(counts) < 2:
        return None
    return 20000.0 / max(1, int(counts[-1]["ms"]) - int(counts[-2]["ms"]))

WIDTH, HEIGHT = 152, 112
VK_LBUTTON = 1


class PreviewTest(harness.PrefixPerClassTest):
    def setUp(self):
        super().setUp()
        harness.use_flag_folder(self.wine)
        self.host = self.wine.start(harness.WINTOOL, "host", str(WIDTH), str(HEIGHT))
        self.host_hwnd = harness.parse_fields(harness.read_line(self.host, 60))["hwnd"]

    def child(self):
        code, out = self.wine.wintool("children", self.host_hwnd)
        for fields in harness.parse_lines(out):
            if fields["class"] == harness.SAVER_CLASS:
                return fields
        return None

    def left_button_down(self):
        code, out = self.wine.wintool("keystate", str(VK_LBUTTON))
        self.assertEqual(code, 0, out)
        return harness.parse_fields(out)["down"] == "1"

    def start_preview(self, scr=harness.SCR, env=None, under=()):
        proc = self.wine.start(scr, "/p", self.host_hwnd, env=env, under=under)
        child = harness.wait_for(self.child, timeout=30)
        self.assertIsNotNone(child, "no saver window inside the host")
        return proc, child

    def test_draws_as_a_child_and_ends_with_its_host(self):
        # Through a d3d8.dll that records the triangles each flag draw asks
        # for and times the frames, in a mount namespace of its own in which
        # the power supplies are the test's.
        folder, scr = harness.install_program(self.wine, harness.D3D8_RECORDING)
        with open(os.path.join(folder, "refresh_hz"), "w") as f:
            f.write("60")  # which also starts the frames' timing
        supplies = os.path.join(folder, "power_supply")
        power_supplies(supplies, mains=True)
        namespace = ["unshare", "--mount"] + ([] if os.getuid() == 0 else ["--map-root-user"])
        under = namespace + ["sh", "-c", 'mount --bind "$0" /sys/class/power_supply && exec "$@"', supplies]
        proc, child = self.start_preview(scr, {"WINEDLLOVERRIDES": self.wine.env["WINEDLLOVERRIDES"] + ";d3d8=n,b"},
                                         under)
        host_rect = harness.window_line(self.wine, self.host_hwnd)["rect"]
        self.assertEqual(child["rect"], host_rect)
        self.assertEqual(child["visible"], "1")
        self.assertTrue(int(child["style"], 16) & 0x40000000, "WS_CHILD")
        self.assertEqual(harness.window_line(self.wine, child["hwnd"]), None, "not a top-level window")

        # Wine renders a child window into an offscreen X window of its size.
        xid = harness.wait_for(lambda: harness.offscreen_window(self.wine, WIDTH, HEIGHT), timeout=30)
        self.assertIsNotNone(xid)
        _, first = harness.screenshot_when(self, self.wine, "preview-1.png", lambda im: harness.colour_count(im) > 50,
                                     window=xid)
        # The offscreen window sits at (-1, -1) in its parent; import clips the edge.
        self.assertLessEqual(abs(first.width - WIDTH) + abs(first.height - HEIGHT), 2)
        path, second = harness.screenshot_when(self, self.wine, "preview-2.png",
                                         lambda im: harness.changed_fraction(first, im) > 0.002, window=xid)
        self.assertGreater(harness.changed_fraction(first, second), 0.002, path)

        # A change to battery during the run: 15 frames a second, not 30.
        hwnd = child["hwnd"]
        log = os.path.join(folder, "reset_calls.txt")
        self.assertTrue(harness.wait_for(lambda: (frame_rate(log) or 0) > 20, timeout=30), frame_rate(log))
        power_supplies(supplies, mains=False)
        harness.post(self, self.wine, hwnd, harness.WM_POWERBROADCAST, harness.PBT_APMPOWERSTATUSCHANGE)
        self.assertTrue(harness.wait_for(lambda: (frame_rate(log) or 99) < 16, timeout=30), frame_rate(log))

        # Nothing of this ends the preview.
        for x in range(1, 8):
            harness.post(self, self.wine, hwnd, harness.WM_MOUSEMOVE, 0, harness.mouse_lparam(x * 10, x * 7))
        for message, wparam in [(harness.WM_KEYDOWN, 0x41), (harness.WM_LBUTTONDOWN, 1), (harness.WM_RBUTTONDOWN, 2),
                                (harness.WM_MBUTTONDOWN, 0x10), (harness.WM_ACTIVATEAPP, 0)]:
            harness.post(self, self.wine, hwnd, message, wparam)
        # Real input, inside the host (at 40, 40): Wine queues the moves
        # before the press, and the press before the release, each once the
        # system's button state shows it.
        self.wine.xdotool("mousemove", "60", "60")
        self.wine.xdotool("mousemove", "90", "80")
        self.wine.xdotool("mousedown", "1")
        self.assertTrue(harness.wait_for(self.left_button_down, timeout=30, interval=0.05), "no press")
        self.wine.xdotool("mouseup", "1")
        self.assertTrue(harness.wait_for(lambda: not self.left_button_down(), timeout=30, interval=0.05),
                        "no release")
        # Painted: the preview has taken everything before from its queue,
        # and is still there. Twice: an end under way paints the window as
        # it maximises it, before its handler returns.
        for _ in range(2):
            self.assertTrue(harness.window_painted(self.wine, hwnd), "the preview's window went")
        self.assertIsNone(proc.poll())
        self.assertFalse(int(self.child()["style"], 16) & harness.WS_MAXIMIZE)

        watch = harness.watch_exit(self, self.wine, hwnd)
        harness.post(self, self.wine, self.host_hwnd, harness.WM_CLOSE)
        self.assertEqual(self.host.wait(timeout=harness.END_SECONDS), 0)
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)
        draws = [c for c in harness.read_file_lines(os.path.join(folder, "device_calls.txt")) if c.startswith("draw ")]
        # Every other row and column of the 33 x 33 cloth, out to its last corner.
        self.assertEqual(draws, ["draw triangles=512 highest=1088"], "the preview draws its quarter mesh")

    def test_suspend_notification_ends_the_preview(self):
        proc, child = self.start_preview()
        watch = harness.watch_exit(self, self.wine, child["hwnd"])
        harness.post(self, self.wine, child["hwnd"], harness.WM_POWERBROADCAST, harness.PBT_APMSUSPEND)
        self.assertEqual(harness.wait_exit(self, proc, timeout=harness.END_SECONDS, watch=watch), 0)
        self.assertIsNone(self.child())
        harness.post(self, self.wine, self.host_hwnd, harness.WM_CLOSE)
        self.assertEqual(self.host.wait(timeout=harness.END_SECONDS), 0)


if __name__ == "__main__":
    harness.main()
