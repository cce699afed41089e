#!/usr/bin/python3
"""A forger with the database file and the README, for the tests: picks a
new seed until a chosen participant wins, marks the database to suit, and
writes every digest of the chain anew, so that nothing inside the file gives
the forgery away.

usage: forge_record.py DATABASE draw DRAW POSITION TARGET_ID [--keep-commitment | --seed-only]
       forge_record.py DATABASE void DRAW VOID_SEQ TARGET_ID
       forge_record.py DATABASE reseal
A draw or void of format 2 gets a new organiser seed and commitment (with
--keep-commitment the published commitment stays; with --seed-only only the
seed column changes); one of format 1 a new seed. Prints the tries needed."""

import hashlib
import os
import sqlite3
import sys

import check_record as record

MAX_TRIES = 200000


def grind(row, ids, pick_position, target, mode):
    """New seeds until the pick at `pick_position` (0-based) is `target`."""
    for tries in range(1, MAX_TRIES):
        organiser = os.urandom(32)
        if (row["record_format"] or 1) == 1 or mode == "--seed-only":
            seed = organiser
        else:
            seed = hashlib.sha256(record.netstrings("sortia-seed-2", organiser, record.text(row["public_input"] or ""),
                                                    row["eligible_digest"])).digest()
        chosen = record.picks(seed, len(ids), pick_position + 1)
        if ids[chosen[pick_position]] == target:
            if (row["record_format"] or 1) != 1 and mode != "--seed-only":
                row["organiser_seed"] = organiser.hex()
                if mode != "--keep-commitment":
                    row["seed_commitment"] = hashlib.sha256(organiser).hexdigest()
            row["seed"] = seed.hex()
            return seed, tries
    sys.exit("no seed found")


def mark(db, won, lost):
    db.executemany("update sheet set isluck = '否' where id = ?", [(i,) for i in lost])
    db.executemany("update sheet set isluck = '是' where id = ?", [(i,) for i in won])


def person(db, participant):
    return db.execute("select user_name, user_number from sheet where id = ?", (participant,)).fetchone()


def forge_draw(db, draw_id, position, target, mode):
    row = record.rows(db, "draw_record", "draw_id")[draw_id - 1]
    ids = record.decode_ids(bytes(row["eligible_ids"]))
    seed, tries = grind(row, ids, position - 1, target, mode)
    before = [w[0] for w in db.execute("select participant_id from draw_winner where draw_id = ?", (draw_id,))]
    winners = [ids[i] for i in record.picks(seed, len(ids), row["requested"])]
    db.execute("delete from draw_winner where draw_id = ?", (draw_id,))
    for k, participant in enumerate(winners):
        name, number = person(db, participant)
        db.execute("insert into draw_winner values (?, ?, ?, ?, ?)", (draw_id, k + 1, participant, name, number))
    if (row["record_format"] or 1) == 1:
        db.execute("update draw_record set seed = ? where draw_id = ?", (row["seed"], draw_id))
    else:
        db.execute("update draw_record set seed = ?, organiser_seed = ?, seed_commitment = ? where draw_id = ?",
                   (row["seed"], row["organiser_seed"], row["seed_commitment"], draw_id))
    mark(db, winners, set(before) - set(winners))
    return tries


def forge_void(db, draw_id, seq, target):
    voids = record.rows(db, "draw_void", "draw_id, void_seq")
    row = [r for r in voids if (r["draw_id"], r["void_seq"]) == (draw_id, seq)][0]
    ids = record.decode_ids(bytes(row["eligible_ids"]))
    seed, tries = grind(row, ids, 0, target, "")
    name, number = person(db, target)
    db.execute("update draw_void set seed = ?, organiser_seed = ?, seed_commitment = ?, replacement_id = ?,"
               " replacement_name = ?, replacement_number = ? where draw_id = ? and void_seq = ?",
               (row["seed"], row["organiser_seed"], row["seed_commitment"], target, name, number, draw_id, seq))
    mark(db, [target], [row["replacement_id"]])
    return tries


KEYS = {"draw": ("draw_record", ["draw_id"]), "void": ("draw_void", ["draw_id", "void_seq"]),
        "reset": ("draw_reset", ["reset_seq"]), "correction": ("draw_correction", ["correction_seq"]),
        "announcement": ("draw_announcement", ["announcement_id"])}


def reseal(db):
    """Every entry linked to the one before it and given its digest anew."""
    previous = record.START
    for entry in record.chain_order(record.read_entries(db)):
        row = entry.row
        row["previous_digest"] = previous
        row["record_digest"] = record.record_digest(entry.kind, row)
        table, key = KEYS[entry.kind]
        db.execute("update %s set previous_digest = ?, record_digest = ? where %s" %
                   (table, " and ".join(k + " = ?" for k in key)),
                   [row["previous_digest"], row["record_digest"]] + [row[k] for k in key])
        previous = row["record_digest"]


def main(args):
    db = sqlite3.connect(args[0])
    db.text_factory = lambda b: b.decode("utf-8", "surrogateescape")
    tries = 0
    if args[1] == "draw":
        tries = forge_draw(db, int(args[2]), int(args[3]), int(args[4]), args[5] if len(args) > 5 else "")
    elif args[1] == "void":
        tries = forge_void(db, int(args[2]), int(args[3]), int(args[4]))
    reseal(db)
    db.commit()
    print("tries: %d" % tries)


if __name__ == "__main__":
    main(sys.argv[1:])
