#!/usr/bin/env python3
"""kestrow-report's calendar and month table read back by readers that share no code with
Kestrow: the calendar by the icalendar parser, the table by the csv module. Both are
checked against the due list and the month totals kestrow-report --json gives for every
month of the horizon.

Usage: exports_readback.py KESTROW-REPORT
"""
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
PAYMENTS = [
    "Rent|Hou|2026-06-01|950.00|1".encode(),
    "Gym|Mem|2026-01-31|40.00|1".encode(),
    "Café club|Mem|2026-08-15|60.00|6".encode(),
    "Tom, Anna & Co; yearly|Gft|2026-12-24|1,300.00|12".encode(),
    "Back\\slash: Jährliche Gebäudeversicherung für das Ferienhaus am Schwäbischen Meer"
    "|Ins|2027-02-28|2,400.00|24".encode(),
    "Water|Uti|2026-07-10|120.00|3".encode(),
    "Water|Uti|2026-07-10|120.00|3".encode(),
    b"Caf\xe9 old|Mem|2026-09-01|10.00|12",
    b"not a payment",
]


def run(*arguments, check=True):
    done = subprocess.run([REPORT, *arguments], capture_output=True, timeout=120)
    if check and done.returncode != 0:
        raise AssertionError(f"{arguments}: exit {done.returncode}: {done.stderr!r}")
    return done


class Exports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.data = os.path.join(cls.folder.name, "Kestrow.txt")
        with open(cls.data, "wb") as f:
            f.write(b"".join(line + b"\r\n" for line in PAYMENTS))
        cls.months = [json.loads(run("--json", "--today", TODAY, "--offset", "0", cls.data).stdout)]
        for offset in range(1, cls.months[0]["horizonMonths"] + 1):
            cls.months.append(
                json.loads(run("--json", "--today", TODAY, "--offset", str(offset), cls.data).stdout))

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def expected_events(self, month):
        """What the due list of one month says the calendar must hold."""
        year, number = map(int, month["shownMonth"].split("-"))
        events = []
        for due in month["due"]:
            stored_day = int(PAYMENTS[due["record"] - 1].split(b"|")[2].split(b"-")[2])
            day = date(year, number, min(stored_day, calendar.monthrange(year, number)[1]))
            amount = due["line"][10:].split()[0]
            events.append((day, f"{due['name']} {amount}", due["type"]))
        return sorted(events)

    def test_calendar_holds_the_due_list_of_every_month(self):
        done = run("--ics", "--remind", "3", "--today", TODAY, self.data)
        self.assertIn(b"line 9 is not a valid payment", done.stderr)
        raw = done.stdout

        # Lines end in CR LF, fold at 75 octets and never inside a UTF-8 character.
        self.assertTrue(raw.endswith(b"\r\n"))
        self.assertNotIn(b"\n", raw.replace(b"\r\n", b""))
        self.assertNotIn(b"\r", raw.replace(b"\r\n", b""))
        lines = raw.split(b"\r\n")[:-1]
        for line in lines:
            self.assertLessEqual(len(line), 75, line)
            line.decode("utf-8")
        self.assertTrue(any(line.startswith(b" ") for line in lines), "nothing was folded")
        unfolded = raw.replace(b"\r\n ", b"")
        self.assertIn(b"SUMMARY:Tom\\, Anna & Co\\; yearly 1\\,300.00\r\n", unfolded)
        self.assertIn(b"SUMMARY:Back\\\\slash: J\xc3\xa4hrliche", unfolded)
        self.assertIn(b"\\nSet aside each month: ", unfolded)

        parsed = icalendar.Calendar.from_ical(raw)
        self.assertEqual(str(parsed["VERSION"]), "2.0")
        version = run("--version").stdout.decode().split()[-1]
        self.assertIn("Kestrow", str(parsed["PRODID"]))
        self.assertIn(version, str(parsed["PRODID"]))

        found = {}
        uids = []
        for event in parsed.walk("VEVENT"):
            start = event["DTSTART"].dt
            self.assertEqual(event["DTEND"].dt, start + timedelta(days=1))
            self.assertEqual(event["DTSTAMP"].dt.utcoffset(), timedelta(0))
            alarms = event.walk("VALARM")
            self.assertEqual(len(alarms), 1)
            self.assertEqual(str(alarms[0]["ACTION"]), "DISPLAY")
            self.assertEqual(alarms[0]["TRIGGER"].dt, timedelta(days=-3))
            found.setdefault(start.strftime("%Y-%m"), []).append(
                (start, str(event["SUMMARY"]), event["CATEGORIES"].cats[0]))
            uids.append(str(event["UID"]))
        self.assertEqual(len(set(uids)), len(uids))

        expected = {m["shownMonth"]: self.expected_events(m) for m in self.months if m["due"]}
        self.assertEqual({k: sorted(v) for k, v in found.items()}, expected)
        names = {summary for events in expected.values() for _, summary, _ in events}
        self.assertIn("Café club 60.00", names)
        self.assertIn("Café old 10.00", names)

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
        self.assertEqual(len(rows), len(self.months))
        for row, month in zip(rows, self.months):
            with self.subTest(month=month["shownMonth"]):
                self.assertEqual(row["month"], month["shownMonth"])
                self.assertEqual(int(row["payments"]), len(month["due"]))
                for field, value in (("pot", month["monthTotals"][month["monthOffset"]]),
                                     ("due", month["billsDue"]),
                                     ("setAside", month["monthlyRequired"])):
                    self.assertRegex(row[field], r"^-?[0-9]+\.[0-9][0-9]$")
                    self.assertAlmostEqual(float(row[field]), value, delta=0.005001)

    def test_bad_command_lines_are_refused(self):
        for arguments, complaint in (
                (["--ics", "--months", "1201"], "invalid --months '1201'"),
                (["--ics", "--months", "-1"], "invalid --months '-1'"),
                (["--ics", "--months", "1.5"], "invalid --months '1.5'"),
                (["--ics", "--remind", "366"], "invalid --remind '366'"),
                (["--ics", "--csv"], "cannot be combined"),
                (["--csv", "--json"], "cannot be combined"),
                (["--csv", "--remind", "3"], "apply only to --ics"),
                (["--ics", "--offset", "2"], "does not apply")):
            with self.subTest(arguments=arguments):
                done = run(*arguments, "--today", TODAY, self.data, check=False)
                self.assertEqual(done.returncode, 2)
                self.assertEqual(done.stdout, b"")
                self.assertIn(complaint.encode(), done.stderr)

    def test_a_failed_write_is_reported(self):
        arguments = [REPORT, "--ics", "--months", "1200", "--today", TODAY, self.data]
        with open("/dev/full", "wb") as full:
            done = subprocess.run(arguments, stdout=full, stderr=subprocess.PIPE, timeout=120)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn(b"cannot write the calendar", done.stderr)

        # Far more than a pipe holds, so the reader is gone before the end is written.
        reader = subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        reader.stdout.close()
        complaint = reader.stderr.read()
        reader.stderr.close()
        self.assertNotEqual(reader.wait(timeout=120), 0)
        self.assertIn(b"cannot write the calendar", complaint)


if __name__ == "__main__":
    unittest.main(verbosity=2)
