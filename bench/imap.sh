#!/usr/bin/env bash
# IMAP retrieval benchmark: our IMAP client filing every message as the
# connection dialog does (bench/imap_bench.cpp) against curl's IMAP on the
# same private Dovecot (tests/mail_imap/servers.sh), in one run, over plain
# TCP, STARTTLS and TLS: retrieve 200 messages of 10 KB from INBOX.
# Wall and CPU (user + system) time of the client process only, best of five (RUNS);
# results go to bench/RESULTS-imap.md.
#
#   bash bench/imap.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
work=${BENCH_DIR:-$src/build/bench-imap}
mkdir -p "$work"
work=$(cd "$work" && pwd)

bin=$work/imap_bench
cxx=g++
command -v ccache >/dev/null && cxx="ccache g++"
mkdir -p "$work/obj"
objs=()
for f in "$src/bench/imap_bench.cpp" "$src"/mail/*.cpp "$src"/platform/*.cpp; do
  o=$work/obj/$(basename "$(dirname "$f")")_$(basename "$f" .cpp).o
  objs+=("$o")
  $cxx -std=c++20 -O2 -DNDEBUG -I"$src" -c "$f" -o "$o" &
  while [ "$(jobs -rp | wc -l)" -ge 2 ]; do sleep 0.2; done
done
wait
g++ "${objs[@]}" -lssl -lcrypto -pthread -o "$bin"

servers=$work/servers
bash "$src/tests/mail_imap/servers.sh" start "$servers" >/dev/null
trap 'bash "$src/tests/mail_imap/servers.sh" stop "$servers" >/dev/null' EXIT
# shellcheck disable=SC1091
source "$servers/servers.env"
user=bench

# 200 messages of 10 KB: a game's move list, as opponents send them.
line="1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 6. Re1 b5 7. Bb3 d6 8. c3 O-O"
body=""
while [ ${#body} -lt 10000 ]; do body+="$line"$'\r\n'; done
for i in $(seq 1 200); do
  printf 'From: Opponent <opp@quorel.test>\r\nTo: bench@quorel.test\r\nSubject: Game %d\r\nDate: Mon, 07 Dec 2026 10:00:00 +0000\r\nMessage-ID: <%d@quorel.test>\r\n\r\n%s' \
    "$i" "$i" "$body" | doveadm -c "$DOVECOT_CONF" save -u "$user"
done
count=$(doveadm -c "$DOVECOT_CONF" mailbox status -u "$user" messages INBOX | sed 's/.*messages=//')
[ "$count" -eq 200 ] || { echo "only $count messages delivered" >&2; exit 1; }

TIMEFORMAT="%R %U %S"
time_of() { # CMD...: prints "wall cpu"
  local t
  t=$( { time "$@" >/dev/null 2>"$work/last.err"; } 2>&1 ) || {
    echo "command failed: $*" >&2
    cat "$work/last.err" >&2
    exit 1
  }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}
best_of() { sort -n | head -1; }
runs=${RUNS:-5}
best() { for _ in $(seq 1 "$runs"); do "$@"; done | best_of; }

ours_run() { # security port [one-session] [raw]: one retrieval into a fresh mailbox
  rm -rf "$work/box"
  local sec=$1 port=$2
  shift 2
  time_of "$bin" "127.0.0.1:$port" "$user" "$MAIL_PASSWORD" "$CERT" "$sec" "$work/box" "$@"
  local n
  n=$(find "$work/box" -name '*.032' -o -name '*.eml' | wc -l)
  [ "$n" -eq 200 ] || { echo "filed $n of 200" >&2; exit 1; }
}

curl_run() { # url-base flags...
  local base=$1
  shift
  local cfg=$work/curl.cfg
  : >"$cfg"
  rm -rf "$work/got"
  mkdir -p "$work/got"
  for i in $(seq 1 200); do
    printf 'url = "%s/INBOX;UID=%d"\noutput = "%s/got/%d.eml"\n' "$base" "$i" "$work" "$i" >>"$cfg"
  done
  time_of curl -sS "$@" --user "$user:$MAIL_PASSWORD" -K "$cfg"
}

rows=()
for mode in NONE STARTTLS TLS; do
  case $mode in
    NONE) port=$IMAP_PORT; base="imap://127.0.0.1:$IMAP_PORT"; flags=() ;;
    STARTTLS) port=$IMAP_PORT; base="imap://127.0.0.1:$IMAP_PORT"; flags=(--ssl-reqd --cacert "$CERT") ;;
    TLS) port=$IMAPS_PORT; base="imaps://127.0.0.1:$IMAPS_PORT"; flags=(--cacert "$CERT") ;;
  esac
  raw=$(best ours_run "$mode" "$port" one-session raw)
  ours=$(best ours_run "$mode" "$port")
  ours1=$(best ours_run "$mode" "$port" one-session)
  theirs=$(best curl_run "$base" "${flags[@]}")
  got=$(find "$work/got" -name '*.eml' -size +9k | wc -l)
  [ "$got" -eq 200 ] || { echo "curl got $got of 200" >&2; exit 1; }
  rows+=("$mode, client only: one session, raw files|$raw|$theirs")
  rows+=("$mode, filed: two sessions (Update, Retrieve)|$ours|$theirs")
  rows+=("$mode, filed: one session|$ours1|$theirs")
done

out=$here/RESULTS-imap.md
{
  echo "# IMAP retrieval: Quorel's IMAP client against curl"
  echo
  echo "Run: $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1 /proc/loadavg), $(nproc) cores, $(curl --version | head -1 | cut -d' ' -f1-2), Dovecot $(dovecot --version | cut -d' ' -f1), g++ -O2."
  echo "Both clients on the same private Dovecot on 127.0.0.1 (tests/mail_imap/servers.sh)."
  echo "Retrieve 200 messages of 10 KB from INBOX; best of $runs runs, seconds. The machine is"
  echo "shared with other builds: the load average above says how noisy the wall times are."
  echo
  echo "| security, ours | ours wall | curl wall | ratio | ours CPU | curl CPU | ratio |"
  echo "|---|---|---|---|---|---|---|"
  for r in "${rows[@]}"; do
    IFS='|' read -r mode ours theirs <<<"$r"
    read -r ow oc <<<"$ours"
    read -r tw tc <<<"$theirs"
    awk -v m="$mode" -v ow="$ow" -v oc="$oc" -v tw="$tw" -v tc="$tc" 'BEGIN {
      wr = (tw > 0) ? sprintf("%.2f", ow / tw) : "-"
      cr = (tc > 0) ? sprintf("%.2f", oc / tc) : "-"
      printf "| %s | %.3f | %.3f | %s | %.3f | %.3f | %s |\n", m, ow, tw, wr, oc, tc, cr }'
  done
  echo
  echo "## What is measured"
  echo
  echo "- Ours, client only: one session that lists (UID FETCH 1:* (UID), then one UID"
  echo "  FETCH of sizes and From/Subject/Date for all) and fetches everything with one UID"
  echo "  FETCH BODY.PEEK[], writing each message into a file of its own as curl does, its"
  echo "  UID appended to uids.lst."
  echo "- Ours, filed: the same, but each message is filed as the connection dialog does:"
  echo "  decoded, re-encoded, written as a mail file with its index record in New Mail;"
  echo "  everything flushed to disk once at the end. \"Two sessions\" is the dialog's"
  echo "  Update then Retrieve (two log-ins, with TLS two handshakes); \"one session\""
  echo "  keeps the listing's session for the transfer, as a Quick transfer can."
  echo "- With TLS ours also reads the system CA store (curl reads only --cacert)."
  echo "- curl: one connection, one UID FETCH per message, each written to its own file"
  echo "  as it came, nothing decoded, nothing flushed."
} >"$out"
cat "$out"
