#!/usr/bin/env python3
"""kestrow-report's calendar and month table read back by readers that share no code with
Kestrow (icalendar, csv), against what --json gives for every month of the horizon.
Usage: exports_readback.py KESTROW-REPORT"""
import calendar
import csv
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest
from datetime import date, timedelta

import icalendar

REPORT = sys.argv.pop(1) if len(sys.argv) > 1 else "kestrow-report"
TODAY = "2026-06-15"

# A payment on the 31st, names in UTF-8 and in the older single-byte code page, one full of
# separators, one too long for a line, the same payment twice, and a broken line (9).
PAYMENTS = "\n".join([
    "Rent|Hou|2026-06-01|950.00|1", "Gym|Mem|2026-01-31|40.00|1",
    "Café club|Mem|2026-08-15|60.00|6", "Tom, Anna & Co; yearly|G,;|2026-12-24|1,300.00|12",
    "Back\\slash: Jährliche Gebäudeversicherung für das Ferienhaus am Schwäbischen Meer"
    "|Ins|2027-02-28|2,400.00|24", "Water|Uti|2026-07-10|120.00|3",
    "Water|Uti|2026-07-10|120.00|3"]).encode().split(b"\n") + [
    b"Caf\xe9 old|Mem|2026-09-01|10.00|12", b"not a payment"]


def run(*arguments):
    done = subprocess.run([REPORT, *arguments], capture_output=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError(f"{arguments}: exit {done.returncode}: {done.stderr!r}")
    return done


class Exports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.data = os.path.join(cls.folder.name, "Kestrow.txt")
        with open(cls.data, "wb") as f:
            f.write(b"".join(line + b"\r\n" for line in PAYMENTS))
        month = lambda offset: json.loads(
            run("--json", "--today", TODAY, "--offset", str(offset), cls.data).stdout)
        cls.months = [month(0)]
        cls.months += [month(i) for i in range(1, cls.months[0]["horizonMonths"] + 1)]

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def expected_events(self, month):
        """What the due list of one month says the calendar must hold."""
        year, number = map(int, month["shownMonth"].split("-"))
        last = calendar.monthrange(year, number)[1]
        day = lambda due: min(int(PAYMENTS[due["record"] - 1].split(b"|")[2][8:]), last)
        return sorted((date(year, number, day(d)), f"{d['name']} {d['line'][10:].split()[0]}",
                       d["type"]) for d in month["due"])

    def test_calendar_holds_the_due_list_of_every_month(self):
        raw = run("--ics", "--remind", "3", "--today", TODAY, self.data).stdout
        # Folding and the escapes of a summary are libical's; the category is escaped here.
        unfolded = raw.replace(b"\r\n ", b"")
        self.assertIn(b"CATEGORIES:G\\,\\;\r\n", unfolded)  # one category, not a list
        self.assertIn(b"\\nSet aside each month: ", unfolded)

        parsed = icalendar.Calendar.from_ical(raw)
        found, uids = {}, []
        for event in parsed.walk("VEVENT"):
            start = event["DTSTART"].dt
            self.assertEqual(event["DTEND"].dt, start + timedelta(days=1))
            self.assertEqual(event["DTSTAMP"].dt.utcoffset(), timedelta(0))
            alarms = [(str(a["ACTION"]), a["TRIGGER"].dt) for a in event.walk("VALARM")]
            self.assertEqual(alarms, [("DISPLAY", timedelta(days=-3))])
            # This reader splits a category at escaped commas too.
            found.setdefault(start.strftime("%Y-%m"), []).append(
                (start, str(event["SUMMARY"]), ",".join(event["CATEGORIES"].cats)))
            uids.append(str(event["UID"]))
        self.assertEqual(len(set(uids)), len(uids))

        expected = {m["shownMonth"]: self.expected_events(m) for m in self.months if m["due"]}
        self.assertEqual({k: sorted(v) for k, v in found.items()}, expected)
        names = {summary for events in expected.values() for _, summary, _ in events}
        self.assertTrue({"Café club 60.00", "Café old 10.00"} <= names)

    def test_uids_name_the_same_payment_in_the_same_month_again(self):
        def events(today, months):
            parsed = icalendar.Calendar.from_ical(
                run("--ics", "--today", today, "--months", months, self.data).stdout)
            return {(str(e["UID"]), e["DTSTART"].dt, str(e["SUMMARY"])) for e in parsed.walk("VEVENT")}

        june, july = events(TODAY, "13"), events("2026-07-20", "12")
        in_both = lambda found: {e for e in found if date(2026, 7, 1) <= e[1] < date(2027, 8, 1)}
        self.assertEqual(in_both(june), july)
        self.assertGreater(len(july), 24)

    def test_month_table_holds_the_totals_of_every_month(self):
        raw = run("--csv", "--today", TODAY, self.data).stdout
        self.assertTrue(raw.startswith(b"month,pot,due,payments,setAside\r\n"))
        self.assertEqual(raw.count(b"\r\n"), len(self.months) + 1)
        rows = list(csv.DictReader(io.StringIO(raw.decode("ascii"), newline="")))
        for row, month in zip(rows, self.months, strict=True):
            with self.subTest(month=month["shownMonth"]):
                self.assertEqual(row["month"], month["shownMonth"])
                self.assertEqual(int(row["payments"]), len(month["due"]))
                for field, value in (("pot", month["monthTotals"][month["monthOffset"]]),
                                     ("due", month["billsDue"]),
                                     ("setAside", month["monthlyRequired"])):
                    self.assertRegex(row[field], r"^-?[0-9]+\.[0-9][0-9]$")
                    self.assertAlmostEqual(float(row[field]), value, delta=0.005001)

    def test_a_failed_write_is_reported(self):
        arguments = [REPORT, "--ics", "--months", "1200", "--today", TODAY, self.data]
        with open("/dev/full", "wb") as full:
            done = subprocess.run(arguments, stdout=full, stderr=subprocess.PIPE, timeout=120)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn(b"cannot write the calendar", done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
