#!/usr/bin/python3
"""Checks the draw record of a Sortia database from the description in
README.md alone ("The draw record" and "Checking a draw"), without any of
the program's code.

usage: check_record.py DATABASE [--against DRAW:HEX ...]
Prints one line per entry in chain order ("draw 2: ok", "draw 2 void 1: ok",
"reset 1: ok", "correction 1: ok", "announcement 1: ok" or what differs),
then any problem outside the entries, and exits 0 when everything matches,
1 otherwise."""

import hashlib
import sqlite3
import sys

MASK = 2**64
START = "0" * 64


def decode_ids(blob):
    ids, previous, value, shift = [], 0, 0, 0
    for byte in blob:
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte & 0x80:
            continue
        difference = (value >> 1) ^ -(value & 1)  # zigzag back to a signed value
        previous = (previous + difference) % MASK
        ids.append(previous - MASK if previous >= 2**63 else previous)
        value, shift = 0, 0
    return ids


def picks(seed, size, n):
    chosen, j = [], 0
    limit = MASK - MASK % size
    while len(chosen) < n:
        u = int.from_bytes(hashlib.sha256(seed + j.to_bytes(8, "big")).digest()[:8], "big")
        j += 1
        if u >= limit:
            continue
        if u % size not in chosen:
            chosen.append(u % size)
    return chosen


def netstrings(*fields):
    out = b""
    for field in fields:
        data = field if isinstance(field, bytes) else str(field if field is not None else "").encode()
        out += str(len(data)).encode() + b":" + data + b","
    return out


def digest(*fields):
    return hashlib.sha256(netstrings(*fields)).hexdigest()


def text(value):
    # Names and numbers are compared as the bytes the database holds.
    return value.encode("utf-8", "surrogateescape") if isinstance(value, str) else value


def columns(db, table):
    return [row[1] for row in db.execute("pragma table_info(%s)" % table)]


# The columns a file written before the newer entries lacks.
NEWER_COLUMNS = ["record_format", "organiser_seed", "seed_commitment", "public_input", "announcement_id",
                 "plan_round", "prize_name", "group_rule", "reason"]


def rows(db, table, order):
    """Every row of a table as a dict; columns a table of format 1 lacks read as None."""
    if not columns(db, table):
        return []
    cursor = db.execute("select * from %s order by %s" % (table, order))
    names = [d[0] for d in cursor.description]
    result = [dict(zip(names, row)) for row in cursor.fetchall()]
    for row in result:
        for name in NEWER_COLUMNS:
            row.setdefault(name, None)
    return result


class Entry:
    def __init__(self, kind, row, name, time, rank, number):
        self.kind, self.row, self.name = kind, row, name
        self.previous, self.digest = row["previous_digest"], row["record_digest"]
        self.key = (time, rank, number)
        self.problems = []
        self.ids = []
        self.format = (row.get("record_format") or 1) if kind in ("draw", "void") else 2


def read_entries(db):
    entries = []
    for r in rows(db, "draw_record", "draw_id"):
        r["winners"] = db.execute("select position, participant_id, user_name, user_number from draw_winner"
                                  " where draw_id = ? order by position", (r["draw_id"],)).fetchall()
        entries.append(Entry("draw", r, "draw %d" % r["draw_id"], r["drawn_at"], 0, r["draw_id"]))
    for r in rows(db, "draw_void", "draw_id, void_seq"):
        entries.append(Entry("void", r, "draw %d void %d" % (r["draw_id"], r["void_seq"]), r["voided_at"], 1,
                             (r["draw_id"], r["void_seq"])))
    for r in rows(db, "draw_reset", "reset_seq"):
        entries.append(Entry("reset", r, "reset %d" % r["reset_seq"], r["reset_at"], 2, r["reset_seq"]))
    for r in rows(db, "draw_correction", "correction_seq"):
        entries.append(Entry("correction", r, "correction %d" % r["correction_seq"], r["corrected_at"], 3,
                             r["correction_seq"]))
    for r in rows(db, "draw_announcement", "announcement_id"):
        entries.append(Entry("announcement", r, "announcement %d" % r["announcement_id"], r["announced_at"], 4,
                             r["announcement_id"]))
    return entries


def chain_order(entries):
    """Step 7: follow the links from 64 zeros; after a break, the earliest entry
    whose predecessor is placed or missing."""
    digests = {e.digest for e in entries}
    placed, order, current = set(), [], START
    remaining = sorted(entries, key=lambda e: e.key)
    while remaining:
        following = [e for e in remaining if e.previous == current]
        for extra in following[1:]:
            extra.problems.append("a second entry on the same predecessor (fork)")
        if following:
            chosen = following[0]
        else:
            loose = [e for e in remaining if e.previous == START or e.previous in placed or e.previous not in digests]
            if not loose:
                for e in remaining:
                    e.problems.append("outside the chain (a loop)")
                return order + remaining
            chosen = loose[0]
            if not chosen.problems:
                chosen.problems.append("chain link differs")
        remaining.remove(chosen)
        order.append(chosen)
        placed.add(chosen.digest)
        current = chosen.digest
    return order


def record_digest(kind, r):
    """Step 6: the digest an entry of `kind` with the row `r` must have (a
    draw's row holds its winners under "winners")."""
    if kind == "draw" and (r["record_format"] or 1) == 1:
        fields = ["sortia-draw-1", r["previous_digest"], r["draw_id"], r["drawn_at"], text(r["prize_level"]),
                  r["requested"], r["eligible_count"], r["eligible_digest"], r["seed"], len(r["winners"])]
    elif kind == "draw":
        fields = ["sortia-draw-2", r["previous_digest"], r["draw_id"], r["drawn_at"], text(r["prize_level"]),
                  text(r["prize_name"]), r["plan_round"], text(r["group_rule"]), r["requested"], r["eligible_count"],
                  r["eligible_digest"], r["organiser_seed"], r["seed_commitment"], text(r["public_input"]),
                  r["announcement_id"], r["seed"], len(r["winners"])]
    elif kind == "void" and (r["record_format"] or 1) == 1:
        fields = ["sortia-void-1", r["previous_digest"], r["draw_id"], r["void_seq"], r["voided_at"], r["position"],
                  r["voided_id"], r["eligible_count"], r["eligible_digest"], r["seed"]]
    elif kind == "void":
        fields = ["sortia-void-2", r["previous_digest"], r["draw_id"], r["void_seq"], r["voided_at"], r["position"],
                  r["voided_id"], text(r["reason"]), r["eligible_count"], r["eligible_digest"], r["organiser_seed"],
                  r["seed_commitment"], text(r["public_input"]), r["seed"]]
    elif kind == "reset":
        fields = ["sortia-reset-1", r["previous_digest"], r["reset_seq"], r["reset_at"], r["reset_rows"],
                  r["eligible_count"], r["eligible_digest"]]
    elif kind == "correction":
        fields = ["sortia-correction-1", r["previous_digest"], r["correction_seq"], r["draw_id"], r["corrected_at"],
                  text(r["prize_level"]), text(r["prize_name"]), text(r["reason"])]
    else:
        fields = ["sortia-announcement-1", r["previous_digest"], r["announcement_id"], r["announced_at"],
                  text(r["prize_level"]), r["requested"], text(r["source"]), r["eligible_count"], r["eligible_digest"]]
    if kind == "void":
        fields += [r["replacement_id"], text(r["replacement_name"]), text(r["replacement_number"])]
    for position, participant, name, number in r.get("winners", []) if kind == "draw" else []:
        fields += [position, participant, text(name), text(number)]
    return digest(*fields)


def check_list(entry, problems):
    """Step 1: the stored list against its count and digest."""
    blob = bytes(entry.row["eligible_ids"])
    ids = decode_ids(blob)
    if hashlib.sha256(blob).hexdigest() != entry.row["eligible_digest"]:
        problems.append("list digest differs")
    if len(ids) != entry.row["eligible_count"]:
        problems.append("list holds %d ids, record says %d" % (len(ids), entry.row["eligible_count"]))
        return []
    return ids


def trimmed_input(value):
    return value.strip(" \t\r\n\u3000")


def format1_seed(row, problems):
    try:
        seed = bytes.fromhex(row["seed"])
    except ValueError:
        seed = b""
    if len(seed) != 32:
        problems.append("seed is not 64 hex digits")
        return None
    return seed


def format2_seed(row, problems):
    """Step 2 for a format-2 draw or void."""
    try:
        organiser = bytes.fromhex(row["organiser_seed"] or "")
    except ValueError:
        organiser = b""
    if len(organiser) != 32:
        problems.append("organiser seed is not 64 hex digits")
        return None
    if hashlib.sha256(organiser).hexdigest() != row["seed_commitment"]:
        problems.append("commitment does not match the organiser seed")
    public = row["public_input"] or ""
    if trimmed_input(public) != public or any(ord(c) < 0x20 or c == "\x7f" for c in public):
        problems.append("public input not as recorded")
    return hashlib.sha256(netstrings("sortia-seed-2", organiser, text(public), row["eligible_digest"])).digest()


def allowed_by(rule, group):
    kind, _, names = rule.partition(":")
    return (group in names.split("|")) == (kind == "only")


def check_groups(rule, ids, groups, problems):
    if rule and groups is not None and any(not allowed_by(rule, groups.get(i)) for i in ids):
        problems.append("list holds someone the group rule leaves out")


class Checker:
    def __init__(self, db):
        self.db = db
        self.groups = dict(db.execute("select participant_id, group_name from participant_group").fetchall()) \
            if columns(db, "participant_group") else None
        self.last = {"draw": 0, "reset": 0, "correction": 0, "announcement": 0}
        self.missing = []
        self.draws, self.announcements, self.drawn_announcements = {}, {}, set()
        self.new_seen = False
        # Step 8: the accounting.
        self.known, self.expected, self.highest, self.won_numbers = False, set(), None, set()

    def number(self, kind, value, entry):
        if value <= self.last[kind]:
            entry.problems.append("number out of order")
            return
        self.missing += ["%s %d missing" % (kind, n) for n in range(self.last[kind] + 1, value)]
        self.last[kind] = value

    def check(self, entry):
        if entry.format == 1 and self.new_seen:
            entry.problems.append("old format after new entries")
        self.new_seen |= entry.format != 1
        getattr(self, "check_" + entry.kind)(entry, entry.row)
        if entry.problems:
            self.known = False

    def check_draw(self, entry, r):
        self.number("draw", r["draw_id"], entry)
        p = entry.problems
        ids = check_list(entry, p)
        winners = r["winners"]
        seed = None
        if entry.format == 1:
            seed = format1_seed(r, p)
        elif r["announcement_id"] is not None:
            a = self.announcements.get(r["announcement_id"])
            if a is None or r["announcement_id"] in self.drawn_announcements:
                p.append("announcement missing before it, or drawn twice")
            else:
                self.drawn_announcements.add(r["announcement_id"])
                if (r["eligible_digest"], r["eligible_count"], r["prize_level"], r["requested"]) != \
                        (a["eligible_digest"], a["eligible_count"], a["prize_level"], a["requested"]):
                    p.append("not the announcement's list")
                if r["organiser_seed"] or r["seed_commitment"]:
                    p.append("announced draw holds an organiser seed")
                seed = hashlib.sha256(netstrings("sortia-announced-1", a["record_digest"],
                                                 text(r["public_input"] or ""))).digest()
        else:
            seed = format2_seed(r, p)
        if entry.format != 1 and seed is not None and seed.hex() != r["seed"]:
            p.append("seed does not follow from its inputs")
        check_groups(r["group_rule"], ids, self.groups, p)
        if len(winners) != r["requested"] or len(ids) < r["requested"]:
            p.append("winner count differs")
        elif seed is not None and [w[1] for w in winners] != [ids[i] for i in picks(seed, len(ids), len(winners))]:
            p.append("winners do not follow from the seed")
        if record_digest("draw", r) != r["record_digest"]:
            p.append("record digest differs")
        self.draws[r["draw_id"]] = {"row": r, "holders": {w[0]: w[1] for w in winners},
                                    "won": {w[1] for w in winners}, "voids": 0}
        if r["announcement_id"] is None and ids:
            self.observe(ids, not r["group_rule"], entry.format != 1, p)
        for w in winners:
            self.win(w[1], w[3])

    def check_void(self, entry, r):
        p = entry.problems
        d = self.draws.get(r["draw_id"])
        if d is None or r["draw_id"] != self.last["draw"]:
            p.append("void not after its draw")
            d = d or {"row": {"group_rule": ""}, "holders": {}, "won": set(), "voids": 0}
        d["voids"] += 1
        if r["void_seq"] != d["voids"]:
            p.append("void number out of order")
        if d["holders"].get(r["position"]) != r["voided_id"]:
            p.append("voided winner differs")
        ids = check_list(entry, p)
        rule = d["row"]["group_rule"] if entry.format != 1 else ""
        check_groups(rule, ids, self.groups, p)
        seed = format1_seed(r, p) if entry.format == 1 else format2_seed(r, p)
        if entry.format != 1 and seed is not None and seed.hex() != r["seed"]:
            p.append("seed does not follow from its inputs")
        if seed is None or not ids or ids[picks(seed, len(ids), 1)[0]] != r["replacement_id"]:
            p.append("replacement does not follow from the seed")
        if d["won"] & set(ids):
            p.append("list holds a winner of the draw")
        if record_digest("void", r) != r["record_digest"]:
            p.append("record digest differs")
        d["holders"][r["position"]] = r["replacement_id"]
        d["won"].add(r["replacement_id"])
        if ids:
            self.observe(ids, not rule, entry.format != 1, p)
        self.win(r["replacement_id"], r["replacement_number"])

    def check_reset(self, entry, r):
        self.number("reset", r["reset_seq"], entry)
        ids = check_list(entry, entry.problems)
        if record_digest("reset", r) != r["record_digest"]:
            entry.problems.append("record digest differs")
        if self.known and self.expected - set(ids):
            entry.problems.append("ids left without a recorded win: %s" % sorted(self.expected - set(ids)))
        self.expected, self.known, self.won_numbers = set(ids), True, set()
        self.raise_highest(ids)

    def check_correction(self, entry, r):
        self.number("correction", r["correction_seq"], entry)
        if r["draw_id"] not in self.draws:
            entry.problems.append("corrects a draw not before it")
        if record_digest("correction", r) != r["record_digest"]:
            entry.problems.append("record digest differs")

    def check_announcement(self, entry, r):
        self.number("announcement", r["announcement_id"], entry)
        ids = check_list(entry, entry.problems)
        check_groups(r["group_rule"], ids, self.groups, entry.problems)
        if not 1 <= r["requested"] <= r["eligible_count"]:
            entry.problems.append("asks for more winners than the list holds")
        if record_digest("announcement", r) != r["record_digest"]:
            entry.problems.append("record digest differs")
        self.announcements[r["announcement_id"]] = r
        if ids:
            self.observe(ids, not r["group_rule"], True, entry.problems)

    def raise_highest(self, ids):
        if ids:
            self.highest = max(ids) if self.highest is None else max(self.highest, max(ids))

    def win(self, participant, number):
        self.expected.discard(participant)
        if number is not None:
            self.won_numbers.add(number)

    def observe(self, ids, whole, new_format, problems):
        listed = set(ids)
        again = [i for i in listed - self.expected if self.highest is not None and i <= self.highest]
        if self.known and new_format and again:
            problems.append("ids eligible again without a recorded reset: %s" % sorted(again))
        if not whole:
            return
        if self.known and new_format:
            gone = self.expected - listed
            marked = {row[0] for n in self.won_numbers
                      for row in self.db.execute("select id from sheet where user_number = ?", (n,))}
            if gone - marked:
                problems.append("ids left without a recorded win: %s" % sorted(gone - marked))
        self.expected, self.known = listed, self.known or new_format
        self.raise_highest(ids)


def segments(order):
    """Step 9: the draw whose segment holds each entry."""
    current, result = 0, []
    for e in order:
        if e.kind == "draw":
            current = e.row["draw_id"]
        result.append(current)
    return result


def main(args):
    path, anchors = args[0], []
    for i, arg in enumerate(args[1:]):
        if args[i] == "--against":
            draw_id, _, prefix = arg.replace("sortia-draw:", "").partition(":")
            anchors.append((int(draw_id), prefix.lower()))
    db = sqlite3.connect(path)
    db.text_factory = lambda b: b.decode("utf-8", "surrogateescape")
    order = chain_order(read_entries(db))
    checker = Checker(db)
    all_ok = True
    for entry in order:
        checker.check(entry)
        all_ok &= report(entry.name, entry.problems)
    if checker.known:
        now = [row[0] for row in db.execute("select id from sheet where isluck = '否' order by id desc")]
        problems = []
        checker.observe(now, True, True, problems)
        all_ok &= not problems
        for problem in problems:
            print("now: " + problem)
    for problem in checker.missing:
        print(problem)
        all_ok = False
    held = segments(order)
    for draw_id, prefix in anchors:
        found = any(s == draw_id and e.digest.startswith(prefix) for s, e in zip(held, order))
        print("anchor %d:%s: %s" % (draw_id, prefix, "found" if found else "NOT FOUND"))
        all_ok &= found
    return 0 if all_ok else 1


def report(name, problems):
    print("%s: %s" % (name, "; ".join(problems) if problems else "ok"))
    return not problems


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
