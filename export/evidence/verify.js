// Recomputes one recorded draw from its evidence pack, offline, with nothing
// but this script: the eligible list's digest, the organiser's commitment,
// the seed, every winner, every entry's digest and the links between them.
// The same file runs inside verify.html (any current browser, also from a
// file: URL, where the browser's own crypto may be unavailable: hence the
// SHA-256 below) and under Node for the tests:
//   node verify.js PACK.json     prints the findings, exits 0 on a match
"use strict";

(function (root) {
  // ---- SHA-256 (FIPS 180-4) over bytes ----
  const K = new Uint32Array([
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
  ]);

  function rotr(x, n) {
    return (x >>> n) | (x << (32 - n));
  }

  function sha256(bytes) {
    const h = new Uint32Array([
      0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
    ]);
    // The message, a 1 bit, zeros to 56 mod 64 bytes, and its length in bits.
    const total = Math.ceil((bytes.length + 9) / 64) * 64;
    const padded = new Uint8Array(total);
    padded.set(bytes);
    padded[bytes.length] = 0x80;
    const view = new DataView(padded.buffer);
    view.setUint32(total - 8, Math.floor(bytes.length / 0x20000000));
    view.setUint32(total - 4, (bytes.length * 8) >>> 0);
    const w = new Uint32Array(64);
    for (let block = 0; block < total; block += 64) {
      for (let t = 0; t < 16; ++t) w[t] = view.getUint32(block + 4 * t);
      for (let t = 16; t < 64; ++t) {
        const s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >>> 3);
        const s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >>> 10);
        w[t] = (w[t - 16] + s0 + w[t - 7] + s1) >>> 0;
      }
      let [a, b, c, d, e, f, g, hh] = h;
      for (let t = 0; t < 64; ++t) {
        const t1 = (hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[t] + w[t]) >>> 0;
        const t2 = ((rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c))) >>> 0;
        hh = g; g = f; f = e; e = (d + t1) >>> 0;
        d = c; c = b; b = a; a = (t1 + t2) >>> 0;
      }
      [a, b, c, d, e, f, g, hh].forEach((v, i) => { h[i] = (h[i] + v) >>> 0; });
    }
    const out = new Uint8Array(32);
    const outView = new DataView(out.buffer);
    h.forEach((v, i) => outView.setUint32(4 * i, v));
    return out;
  }

  // ---- bytes and texts ----
  function toHex(bytes) {
    return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
  }

  function fromHex(text) {
    if (typeof text !== "string" || text.length % 2 || /[^0-9a-f]/i.test(text)) return null;
    const out = new Uint8Array(text.length / 2);
    for (let i = 0; i < out.length; ++i) out[i] = parseInt(text.substr(2 * i, 2), 16);
    return out;
  }

  function concat(parts) {
    const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const p of parts) { out.set(p, at); at += p.length; }
    return out;
  }

  const encoder = new TextEncoder();

  // A stored value as the bytes the digests cover: Null is the empty text,
  // numbers are decimal, a text that is not UTF-8 comes as {"hex": "..."}.
  function bytesOf(value) {
    if (value === null || value === undefined) return new Uint8Array(0);
    if (value instanceof Uint8Array) return value;
    if (typeof value === "object" && typeof value.hex === "string") return fromHex(value.hex) || new Uint8Array(0);
    return encoder.encode(String(value));
  }

  function netstrings(fields) {
    const parts = [];
    for (const field of fields) {
      const bytes = bytesOf(field);
      parts.push(encoder.encode(bytes.length + ":"), bytes, encoder.encode(","));
    }
    return concat(parts);
  }

  function digestOf(fields) {
    return toHex(sha256(netstrings(fields)));
  }

  // ---- the eligible list ----
  const TWO64 = 1n << 64n;

  function encodeIds(ids) {
    const out = [];
    let previous = 0n;
    for (const id of ids) {
      let difference = BigInt.asIntN(64, id - previous);
      previous = id;
      let value = difference >= 0n ? difference << 1n : ((-difference) << 1n) - 1n;  // zigzag
      do {
        let byte = Number(value & 0x7fn);
        value >>= 7n;
        if (value) byte |= 0x80;
        out.push(byte);
      } while (value);
    }
    return Uint8Array.from(out);
  }

  function idsOf(list) {
    return (list || []).map((id) => BigInt(id));
  }

  // ---- picks: README steps 3 to 5 ----
  function picks(seed, size, n) {
    const chosen = [];
    const taken = new Set();
    const limit = TWO64 - (TWO64 % BigInt(size));
    const counter = new Uint8Array(8);
    const counterView = new DataView(counter.buffer);
    for (let j = 0n; chosen.length < n; ++j) {
      counterView.setBigUint64(0, j);
      const u = new DataView(sha256(concat([seed, counter])).buffer).getBigUint64(0);
      if (u >= limit) continue;
      const index = Number(u % BigInt(size));
      if (taken.has(index)) continue;
      taken.add(index);
      chosen.push(index);
    }
    return chosen;
  }

  // ---- what each kind of entry's digest covers ----
  const DIGEST_FIELDS = {
    draw1: (e) => ["sortia-draw-1", e.previous_digest, e.draw_id, e.drawn_at, e.prize_level, e.requested,
      e.eligible_count, e.eligible_digest, e.seed].concat(winnerFields(e.winners)),
    draw2: (e) => ["sortia-draw-2", e.previous_digest, e.draw_id, e.drawn_at, e.prize_level, e.prize_name,
      e.plan_round, e.group_rule, e.requested, e.eligible_count, e.eligible_digest, e.organiser_seed,
      e.seed_commitment, e.public_input, e.announcement_id, e.seed].concat(winnerFields(e.winners)),
    void1: (e) => ["sortia-void-1", e.previous_digest, e.draw_id, e.void_seq, e.voided_at, e.position,
      e.voided_id, e.eligible_count, e.eligible_digest, e.seed, e.replacement_id, e.replacement_name,
      e.replacement_number],
    void2: (e) => ["sortia-void-2", e.previous_digest, e.draw_id, e.void_seq, e.voided_at, e.position,
      e.voided_id, e.reason, e.eligible_count, e.eligible_digest, e.organiser_seed, e.seed_commitment,
      e.public_input, e.seed, e.replacement_id, e.replacement_name, e.replacement_number],
    reset1: (e) => ["sortia-reset-1", e.previous_digest, e.reset_seq, e.reset_at, e.reset_rows,
      e.eligible_count, e.eligible_digest],
    correction1: (e) => ["sortia-correction-1", e.previous_digest, e.correction_seq, e.draw_id,
      e.corrected_at, e.prize_level, e.prize_name, e.reason],
    announcement1: (e) => ["sortia-announcement-1", e.previous_digest, e.announcement_id, e.announced_at,
      e.prize_level, e.requested, e.source, e.eligible_count, e.eligible_digest],
  };

  function winnerFields(winners) {
    const fields = [(winners || []).length];
    for (const w of winners || []) fields.push(w.position, w.participant_id, w.user_name, w.user_number);
    return fields;
  }

  function formatOf(entry) {
    return entry.kind + (entry.record_format || 1);
  }

  // ---- the seeds of format 2 ----
  function drawSeed(entry, announcement) {
    if (entry.announcement_id !== null && entry.announcement_id !== undefined && entry.announcement_id !== "")
      return sha256(netstrings(["sortia-announced-1", announcement ? announcement.record_digest : "",
        entry.public_input]));
    const organiser = fromHex(entry.organiser_seed) || new Uint8Array(0);
    return sha256(netstrings(["sortia-seed-2", organiser, entry.public_input, entry.eligible_digest]));
  }

  // ---- the findings, in two languages ----
  const WORDS = {
    listDigest: ["the eligible list does not give the recorded digest", "候选名单算出的摘要与记录不符"],
    listCount: ["the eligible list holds %1 people, the record says %2", "候选名单有 %1 人，记录写的是 %2 人"],
    commitment: ["the organiser's seed does not give the commitment shown before the draw",
      "组织者种子与抽奖前公布的承诺值不符"],
    seed: ["the seed does not follow from the organiser's seed, the public input and the list",
      "种子不是由组织者种子、公开输入和名单算出的"],
    announcedSeed: ["the seed does not follow from the announcement and the public input",
      "种子不是由公告和公开输入算出的"],
    announcement: ["the draw names announcement %1, which this pack does not hold or which differs",
      "本次抽奖引用的第 %1 号公告不在本文件中或与之不符"],
    announcedList: ["the draw's list is not the list announced in advance", "本次抽奖的名单不是事先公告的名单"],
    winners: ["the winners do not follow from the seed and the list (position %1: recorded id %2, computed id %3)",
      "中奖者不是由种子和名单算出的（第 %1 名：记录的编号 %2，算出的编号 %3）"],
    winnerCount: ["the draw records %1 winners for %2 asked", "记录有 %1 名中奖者，要求的是 %2 名"],
    digest: ["the entry's digest differs from what its contents give", "该条记录的摘要与其内容不符"],
    masked: ["names are masked in this pack, so the entry's digest cannot be recomputed here",
      "本文件中的姓名已打码，无法在此重算该条记录的摘要"],
    link: ["the entry does not follow the one before it (link differs)", "该条记录与前一条没有衔接（链接不符）"],
    voided: ["the voided winner is not who held position %1", "被作废的人不是第 %1 名的当时得主"],
    voidList: ["the replacement's list holds someone who had already won in this draw (id %1)",
      "补抽名单中含有本次已中奖的人（编号 %1）"],
    replacement: ["the replacement does not follow from its seed and list", "补抽结果不是由其种子和名单算出的"],
    unknownKind: ["an entry of a kind this page does not know", "本页面不认识的记录类型"],
  };

  function say(language, key, values) {
    let text = WORDS[key][language === "zh" ? 1 : 0];
    (values || []).forEach((v, i) => { text = text.split("%" + (i + 1)).join(String(v)); });
    return text;
  }

  // ---- the checks ----
  function checkList(entry, ids, report) {
    if (toHex(sha256(encodeIds(ids))) !== entry.eligible_digest) report("listDigest");
    if (ids.length !== Number(entry.eligible_count)) report("listCount", [ids.length, entry.eligible_count]);
  }

  function checkDraw(entry, state, report) {
    const ids = idsOf(entry.eligible_ids);
    checkList(entry, ids, report);
    let seed = fromHex(entry.seed) || new Uint8Array(0);
    if ((entry.record_format || 1) >= 2) {
      const announced = entry.announcement_id !== null && entry.announcement_id !== undefined;
      if (announced) {
        const a = state.announcement;
        if (!a || String(a.announcement_id) !== String(entry.announcement_id) ||
            digestOf(DIGEST_FIELDS.announcement1(a)) !== a.record_digest)
          report("announcement", [entry.announcement_id]);
        else if (a.eligible_digest !== entry.eligible_digest)
          report("announcedList");
        if (toHex(drawSeed(entry, a)) !== entry.seed) report("announcedSeed");
      } else {
        const organiser = fromHex(entry.organiser_seed) || new Uint8Array(0);
        if (toHex(sha256(organiser)) !== entry.seed_commitment) report("commitment");
        if (toHex(drawSeed(entry, null)) !== entry.seed) report("seed");
      }
    }
    const winners = entry.winners || [];
    if (winners.length !== Number(entry.requested) || ids.length < winners.length) {
      report("winnerCount", [winners.length, entry.requested]);
    } else if (winners.length) {
      const chosen = picks(seed, ids.length, winners.length);
      for (let k = 0; k < winners.length; ++k) {
        const computed = ids[chosen[k]];
        if (Number(winners[k].position) !== k + 1 || BigInt(winners[k].participant_id) !== computed) {
          report("winners", [k + 1, winners[k].participant_id, computed]);
          break;
        }
      }
    }
    state.holders = new Map(winners.map((w) => [Number(w.position), BigInt(w.participant_id)]));
    state.wonInDraw = new Set(winners.map((w) => BigInt(w.participant_id)));
  }

  function checkVoid(entry, state, report) {
    const position = Number(entry.position);
    if (!state.holders || state.holders.get(position) !== BigInt(entry.voided_id)) report("voided", [position]);
    const ids = idsOf(entry.eligible_ids);
    checkList(entry, ids, report);
    const already = ids.find((id) => state.wonInDraw && state.wonInDraw.has(id));
    if (already !== undefined) report("voidList", [already]);
    if ((entry.record_format || 1) >= 2) {
      const organiser = fromHex(entry.organiser_seed) || new Uint8Array(0);
      if (toHex(sha256(organiser)) !== entry.seed_commitment) report("commitment");
      if (toHex(drawSeed(entry, null)) !== entry.seed) report("seed");
    }
    const seed = fromHex(entry.seed) || new Uint8Array(0);
    if (!ids.length || ids[picks(seed, ids.length, 1)[0]] !== BigInt(entry.replacement_id)) report("replacement");
    if (state.holders) state.holders.set(position, BigInt(entry.replacement_id));
    if (state.wonInDraw) state.wonInDraw.add(BigInt(entry.replacement_id));
  }

  // Every check of the pack: {ok, entries: [{name, anchor, findings}]}.
  function verifyPack(pack) {
    const language = pack.language === "zh" ? "zh" : "en";
    const state = { announcement: pack.announcement || null, holders: null, wonInDraw: null };
    const entries = [];
    let previous = null;
    for (const entry of pack.entries || []) {
      const findings = [];
      const report = (key, values) => findings.push(say(language, key, values));
      const fields = DIGEST_FIELDS[formatOf(entry)];
      if (!fields) {
        report("unknownKind");
      } else {
        const hidesNames = pack.masked && (entry.kind === "draw" || entry.kind === "void");
        if (hidesNames) report("masked");
        else if (digestOf(fields(entry)) !== entry.record_digest) report("digest");
        if (previous !== null && !entry.after_gap && entry.previous_digest !== previous) report("link");
        if (entry.kind === "draw") checkDraw(entry, state, report);
        else if (entry.kind === "void") checkVoid(entry, state, report);
        else if (entry.kind === "reset") checkList(entry, idsOf(entry.eligible_ids), report);
        else if (entry.kind === "announcement") checkList(entry, idsOf(entry.eligible_ids), report);
      }
      previous = entry.record_digest;
      // A masked pack cannot prove the digests; that alone is said, not counted as a mismatch.
      const maskedOnly = findings.length === 1 && findings[0] === say(language, "masked");
      entries.push({ name: entryName(entry, language), digest: entry.record_digest, findings,
        ok: findings.length === 0 || maskedOnly });
    }
    return { ok: entries.length > 0 && entries.every((e) => e.ok), entries };
  }

  function entryName(entry, language) {
    const zh = language === "zh";
    switch (entry.kind) {
      case "draw": return zh ? "第 " + entry.draw_id + " 次抽奖" : "draw " + entry.draw_id;
      case "void": return zh ? "第 " + entry.draw_id + " 次抽奖的第 " + entry.void_seq + " 次作废"
        : "draw " + entry.draw_id + " void " + entry.void_seq;
      case "correction": return zh ? "第 " + entry.draw_id + " 次抽奖的更正" : "correction of draw " + entry.draw_id;
      case "reset": return zh ? "第 " + entry.reset_seq + " 次复位" : "reset " + entry.reset_seq;
      case "announcement": return zh ? "第 " + entry.announcement_id + " 号公告" : "announcement " + entry.announcement_id;
      default: return String(entry.kind);
    }
  }

  const api = { sha256, toHex, netstrings, digestOf, encodeIds, picks, verifyPack };
  if (typeof module !== "undefined" && module.exports) module.exports = api;
  else root.SortiaEvidence = api;

  // Under Node, as a program: node verify.js PACK.json
  if (typeof require !== "undefined" && typeof module !== "undefined" && require.main === module) {
    const pack = JSON.parse(require("fs").readFileSync(process.argv[2], "utf8"));
    const result = verifyPack(pack);
    for (const e of result.entries)
      console.log(e.name + ": " + (e.findings.length ? e.findings.join("; ") : "ok"));
    console.log(result.ok ? "match" : "mismatch");
    process.exit(result.ok ? 0 : 1);
  }
})(this);
