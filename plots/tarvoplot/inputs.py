# Readers of the files the pictures are drawn from: `tarvo schedule` output (CSV or JSON), the
# makespan samples of `tarvo evaluate --samples` (JSON Lines) and the results CSV files of batch
# runs and evaluations. Every fault becomes an InputError that names the file, line and column.
import csv
import io
import json
import math
import os
import stat

from . import InputError


def _open(path):
    """The whole text of the file at path, as a file object. A regular file, or a pipe given on the
    command line (read once, to its end); a folder or a device is refused, as tarvo refuses them.
    Bytes that are not UTF-8 are named with their line."""
    try:
        # Not blocking on open: a named pipe without a writer would otherwise wait for ever.
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    except OSError as e:
        raise InputError(f"cannot read '{path}': {e.strerror}") from None
    try:
        mode = os.fstat(fd).st_mode
        if not (stat.S_ISREG(mode) or stat.S_ISFIFO(mode)):
            what = "a folder, not a file" if stat.S_ISDIR(mode) else "a device, not a regular file"
            raise InputError(f"cannot read '{path}': {what}")
        os.set_blocking(fd, True)
        chunks = []
        while True:
            chunk = os.read(fd, 1 << 16)
            if not chunk:
                break
            chunks.append(chunk)
        data = b"".join(chunks)
    except OSError as e:
        raise InputError(f"cannot read '{path}': {e.strerror}") from None
    finally:
        os.close(fd)
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        line = data.count(b"\n", 0, e.start) + 1
        raise InputError(f"{path} line {line}: byte 0x{data[e.start]:02x} is not UTF-8 text") from None
    return io.StringIO(text, newline="")


def _number(text, where, column):
    try:
        value = float(text)
    except (TypeError, ValueError):
        raise InputError(f"{where}: column '{column}': '{text}' is not a number") from None
    if not math.isfinite(value):
        raise InputError(f"{where}: column '{column}': '{text}' is not a finite number")
    return value


def _integer(text, where, column):
    value = _number(text, where, column)
    if value != int(value):
        raise InputError(f"{where}: column '{column}': '{text}' is not a whole number")
    return int(value)


# ---- Results tables (batch and evaluation CSV) ----

def readTable(path, required, numeric=()):
    """Rows of a CSV file as dicts; the columns in `required` must exist, those in `numeric` are
    turned into floats. Each row also gets '_where', its file and line, for later messages."""
    with _open(path) as f:
        reader = csv.DictReader(f)
        header = reader.fieldnames or []
        for column in required:
            if column not in header:
                raise InputError(f"{path}: column '{column}' missing")
        rows = []
        for row in reader:
            where = f"{path} line {reader.line_num}"
            if None in row or any(row[c] is None for c in header):
                raise InputError(f"{where}: {len(header)} columns expected")
            for column in numeric:
                row[column] = _number(row[column], where, column)
            row["_where"] = where
            rows.append(row)
    if not rows:
        raise InputError(f"{path}: no rows")
    return rows


# ---- Schedules ----

class Schedule:
    """One realised schedule: activities 1..n with start, finish, duration, requirements and the
    critical flag, the policy's arcs (from, to, type 1 finish-to-start / 2 start-to-start), and,
    from JSON only, the capacities and the lower bound (None when unknown)."""

    def __init__(self):
        self.activity = []      # activity numbers in file order
        self.start = {}
        self.finish = {}
        self.duration = {}
        self.requirements = {}  # activity -> list of K amounts
        self.critical = {}
        self.arcs = []          # (from, to, type)
        self.capacities = None  # list of K capacities
        self.lowerBound = None
        self.makespan = None
        self.title = ""
        self.fromCsv = False

    @property
    def resources(self):
        return len(next(iter(self.requirements.values()), []))

    def realActivities(self):
        """Every activity but the dummy start (the smallest number) and end (the largest)."""
        numbers = sorted(self.activity)
        return numbers[1:-1]


def _checkSchedule(s, path):
    if len(s.activity) < 2:
        raise InputError(f"{path}: fewer than two activities")
    if len(set(s.activity)) != len(s.activity):
        raise InputError(f"{path}: an activity appears twice")
    for f, t, _ in s.arcs:
        for a in (f, t):
            if a not in s.start:
                raise InputError(f"{path}: arc ({f}, {t}) names activity {a}, which is not in the schedule")
    for a in s.activity:
        if len(s.requirements[a]) != s.resources:
            raise InputError(f"{path}: activity {a} has {len(s.requirements[a])} requirements, "
                             f"activity {s.activity[0]} {s.resources}")
    if s.capacities is not None and len(s.capacities) != s.resources:
        raise InputError(f"{path}: {len(s.capacities)} capacities for {s.resources} resources")
    if s.makespan is None:
        s.makespan = max(s.finish.values())


def _scheduleFromCsv(path, text):
    # Sections separated by a blank line: the activities, then optionally the arcs.
    sections = [part for part in text.replace("\r\n", "\n").split("\n\n") if part.strip()]
    if not sections:
        raise InputError(f"{path}: empty file")
    s = Schedule()
    rows = list(csv.reader(sections[0].strip("\n").split("\n")))
    header = rows[0]
    fixed = ["activity", "start", "finish", "duration"]
    for column in fixed + ["critical"]:
        if column not in header:
            raise InputError(f"{path}: column '{column}' missing")
    resources = [c for c in header if c.startswith("r") and c[1:].isdigit()]
    expected = [f"r{k}" for k in range(1, len(resources) + 1)]
    if resources != expected:
        raise InputError(f"{path}: resource columns {','.join(resources)} are not r1..rK")
    at = {c: header.index(c) for c in header}
    for line, row in enumerate(rows[1:], start=2):
        where = f"{path} line {line}"
        if len(row) != len(header):
            raise InputError(f"{where}: {len(header)} columns expected, {len(row)} found")
        a = _integer(row[at["activity"]], where, "activity")
        s.activity.append(a)
        s.start[a] = _number(row[at["start"]], where, "start")
        s.finish[a] = _number(row[at["finish"]], where, "finish")
        s.duration[a] = _number(row[at["duration"]], where, "duration")
        s.requirements[a] = [_integer(row[at[c]], where, c) for c in resources]
        s.critical[a] = _integer(row[at["critical"]], where, "critical") != 0
    if len(sections) > 1:
        first = text.count("\n", 0, text.find(sections[1])) + 1
        arcRows = list(csv.reader(sections[1].strip("\n").split("\n")))
        if arcRows[0] != ["from", "to", "type"]:
            raise InputError(f"{path} line {first}: arc section must start with 'from,to,type'")
        for line, row in enumerate(arcRows[1:], start=first + 1):
            where = f"{path} line {line}"
            if len(row) != 3:
                raise InputError(f"{where}: 3 columns expected, {len(row)} found")
            s.arcs.append(tuple(_integer(v, where, c) for v, c in zip(row, ("from", "to", "type"))))
    return s


def _field(record, key, path):
    if key not in record:
        raise InputError(f"{path}: key '{key}' missing")
    return record[key]


def _jsonObject(text, where, line=1):
    """One JSON object; `line` is the file line the text starts on, for the message."""
    try:
        record = json.loads(text)
    except json.JSONDecodeError as e:
        raise InputError(f"{where} line {line + e.lineno - 1}: not JSON ({e.msg})") from None
    if not isinstance(record, dict):
        raise InputError(f"{where} line {line}: not a JSON object")
    return record


def _listField(record, key, path, where=None):
    value = _field(record, key, path)
    if not isinstance(value, list):
        raise InputError(f"{where or path}: '{key}' is {json.dumps(value)[:40]}, not a list")
    return value


def _scheduleFromJson(path, text):
    record = _jsonObject(text, path)
    s = Schedule()
    for item in _listField(record, "activities", path):
        if not isinstance(item, dict):
            raise InputError(f"{path}: an entry of 'activities' is not an object")
        where = f"{path}: activity {item.get('activity', '?')}"
        a = _integer(_field(item, "activity", path), where, "activity")
        s.activity.append(a)
        for key, table in (("start", s.start), ("finish", s.finish), ("duration", s.duration)):
            table[a] = _number(_field(item, key, path), where, key)
        s.requirements[a] = [_integer(v, where, "requirements") for v in _listField(item, "requirements", path, where)]
        s.critical[a] = bool(_field(item, "critical", path))
    for arc in _listField(record, "arcs", path) if "arcs" in record else []:
        if not isinstance(arc, list) or len(arc) != 3:
            raise InputError(f"{path}: arc {arc} is not [from, to, type]")
        s.arcs.append(tuple(_integer(v, path, "arcs") for v in arc))
    s.capacities = [_integer(v, path, "capacities") for v in _listField(record, "capacities", path)]
    s.lowerBound = _number(_field(record, "lower_bound", path), path, "lower_bound")
    s.makespan = _number(_field(record, "makespan", path), path, "makespan")
    parts = [str(record[k]) for k in ("dataset", "distribution") if k in record]
    if "group" in record and "instance" in record:
        parts.append(f"group {record['group']} instance {record['instance']}")
    elif "stem" in record:
        parts.append(str(record["stem"]))
    if "policy" in record:
        parts.append(str(record["policy"]))
    if "scenario" in record:
        scenario = record["scenario"]
        parts.append("nominal durations" if scenario == "nominal" else
                     f"scenario {scenario} ({record.get('eval_distribution', '?')})")
    s.title = ", ".join(parts)
    return s


def readSchedule(path):
    """A `tarvo schedule` output, CSV or JSON (told apart by the first character)."""
    with _open(path) as f:
        text = f.read()
    if text.lstrip().startswith("{"):
        s = _scheduleFromJson(path, text)
    else:
        s = _scheduleFromCsv(path, text)
        # The CSV does not say which run it comes from; the title must not pretend it does.
        s.title = f"{os.path.basename(path)}: instance, policy and scenario not recorded in the CSV"
        s.fromCsv = True
    _checkSchedule(s, path)
    return s


# ---- Makespan samples ----

SAMPLE_KEYS = ["dataset", "eval_distribution", "method", "policy", "runs", "lower_bound", "mean", "makespans"]
# ph1 and ph2 are a batch record's two policies; AB, RB and RBA the one policy of a record made by
# another method (a list under the activity-based, resource-based, or resource-based rule with arcs).
SAMPLE_POLICIES = ("ph1", "ph2", "AB", "RB", "RBA")
# A PSPLIB record names its instance by group and instance, a file run's by file and stem.
INSTANCE_KEYS = (["group", "instance"], ["file", "stem"])


def readSamples(path):
    """Records of a samples file (one JSON object per line)."""
    records = []
    with _open(path) as f:
        for line, text in enumerate(f, start=1):
            if not text.strip():
                continue
            where = f"{path} line {line}"
            record = _jsonObject(text, path, line)
            for key in SAMPLE_KEYS:
                if key not in record:
                    raise InputError(f"{where}: key '{key}' missing")
            # Only a batch record is sure to name the distribution its policy was searched for.
            if "distribution" not in record and record.get("policy") in ("ph1", "ph2"):
                raise InputError(f"{where}: key 'distribution' missing")
            if not any(all(k in record for k in keys) for keys in INSTANCE_KEYS):
                raise InputError(f"{where}: key 'group' missing (or 'stem', in a file run's record)")
            if record.get("policy") in SAMPLE_POLICIES[2:] and record.get("distribution", 0) in ("", None):
                del record["distribution"]   # made for no distribution in particular
            for key in ("dataset", "distribution", "eval_distribution", "method", "policy", "file", "stem"):
                if key in record and (not isinstance(record[key], str) or not record[key]):
                    raise InputError(f"{where}: '{key}' is {json.dumps(record[key])[:40]}, not a name")
            if record["policy"] not in SAMPLE_POLICIES:
                raise InputError(f"{where}: 'policy' is '{record['policy']}', not one of {', '.join(SAMPLE_POLICIES)}")
            for key in ("group", "instance", "runs"):
                if key in record and (type(record[key]) is not int or record[key] < 1):
                    raise InputError(f"{where}: '{key}' is {json.dumps(record[key])[:40]}, not a whole number >= 1")
            spans = record["makespans"]
            if not isinstance(spans, list) or not spans:
                raise InputError(f"{where}: 'makespans' is not a list of numbers")
            record["makespans"] = [_number(v, where, "makespans") for v in spans]
            if min(record["makespans"]) < 0:
                raise InputError(f"{where}: 'makespans' holds {min(record['makespans']):g}, below 0")
            record["lower_bound"] = _number(record["lower_bound"], where, "lower_bound")
            # The expected longest path; absent from the files of older versions.
            if "path_bound" in record:
                record["path_bound"] = _number(record["path_bound"], where, "path_bound")
            record["_where"] = where
            records.append(record)
    if not records:
        raise InputError(f"{path}: no records")
    return records
