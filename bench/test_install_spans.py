"""Tests of the install benchmark's reading of the setup's "Span:" log lines (install_compare).

    python3 -m unittest discover -s bench -p 'test_*.py'
"""

import os
import sys
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import install_compare  # noqa: E402

# A log as the setup writes it with PARLAVOX_SPANS=1: its own lines, then the spans, CR LF ends.
LOG = (
    "Parlavox Dictionary Setup\r\n"
    "Archive DICTIONARY: EngGer.vl2 into C:\\Program Files\\Parlavox\\English-German\r\n"
    "Span: write files\t343\t412.5\t120.3\t690.8\r\n"
    "Span: open archives\t2\t1.0\t95.0\t96.2\r\n"
    "Span: broken\t12\t3.5\r\n"
    "Span: process\t1\t702.4\t0.0\t702.4\r\n"
    "Installation complete\r\n"
)


class SpanLines(unittest.TestCase):
    def test_rows_in_log_order_with_names_holding_spaces(self):
        self.assertEqual(install_compare.parse_spans(LOG), [
            ("write files", 343, 412.5, 120.3, 690.8),
            ("open archives", 2, 1.0, 95.0, 96.2),
            ("process", 1, 702.4, 0.0, 702.4),
        ])

    def test_lines_of_another_shape_are_left_out(self):
        for line in ("Span: x\t1\t2.0\t3.0", "Span: x\tmany\t2.0\t3.0\t4.0", "Span: x\t1\t2.0\t3.0\t-",
                     "Span: \t1\t2.0\t3.0\t4.0", " Span: x\t1\t2.0\t3.0\t4.0", "Span: x\t1\t2.0\t3.0\t4.0\t5.0"):
            self.assertEqual(install_compare.parse_spans(line + "\n"), [], line)

    def test_a_log_without_spans_says_so(self):
        self.assertEqual(install_compare.parse_spans("Installation complete\n"), [])
        self.assertEqual(install_compare.spans_table("ours (lh5) /S", []), "ours (lh5) /S: no spans in the log")


if __name__ == "__main__":
    unittest.main()
