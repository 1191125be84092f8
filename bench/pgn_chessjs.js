// chess.js side of bench/pgn.sh: loads the first N games of a PGN file with
// loadPgn (every move checked) and prints "games N moves M ms T failed F".
//   node pgn_chessjs.js CHESSJS_DIR FILE N
'use strict';
const fs = require('fs');
const path = require('path');
const [chessDir, file, limitArg] = process.argv.slice(2);
const { Chess } = require(path.resolve(chessDir));
const limit = Number(limitArg);
const text = fs.readFileSync(file, 'latin1');
const t0 = process.hrtime.bigint();
let games = 0, moves = 0, failed = 0;
const chess = new Chess();
// Games begin at an [Event line that follows an empty line (or the start).
let start = text.indexOf('[Event ');
while (start >= 0 && games < limit) {
  let next = text.indexOf('\n[Event ', start + 1);
  const game = text.slice(start, next < 0 ? text.length : next + 1);
  try {
    chess.loadPgn(game);
    moves += chess.history().length;
  } catch (e) {
    failed++;
  }
  games++;
  start = next < 0 ? -1 : next + 1;
}
const ms = Number(process.hrtime.bigint() - t0) / 1e6;
console.log(`games ${games} moves ${moves} ms ${ms.toFixed(0)} failed ${failed}`);
