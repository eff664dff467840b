"""The long-run tools' growth rule (tools/longrun/soak_support.py) on
synthetic series: what a warm-up, a leak, Wine's one-time cache and a run
too short or too sparse to judge must come to. Runs natively in the test
command (no display, no Wine)."""
import contextlib
import io
import os
import random
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "longrun"))
import soak_support as soak  # noqa: E402
import soak_password_cycles  # noqa: E402
import soak_saver  # noqa: E402

# The rules of the two soaks, as the tools set them.
SOAK = soak_saver.RULE
CYCLES = soak_password_cycles.RULE
MB = 1 << 20


def series(length, step, value, noisy=True):
    """(x, value(x)) every `step` units from 0 to `length`; memory with a
    little noise (a few pages up or down), the same in every run."""
    noise = random.Random(1)
    return [(x, int(value(x)) + (noise.choice((-8192, 0, 4096, 8192)) if noisy else 0))
            for x in range(0, int(length) + 1, step)]


def warm_up_then(rate):
    """Memory that rises by 40 MB in the first 90 s, then `rate` bytes a second."""
    return lambda t: 250 * MB + min(t, 90) / 90.0 * 40 * MB + max(0, t - 90) * rate


def handles(steps):
    """41 handles, 10 more at each time in `steps`."""
    return lambda t: 41 + 10 * sum(1 for s in steps if t >= s)


class GrowthRuleTest(unittest.TestCase):
    def test_series_and_their_verdicts(self):
        # (name, rule, key, points, run length, verdict)
        cases = [
            ("warm-up then level", SOAK, "working_set", series(600, 5, warm_up_then(0)), 600, "ok"),
            ("slow leak after a warm-up", SOAK, "working_set", series(600, 5, warm_up_then(4 * 1024)), 600,
             "GROWS"),
            ("leak from the start, no warm-up", SOAK, "private_bytes",
             series(600, 5, lambda t: 20 * MB + 3 * 1024 * t), 600, "GROWS"),
            ("falling memory", SOAK, "vm_rss", series(600, 5, lambda t: 300 * MB - 8 * 1024 * t), 600, "ok"),
            ("single step of handles", SOAK, "handles", series(600, 5, handles([400]), noisy=False), 600, "ok"),
            ("two steps of handles", SOAK, "handles", series(600, 5, handles([300, 450]), noisy=False), 600, "GROWS"),
            ("one handle more every minute", SOAK, "fds", series(600, 5, lambda t: 30 + t // 60, noisy=False), 600, "GROWS"),
            ("too few samples", SOAK, "working_set", series(600, 200, warm_up_then(0)), 600,
             "not judged (too few samples)"),
            ("short run", SOAK, "working_set", series(12, 3, warm_up_then(0)), 12, "not judged (short run)"),
            ("no figure", SOAK, "pagefile", [(0, -1), (5, None)], 600, "MISSING"),
            ("not given by Wine", SOAK, "gdi", [(0, -1), (5, -1)], 600, "not given by Wine"),
            ("a peak is shown only", SOAK, "peak_working_set", series(600, 5, warm_up_then(8 * 1024)), 600,
             "peak: shown only"),
            # The password cycles: refused checks 1 ... 50.
            # Clean runs with one flag: 6-9 KB per check, and a warm-up.
            ("checks: clean, 9 KB per check", CYCLES, "private_bytes",
             [(c, 20 * MB + min(c, 8) * 300 * 1024 + c * 9 * 1024) for c in range(1, 51)], 50, "ok"),
            ("checks: twice the largest clean growth, 18 KB per check", CYCLES, "working_set",
             [(c, 250 * MB + c * 18 * 1024 + (c % 3) * 4096) for c in range(1, 51)], 50, "ok"),
            ("checks: a leak of 140 KB per check", CYCLES, "private_bytes",
             [(c, 20 * MB + min(c, 5) * MB + c * 140 * 1024) for c in range(1, 51)], 50, "GROWS"),
            ("checks: one step of 10 handles at a random check", CYCLES, "handles",
             [(c, 41 + (10 if c >= 33 else 0)) for c in range(1, 51)], 50, "ok"),
            ("checks: one handle per check", CYCLES, "handles", [(c, 41 + c) for c in range(1, 51)], 50, "GROWS"),
        ]
        for name, rule, key, points, length, expected in cases:
            with self.subTest(name):
                judgement = rule.judge(key, points, length)
                self.assertEqual(judgement.verdict, expected, f"{name}: {judgement.row()}")
                self.assertEqual(judgement.failure is not None, expected in ("GROWS", "MISSING"), name)

    def test_the_level_part_begins_when_the_warm_up_ends(self):
        points = series(600, 5, warm_up_then(0))
        start = points[SOAK.level_start("working_set", points, 600)][0]
        # From the settle time on, not later than needed (a level part that
        # began at the end would judge nothing).
        self.assertEqual(start, 180)
        # A figure that never stops rising is judged from the middle at the latest.
        leak = series(600, 5, lambda t: 3 * 1024 * 1024 * t)
        self.assertEqual(leak[SOAK.level_start("working_set", leak, 600)][0], 300)

    def test_slope_is_the_least_squares_slope(self):
        self.assertAlmostEqual(soak.slope([(0, 0), (1, 2), (2, 4), (3, 6)]), 2.0)
        self.assertAlmostEqual(soak.slope([(10, 9), (20, 7), (30, 5)]), -0.2)
        self.assertAlmostEqual(soak.slope([(0, 1), (1, 0), (2, 1), (3, 0)]), -0.2)
        self.assertEqual(soak.slope([(5, 1), (5, 3)]), 0.0)

    def verdict_of(self, judgements, why_not=""):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            code = soak.verdict("SOAK", [j.failure for j in judgements if j.failure], judgements, why_not)
        return code, out.getvalue().strip()

    def test_only_a_run_that_judged_every_figure_says_passed(self):
        def run(length, step, leak=0):
            """Samples of every figure procstat and /proc give: level, or
            working set and VmRSS leaking `leak` bytes a second."""
            figures = lambda t: {"working_set": 250 * MB + leak * t, "peak_working_set": 251 * MB + leak * t,
                                 "pagefile": 30 * MB, "private_bytes": 20 * MB, "handles": 41, "gdi": -1,
                                 "user": -1, "vm_rss": 300 * MB + leak * t, "vm_hwm": 301 * MB + leak * t,
                                 "fds": 60}
            return soak.judge_all(SOAK, [(t, figures(t)) for t in range(0, length + 1, step)], length)

        self.assertEqual(self.verdict_of(run(600, 5)), (0, "SOAK PASSED"))
        # Sampled every 2 minutes of a 6-minute run: long enough, yet nothing judged.
        code, line = self.verdict_of(run(360, 120))
        self.assertEqual(code, 0)
        self.assertNotIn("PASSED", line)
        self.assertTrue(line.startswith("SOAK GROWTH NOT JUDGED (working_set: not judged (too few samples))"), line)
        code, line = self.verdict_of(run(12, 3), "the run is shorter than 6 minutes")
        self.assertEqual(code, 0)
        self.assertTrue(line.startswith("SOAK GROWTH NOT JUDGED (the run is shorter than 6 minutes)"), line)
        code, line = self.verdict_of(run(600, 5, leak=4096))
        self.assertEqual(code, 1)
        self.assertTrue(line.startswith("SOAK FAILED: working_set grows"), line)


if __name__ == "__main__":
    unittest.main(verbosity=2)
