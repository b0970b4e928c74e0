"""The benchmark's arithmetic for quellor.exe beside the floor: the fixed cost
taken off each round, the same-round ratios and their median (not the ratio of
the medians), and the slopes. No Wine, no trees: made-up rounds."""

import math
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import bench  # noqa: E402

FIXED = {"fixed": 0.2, "with_detections": 0.7, "empty": [{"seconds": 0.2}], "samples": [{"seconds": 0.7}],
         "planted": 14, "found": [14]}


def made_round(files, b_seconds, q_seconds):
    """A round with every mode the summary reads; only b and q matter here."""
    result = {k: {"seconds": 1.0, "rate": files, "opened": 5, "peak_ws": 2**20, "found": 14} for k in "acd"}
    result["b"] = {"seconds": b_seconds, "rate": files / b_seconds, "opened": 0, "peak_ws": 2**20}
    result["q"] = {"seconds": q_seconds, "scanned": files, "found": 14}
    result["ratios"] = {"c/a": 1.0, "c/b": 1.0, "d/a": 1.0}
    bench.add_program_figures(result, FIXED, files)
    return result


def made_size(files, rounds):
    manifest = {"files": files, "folders": files // 30, "kinds": {}, "planted": ["x"] * 14, "expected_opened": 5}
    return bench.summarize(files, manifest, [made_round(files, b, q) for b, q in rounds], [0.5], True)


class ProgramFigures(unittest.TestCase):
    def test_one_round(self):
        # files, b, q -> walk, us per file, q/b, q-/b
        cases = [
            (10000, 2.0, 2.2, 2.0, 200.0, 1.0, 0.75),
            (10000, 2.5, 3.2, 3.0, 300.0, 1.2, 1.0),
            (100000, 20.0, 20.2, 20.0, 200.0, 1.0, 0.975),
        ]
        for files, b, q, walk, us, ratio, net in cases:
            with self.subTest(files=files, b=b, q=q):
                result = made_round(files, b, q)
                self.assertAlmostEqual(result["q"]["walk"], walk)
                self.assertAlmostEqual(result["q"]["us_per_file"], us)
                self.assertAlmostEqual(result["q"]["rate"], files / walk)
                self.assertAlmostEqual(result["ratios"]["q/b"], ratio)
                self.assertAlmostEqual(result["ratios"]["q-/b"], net)

    def test_median_of_the_rounds_own_ratios(self):
        # Less the fixed cost the rounds' ratios are 1.5, 1.2 and 1.1: their
        # median is 1.2, where the ratio of the medians would be 1.5.
        size = made_size(10000, [(2.0, 3.2), (1.0, 1.4), (3.0, 3.5)])
        self.assertAlmostEqual(size["median_ratio"]["q/b"], 1.2)
        self.assertAlmostEqual(size["median_walk"], 3.0)
        lines = bench.program_report([size], FIXED)
        row = next(line for line in lines if line.startswith("| 10000 |"))
        self.assertIn("| 1.20 | 1.50,1.20,1.10 |", row)

    def test_slopes(self):
        # Times 0.3 s + 200 us a file for b and 0.3 s + 220 us a file for
        # quellor.exe less its fixed cost, the sizes in any order.
        sizes = [made_size(n, [(0.3 + 200e-6 * n, 0.5 + 220e-6 * n)]) for n in (100000, 10000, 300000)]
        for points, per_file in (([(s["files"], s["median_seconds"]["b"]) for s in sizes], 200.0),
                                 ([(s["files"], s["median_walk"]) for s in sizes], 220.0)):
            us, offset = bench.slope(points)
            self.assertAlmostEqual(us, per_file)
            self.assertAlmostEqual(offset, 0.3)
            self.assertAlmostEqual(bench.two_largest(points), per_file)
        lines = bench.program_report(sizes, FIXED)
        self.assertIn("- quellor.exe / b: 1.10 / 1.10", lines)
        self.assertTrue(math.isnan(bench.two_largest([(10000, 1.0)])))
        self.assertTrue(math.isnan(bench.slope([(10000, 1.0)])[0]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
