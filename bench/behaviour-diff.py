#!/usr/bin/env python3
"""Compares two runs of the station that bench/behaviour-diff.sh made, and prints what differs.

    bench/behaviour-diff.py [--poll] BEFORE_RUN AFTER_RUN

A run folder holds home/ (the program folder), station.log (the headless output),
requests.txt (bench/wire-count.py --requests) and, where a broker ran, mqtt.txt
(bench/mqtt-watch.py). Masked before comparing, since they depend on when a run started:
  - clock times in any form ("2026/12/10 08:07:27", ISO 8601, "2026-12-10 08:07:21.000 UTC"),
    in text, file names (the event file's yyMMddHHmmss, the monthly log's yyyyMM, the archive's
    year and day) and miniSEED record start times;
  - the run's own folder in paths;
  - how much of an event file's pre-alarm time a run caught: its rows, and the samples of its
    miniSEED export, are compared from their end, the count of samples the export reports is
    masked; the archive's samples are compared over the stretch both runs hold;
  - Modbus transaction ids, and how often a request repeats in a row;
  - how many live values MQTT carried: each message's topic, QoS, retain flag and keys are
    compared, not its values; whether the broker published the last will is shown, not
    compared (two runs of one build differ in it);
  - with --poll (runs that polled): the values in cm and gal of alarm lines, since a poll
    reads the device's newest sample at moments of its own and two runs of one build differ
    there (a P Watch at 0.201 cm in one, 0.203 cm in the other).
Exit status 0 when nothing else differs, 1 when something does.
"""
import datetime
import difflib
import json
import re
import struct
import sys
from pathlib import Path

SHOWN_LINES = 30
# The two runs' archives may start and stop this many samples apart (5 s): a station connects
# a second or two after its simulator starts.
ARCHIVE_SLACK = 500
SAMPLES_PER_SECOND = 100
MASKS = [
    (re.compile(r"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d"), "<time>"),
    (re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?(Z|[+-]\d\d:\d\d)?"), "<time>"),
    (re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d(\.\d+)?( UTC)?"), "<time>"),
    (re.compile(r"\b\d{12}(?=_)"), "<stamp>"),
    # how much of the pre-alarm time the run caught, as the export tells it
    (re.compile(r"\d+ samples per axis"), "<n> samples per axis"),
]
POLLED_VALUE = (re.compile(r"\d+(\.\d+)? ?(?=cm|gal)"), "<value>")
PATH_PATTERNS = [
    (re.compile(r"^Event/\d{6}\.txt$"), "Event/<month>.txt"),
    (re.compile(r"^archive/\d{4}/"), "archive/<year>/"),
    (re.compile(r"\.\d{4}\.\d{3}$"), ".<year>.<day>"),
]


class Report:
    def __init__(self):
        self.differences = 0

    def same(self, what, detail=""):
        print(f"  same     {what}" + (f" ({detail})" if detail else ""))

    def differs(self, what, lines):
        self.differences += 1
        print(f"  DIFFERS  {what}")
        for line in lines[:SHOWN_LINES]:
            print(f"           {line}")
        if len(lines) > SHOWN_LINES:
            print(f"           ... {len(lines) - SHOWN_LINES} more lines")

    def check(self, what, before, after, detail=""):
        """Compares two lists of lines."""
        if before == after:
            self.same(what, detail)
        else:
            diff = difflib.unified_diff(before, after, "before", "after", lineterm="", n=1)
            self.differs(what, list(diff)[2:])


def masked(text, home=None):
    if home:
        text = text.replace(str(home), "<home>")
    for pattern, mask in MASKS:
        text = pattern.sub(mask, text)
    return text


def masked_lines(path, home):
    return masked(path.read_bytes().decode("utf-8", "replace"), home).split("\n")


def file_key(relative):
    key = masked(relative)
    for pattern, mask in PATH_PATTERNS:
        key = pattern.sub(mask, key)
    return key


# --- event files -------------------------------------------------------------------------


def event_file(path):
    """Header lines, the rows' times and the rows' values."""
    header, times, values = [], [], []
    for line in path.read_bytes().decode().split("\r\n"):
        if line.startswith("#") or not line.strip():
            header.append(line)
        else:
            time, *row = [field.strip() for field in line.split(",")]
            times.append(time)
            values.append(row)
    return header, times, values


def compare_event_files(report, name, before, after):
    """Rows are compared from the end, where both runs' files stop (the post-alarm time after
    the trigger); at their start a run may have caught less of the pre-alarm time."""
    header_before, times_before, rows_before = event_file(before[0])
    header_after, times_after, rows_after = event_file(after[0])
    report.check(name + " header", [masked(line, before[1]) for line in header_before],
                 [masked(line, after[1]) for line in header_after])
    common = min(len(rows_before), len(rows_after))
    tail_before = rows_before[len(rows_before) - common :]
    tail_after = rows_after[len(rows_after) - common :]
    bad = [f"row {common - i} from the end: before {b}, after {a}"
           for i, (b, a) in enumerate(zip(tail_before, tail_after)) if b != a]
    detail = f"{len(rows_before)} and {len(rows_after)} rows, the last {common} compared"
    if bad:
        report.differs(f"{name} sample values ({detail})", bad)
    else:
        report.same(f"{name} sample values", detail)
    spans = [f"{times[0]} to {times[-1]} s" if times else "none"
             for times in (times_before, times_after)]
    if times_before[len(times_before) - common :] == times_after[len(times_after) - common :]:
        report.same(f"{name} row times", f"before {spans[0]}, after {spans[1]}")
    else:
        report.differs(f"{name} row times", [f"before {spans[0]}, after {spans[1]}"])


# --- miniSEED ----------------------------------------------------------------------------


def steim2(frames, count):
    """The samples of Steim-2 frames (big-endian), checked against the reverse constant."""
    words = struct.unpack(f">{len(frames) // 4}i", frames)
    differences = []
    first = last = None
    for f in range(0, len(words), 16):
        nibbles = words[f] & 0xFFFFFFFF
        for i in range(1, 16):
            code = (nibbles >> (30 - 2 * i)) & 3
            word = words[f + i] & 0xFFFFFFFF
            if f == 0 and i == 1:
                first = words[f + i]
            elif f == 0 and i == 2:
                last = words[f + i]
            elif code:
                differences += steim2_differences(code, word)
    samples = [first]
    for d in differences[1:count]:
        samples.append(samples[-1] + d)
    if count and samples[-1] != last:
        raise ValueError(f"Steim-2 record does not end on its reverse constant {last}")
    return samples[:count]


def steim2_differences(code, word):
    if code == 1:
        return [signed((word >> s) & 0xFF, 8) for s in (24, 16, 8, 0)]
    dnib = word >> 30
    bits, count = {(2, 1): (30, 1), (2, 2): (15, 2), (2, 3): (10, 3),
                   (3, 0): (6, 5), (3, 1): (5, 6), (3, 2): (4, 7)}[(code, dnib)]
    mask = (1 << bits) - 1
    return [signed((word >> (bits * (count - 1 - k))) & mask, bits) for k in range(count)]


def signed(value, bits):
    return value - (1 << bits) if value & (1 << (bits - 1)) else value


def miniseed(path):
    """The records' headers with their start times left out, and the samples per channel."""
    data = path.read_bytes()
    shapes, samples = set(), {}
    offset = 0
    while offset < len(data):
        record = data[offset:]
        net_sta = record[8:20].decode("ascii")
        count, factor, multiplier = struct.unpack(">Hhh", record[30:36])
        data_offset, blockette = struct.unpack(">HH", record[44:48])
        encoding, word_order, length_power = record[blockette + 4 : blockette + 7]
        length = 1 << length_power
        payload = record[data_offset:length]
        if encoding == 4:
            values = list(struct.unpack(f">{count}f", payload[: 4 * count]))
        elif encoding == 11:
            values = steim2(payload, count)
        else:
            raise ValueError(f"{path}: encoding {encoding} is not read here")
        shapes.add(f"{net_sta!r} rate {factor}/{multiplier} quality {record[6:7].decode()} "
                   f"flags {record[36:39].hex()} encoding {encoding} order {word_order} "
                   f"length {length}")
        samples.setdefault(net_sta[7:10], []).extend(values)
        offset += length
    return sorted(shapes), samples


def best_overlap(before, after, reach=3000, window=100):
    """The shift of `after` against `before` that puts the most equal samples together, the
    overlap's length and how many samples are equal there. Only shifts where the overlap's
    first `window` samples agree are counted: two different stretches of noise never do."""
    best = (0, 0, 0)
    for shift in range(-min(reach, len(after)), min(reach, len(before)) + 1):
        a, b = before[max(shift, 0) :], after[max(-shift, 0) :]
        overlap = min(len(a), len(b))
        if a[:window] != b[:window]:
            continue
        equal = overlap if a[:overlap] == b[:overlap] else sum(x == y for x, y in zip(a, b))
        if equal > best[2]:
            best = (shift, overlap, equal)
    return best


def compare_miniseed(report, name, before, after, same_end):
    """`same_end`: the two must end on the same sample (an event's export), otherwise they
    may start and end a few seconds apart, as two runs of the continuous archive do."""
    try:
        shapes_before, samples_before = miniseed(before)
        shapes_after, samples_after = miniseed(after)
    except (ValueError, KeyError, struct.error) as error:
        report.differs(name, [f"cannot be read: {error}"])
        return
    report.check(name + " record headers", shapes_before, shapes_after,
                 f"{len(shapes_before)} kinds, start times masked")
    for channel in sorted(set(samples_before) | set(samples_after)):
        a, b = samples_before.get(channel, []), samples_after.get(channel, [])
        shift, overlap, equal = best_overlap(a, b)
        detail = (f"{len(a)} and {len(b)} samples, {overlap} overlapping at shift {shift}, "
                  f"{equal} equal")
        ends_apart = len(a) - max(shift, 0) - (len(b) - max(-shift, 0))
        if same_end and ends_apart:
            report.differs(f"{name} channel {channel} samples",
                           [detail, f"they end {ends_apart} samples apart"])
        elif not same_end and max(len(a), len(b)) - overlap > ARCHIVE_SLACK:
            report.differs(f"{name} channel {channel} samples",
                           [detail, f"more than {ARCHIVE_SLACK} samples in one run only"])
        elif overlap and equal == overlap:
            report.same(f"{name} channel {channel} samples", detail)
        else:
            report.differs(f"{name} channel {channel} samples", [detail])


def export_end(mseed_path, event_path):
    """Seconds from its event file's trigger to the export's last sample: start times are
    masked, but not where the export puts the samples, which end the post-alarm time after
    the trigger however much of the pre-alarm time a run caught."""
    record = mseed_path.read_bytes()[:48]
    year, day, hour, minute, second, _, fraction = struct.unpack(">HHBBBBH", record[20:30])
    start = datetime.datetime(year, 1, 1, hour, minute, second, fraction * 100,
                              datetime.timezone.utc) + datetime.timedelta(days=day - 1)
    count = min(len(samples) for samples in miniseed(mseed_path)[1].values())
    header = event_file(event_path)[0]
    trigger = next(line for line in header if line.startswith("#StartTime:")).split(":", 1)[1]
    trigger = datetime.datetime.strptime(trigger, "%Y/%m/%d %H:%M:%S").astimezone()
    last = start + datetime.timedelta(seconds=(count - 1) / SAMPLES_PER_SECOND)
    return round((last - trigger).total_seconds(), 3)


# --- wire and MQTT -----------------------------------------------------------------------


def requests(path):
    """Requests with their transaction id masked, repeats in a row counted apart."""
    runs = []
    for line in path.read_text().split("\n") if path.exists() else []:
        if not line:
            continue
        connection, frame = line.split()
        request = f"connection {connection}: ....{frame[4:]}"
        if runs and runs[-1][0] == request:
            runs[-1][1] += 1
        else:
            runs.append([request, 1])
    return [request for request, _ in runs], [f"{r} x{n}" for r, n in runs]


def request_rate(run):
    """The proxy's figures of each connection, "N requests at R/s": shown, never compared,
    since they follow the machine's load."""
    rates = []
    for line in (run / "proxy.log").read_text().split("\n"):
        fields = line.split()
        if fields[:1] == ["closed"] and int(fields[3]) > 1:
            rate = (int(fields[3]) - 1) / (float(fields[9]) - float(fields[7]))
            rates.append(f"{fields[3]} requests at {rate:.1f}/s")
    return ", ".join(rates) or "no polling"


def compare_requests(report, before, after):
    print(f"  (wire: before {request_rate(before)}; after {request_rate(after)})")
    kinds_before, counted_before = requests(before / "requests.txt")
    kinds_after, counted_after = requests(after / "requests.txt")
    if kinds_before == kinds_after:
        report.same("requests on the wire",
                    "; ".join(f"{b} / {a.rsplit(' ', 1)[1]}"
                              for b, a in zip(counted_before, counted_after)))
    else:
        report.check("requests on the wire (repeats counted)", counted_before, counted_after)


def mqtt(path, home):
    """Messages that say something once, masked; the shapes of those sent every second; and
    whether the broker published the last will (a status without a time, set at connecting)."""
    messages, periodic, will = [], set(), False
    for line in path.read_text().split("\n"):
        if not line:
            continue
        qos, retain, topic, payload = line.split(" ", 3)
        fields = json.loads(payload)
        if topic.endswith("/live") or topic.endswith("/wave"):
            periodic.add(f"{qos} {retain} {topic} {sorted(fields)}")
        elif topic.endswith("/status") and "time" not in fields:
            will = True
        else:
            messages.append(masked(line, home))
    return messages, sorted(periodic), will


def compare_mqtt(report, before, after):
    if not (before / "mqtt.txt").exists() or not (after / "mqtt.txt").exists():
        print("  (no MQTT messages recorded)")
        return
    messages_before, periodic_before, will_before = mqtt(before / "mqtt.txt", before / "home")
    messages_after, periodic_after, will_after = mqtt(after / "mqtt.txt", after / "home")
    # Shown, not compared: whether the station's end reaches the broker before its connection
    # drops varies between two runs of one build.
    print(f"  (MQTT last will published: before {will_before}, after {will_after})")
    report.check("MQTT status, alarm and event messages", messages_before, messages_after,
                 f"{len(messages_before)} messages")
    report.check("MQTT live and wave messages (topic, QoS, retain, keys)", periodic_before,
                 periodic_after)


# --- the program folder ------------------------------------------------------------------


def files(home):
    out = {}
    for path in sorted(p for p in home.rglob("*") if p.is_file()):
        out.setdefault(file_key(str(path.relative_to(home))), []).append(path)
    return out


def compare_file(report, key, before, after):
    """`before` and `after`: a file's path and its run's program folder."""
    (path_before, home_before), (path_after, home_after) = before, after
    if path_before.suffix.upper() == ".CSV":
        compare_event_files(report, key, before, after)
    elif path_before.suffix == ".mseed" or key.startswith("archive/"):
        archived = key.startswith("archive/")
        compare_miniseed(report, key, path_before, path_after, same_end=not archived)
        events = [path.with_suffix(".CSV") for path in (path_before, path_after)]
        if not archived and all(event.exists() for event in events):
            ends = [f"{export_end(path_before, events[0])} s",
                    f"{export_end(path_after, events[1])} s"]
            report.check(key + " last sample after the trigger", ends[:1], ends[1:], ends[0])
    else:
        report.check(key, masked_lines(path_before, home_before),
                     masked_lines(path_after, home_after))


def compare_folders(report, before, after):
    home_before, home_after = before / "home", after / "home"
    files_before, files_after = files(home_before), files(home_after)
    for key in sorted(set(files_before) | set(files_after)):
        paths_before, paths_after = files_before.get(key, []), files_after.get(key, [])
        if len(paths_before) != len(paths_after):
            report.differs(key, [f"{len(paths_before)} files before, {len(paths_after)} after"])
            continue
        for path_before, path_after in zip(paths_before, paths_after):
            compare_file(report, key, (path_before, home_before), (path_after, home_after))
    report.check("headless output", masked_lines(before / "station.log", home_before),
                 masked_lines(after / "station.log", home_after))


def main():
    arguments = sys.argv[1:]
    if arguments[0] == "--poll":
        MASKS.append(POLLED_VALUE)
        arguments.pop(0)
    before, after = map(Path, arguments)
    report = Report()
    print(f"{before} against {after}:")
    compare_folders(report, before, after)
    compare_requests(report, before, after)
    compare_mqtt(report, before, after)
    print(f"  {report.differences} differences")
    sys.exit(1 if report.differences else 0)


if __name__ == "__main__":
    main()
