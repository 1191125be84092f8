// Plays seeded random legal games with chess.js and writes them as PGN in
// the shapes real files have, with the reference moves beside them.
//
//   node gen_games.js CHESSJS_DIR OUT_DIR GAMES SEED
//
// OUT_DIR/games.pgn     the games (comments, NAGs, variations, set-ups)
// OUT_DIR/expected.txt  one line per game: from-to[promotion] of every move
// OUT_DIR/coverage.txt  how often each special case was played
//
// Moves are drawn with a bias towards castling, en passant, promotions,
// disambiguated SAN and moves whose twin piece is pinned, so that every game
// set exercises them.
'use strict';
const fs = require('fs');
const path = require('path');
const [chessDir, outDir, gamesArg, seedArg] = process.argv.slice(2);
const { Chess } = require(path.resolve(chessDir));

let seed = Number(seedArg) >>> 0;
function rnd() {
  // mulberry32
  seed = (seed + 0x6d2b79f5) >>> 0;
  let t = seed;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const pick = (a) => a[Math.floor(rnd() * a.length)];
const BITS = { EP: 8, PROMO: 16, KCASTLE: 32, QCASTLE: 64 };
const alg = (sq) => 'abcdefgh'[sq & 15] + (8 - (sq >> 4));

// Start positions: [FEN or null, forced first moves].
const starts = [
  [null, []],
  [null, []],
  [null, []],
  ['r3k2r/pppq1ppp/2n2n2/3pp3/1bPP4/2N1PN2/PP1B1PPP/R2QKB1R b KQkq - 0 8', []],
  ['1k2r3/8/8/2N1N3/8/2N1N3/8/4K2R w K - 0 1', []],
  ['4k3/1P4P1/8/8/8/8/1p4p1/4K3 w - - 0 1', []],
  ['4k3/1P4P1/8/8/8/8/1p4p1/4K3 b - - 0 1', []],
  ['4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1', ['e4']],
  ['4k3/2p5/8/1P6/8/8/8/4K3 b - - 0 1', ['c5']],
  ['4k3/8/8/7b/8/5N2/8/1N1K4 w - - 0 1', ['Nd2']],
  ['1n1k4/8/5n2/8/7B/8/8/4K3 b - - 0 1', ['Nd7']],
  ['3k4/8/8/R7/8/8/8/R3K3 w - - 0 1', []],
  ['3qk3/8/8/8/8/8/8/Q3K2Q b - - 0 1', []],
  ['4k3/8/8/8/Q1Q5/8/Q7/4K3 w - - 0 1', ['Qa4b3']],
  ['4k3/q7/8/q1q5/8/8/8/4K3 b - - 0 1', ['Qa5b6']],
  ['r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1', []],
  ['r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4', []],
];

const coverage = {
  games: 0, plies: 0, blackFirst: 0, enPassant: 0, castleKing: 0, castleQueen: 0,
  promoteQ: 0, promoteR: 0, promoteB: 0, promoteN: 0,
  byFile: 0, byRank: 0, bySquare: 0, pinnedTwin: 0,
};

// Facts about the moves of one position, found once: which legal moves need
// their from-square written, and which have a twin (same kind and colour,
// same destination) that a pin keeps from moving there.
function facts(c, legal) {
  const pseudo = c._moves({ legal: false });
  const isLegal = new Set(legal.map((l) => l.from * 128 + l.to));
  const pinnedTo = new Set(pseudo.filter((p) => !isLegal.has(p.from * 128 + p.to) &&
    p.piece !== 'k' && p.piece !== 'p').map((p) => p.piece + p.to));
  const count = new Map();
  for (const l of legal) {
    const k = l.piece + l.to;
    count.set(k, (count.get(k) || 0) + 1);
  }
  return {
    pinnedTwin: (m) => pinnedTo.has(m.piece + m.to),
    ambiguous: (m) => m.piece !== 'p' && count.get(m.piece + m.to) > 1,
  };
}

function special(m, f) {
  return (m.flags & (BITS.EP | BITS.PROMO | BITS.KCASTLE | BITS.QCASTLE)) !== 0 ||
    f.ambiguous(m) || f.pinnedTwin(m);
}

function note(m, f, san) {
  if (m.flags & BITS.EP) coverage.enPassant++;
  if (m.flags & BITS.KCASTLE) coverage.castleKing++;
  if (m.flags & BITS.QCASTLE) coverage.castleQueen++;
  if (m.flags & BITS.PROMO) coverage['promote' + m.promotion.toUpperCase()]++;
  const d = /^[NBRQK]([a-h]?)([1-8]?)x?[a-h][1-8]/.exec(san);
  if (d && d[1] && d[2]) coverage.bySquare++;
  else if (d && d[1]) coverage.byFile++;
  else if (d && d[2]) coverage.byRank++;
  if (f.pinnedTwin(m)) coverage.pinnedTwin++;
}

const games = Number(gamesArg);
let pgn = '';
let expected = '';
for (let g = 0; g < games; g++) {
  const [fen, forced] = starts[g % starts.length];
  const c = fen ? new Chess(fen) : new Chess();
  const blackFirst = c.turn() === 'b';
  if (blackFirst) coverage.blackFirst++;
  let number = fen ? Number(fen.split(' ')[5]) : 1;
  const maxPlies = 20 + Math.floor(rnd() * 140);
  const tokens = [];
  const moves = [];
  for (let ply = 0; ply < maxPlies; ply++) {
    const legal = c._moves({ legal: true });
    if (legal.length === 0) break;
    const f = facts(c, legal);
    let m;
    if (ply < forced.length) {
      m = legal.find((l) => c._moveToSan(l, legal) === forced[ply]);
    } else if (rnd() < 0.6) {
      const sp = legal.filter((l) => special(l, f));
      m = sp.length ? pick(sp) : pick(legal);
    } else {
      m = pick(legal);
    }
    const san = c._moveToSan(m, legal);
    note(m, f, san);
    const white = c.turn() === 'w';
    if (white) tokens.push(pick([`${number}.`, `${number}. `]) + '\u0000');
    else if (ply === 0) tokens.push(`${number}...` + pick(['', ' ']) + '\u0000');
    let text = san;
    const r = rnd();
    if (r < 0.05) text += pick(['!', '?', '!?', '?!', '!!', '??']);
    else if (r < 0.08) text += ' $' + (1 + Math.floor(rnd() * 200));
    else if (r < 0.11) text += ' {a comment (with a parenthesis}';
    else if (r < 0.13) text += ' (' + pick(['1.e4 e5', 'Nf3 {side} (d4 d5) Nc6', '$1']) + ')';
    else if (r < 0.14) text += ' {a comment\nover lines}';
    tokens.push(text);
    moves.push(alg(m.from) + alg(m.to) + (m.promotion || ''));
    c._makeMove(m);
    if (!white) number++;
  }
  const result = pick(['1-0', '0-1', '1/2-1/2', '*']);
  let tags = `[Event "gen ${g + 1}"]\n[Site "chess.js"]\n[White "W${g}"]\n[Black "B${g}"]\n` +
    `[Result "${result}"]\n`;
  if (fen) tags += `[FEN "${fen}"]\n[SetUp "1"]\n`;
  // Movetext as one long line or wrapped; numbers glued to their moves.
  const words = tokens.join(' ').replace(/\u0000 /g, '').split(' ');
  let body = '';
  if (rnd() < 0.3) {
    body = words.join(' ');
  } else {
    let line = '';
    for (const w of words) {
      if (line.length + w.length > 79) { body += line + '\n'; line = ''; }
      line += (line ? ' ' : '') + w;
    }
    body += line;
  }
  pgn += tags + '\n' + body + ' ' + result + '\n\n';
  expected += moves.join(' ') + '\n';
  coverage.games++;
  coverage.plies += moves.length;
}
fs.writeFileSync(path.join(outDir, 'games.pgn'), pgn);
fs.writeFileSync(path.join(outDir, 'expected.txt'), expected);
fs.writeFileSync(path.join(outDir, 'coverage.txt'),
  Object.entries(coverage).map(([k, v]) => `${k} ${v}`).join('\n') + '\n');
