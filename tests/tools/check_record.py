#!/usr/bin/python3
"""Checks the draw record of a Sortia database from the description in
README.md alone ("Checking a draw"), without any of the program's code.

usage: check_record.py DATABASE
Prints one line per entry ("draw 2: ok", "draw 2 void 1: ok" or what
differs) and exits 0 when everything matches, 1 otherwise."""

import hashlib
import sqlite3
import sys

MASK = 2**64


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


def picks(seed_hex, size, n):
    seed, chosen, j = bytes.fromhex(seed_hex), [], 0
    limit = MASK - MASK % size
    while len(chosen) < n:
        u = int.from_bytes(hashlib.sha256(seed + j.to_bytes(8, "big")).digest()[:8], "big")
        j += 1
        if u >= limit:
            continue
        if u % size not in chosen:
            chosen.append(u % size)
    return chosen


def digest(*fields):
    hash = hashlib.sha256()
    for field in fields:
        data = field if isinstance(field, bytes) else str(field if field is not None else "").encode()
        hash.update(str(len(data)).encode() + b":" + data + b",")
    return hash.hexdigest()


def text(value):
    # Names and numbers are compared as the bytes the database holds.
    return value.encode("utf-8", "surrogateescape") if isinstance(value, str) else value


def check_list(blob, count, list_digest, problems):
    ids = decode_ids(bytes(blob))
    if len(ids) != count:
        problems.append("list holds %d ids, record says %d" % (len(ids), count))
    if hashlib.sha256(bytes(blob)).hexdigest() != list_digest:
        problems.append("list digest differs")
    return ids


def main(path):
    db = sqlite3.connect(path)
    db.text_factory = lambda b: b.decode("utf-8", "surrogateescape")
    previous, all_ok, expected_id = "0" * 64, True, 1
    draws = db.execute("select draw_id, drawn_at, prize_level, requested, eligible_count, eligible_digest,"
                       " eligible_ids, seed, previous_digest, record_digest from draw_record order by draw_id")
    for (draw_id, at, level, requested, count, list_digest, blob, seed, prev, record_digest) in draws.fetchall():
        problems = [] if draw_id == expected_id else ["draws before it are missing"]
        expected_id = draw_id + 1
        ids = check_list(blob, count, list_digest, problems)
        winners = db.execute("select position, participant_id, user_name, user_number from draw_winner"
                             " where draw_id = ? order by position", (draw_id,)).fetchall()
        if len(winners) != requested or len(ids) < requested:
            problems.append("winner count differs")
        elif [w[1] for w in winners] != [ids[i] for i in picks(seed, len(ids), requested)]:
            problems.append("winners do not follow from the seed")
        fields = ["sortia-draw-1", prev, draw_id, at, text(level), requested, count, list_digest, seed, len(winners)]
        for position, participant, name, number in winners:
            fields += [position, participant, text(name), text(number)]
        if digest(*fields) != record_digest:
            problems.append("record digest differs")
        if prev != previous:
            problems.append("chain link differs")
        previous = record_digest
        all_ok &= report("draw %d" % draw_id, problems)
        holders = {w[0]: w[1] for w in winners}
        voids = db.execute("select void_seq, position, voided_id, voided_at, eligible_count, eligible_digest,"
                           " eligible_ids, seed, replacement_id, replacement_name, replacement_number,"
                           " previous_digest, record_digest from draw_void where draw_id = ? order by void_seq",
                           (draw_id,)).fetchall()
        for (seq, position, voided, at, count, list_digest, blob, seed, new, name, number, prev, entry_digest) in voids:
            problems = []
            if holders.get(position) != voided:
                problems.append("voided winner differs")
            ids = check_list(blob, count, list_digest, problems)
            if not ids or ids[picks(seed, len(ids), 1)[0]] != new:
                problems.append("replacement does not follow from the seed")
            if digest("sortia-void-1", prev, draw_id, seq, at, position, voided, count, list_digest, seed, new,
                      text(name), text(number)) != entry_digest:
                problems.append("record digest differs")
            if prev != previous:
                problems.append("chain link differs")
            previous, holders[position] = entry_digest, new
            all_ok &= report("draw %d void %d" % (draw_id, seq), problems)
    return 0 if all_ok else 1


def report(name, problems):
    print("%s: %s" % (name, "; ".join(problems) if problems else "ok"))
    return not problems


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
