#!/usr/bin/env bash
# Runs ferrowick-cli end to end against a bare tool doing the same work on
# the store the benchmark generator writes, and prints one table row per
# pair: median wall seconds of RUNS runs each and their ratio, then the
# median CPU seconds (user + system) of each side and their ratio, which
# say more than wall time on a machine that other work keeps busy.
#
#   bench/compare.sh [BUILD_DIR]
#
# BUILD_DIR is a Release build configured with -DFERROWICK_BUILD_BENCH=ON
# (default: build). Environment:
#   MESSAGES        messages of the large store (default 1000000)
#   SMALL_MESSAGES  messages of the store for the linearity, HTML and media
#                   pairs (default 100000)
#   RUNS            runs of each side (default 3)
#   ONLY            a space-separated subset of: backup info csv txt html html1 media
#                   gui open (html: the small store's 1 000 chats; html1: one
#                   chat of SMALL_MESSAGES messages; gui: the main window from
#                   start-up to the first painted page of the 1 000 000-message
#                   local database, against `info --localdb` of it; open: a
#                   whole encrypted backup of the small store with its media,
#                   in parts, against hashlib, openssl and sqlite3; not in the
#                   default set, they take minutes and gigabytes)
#   FERROWICK_BENCH_DPIC  first-stage PBKDF2 rounds of the open pair's backup
#                   (default 10000000)
#   FERROWICK_BENCH_DIR  where the generated stores are kept between runs
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli=$build/bin/ferrowick-cli
make_store=$build/bin/bench_make_store
schema=$here/../res/ios_viber_db.sql
messages=${MESSAGES:-1000000}
small=${SMALL_MESSAGES:-100000}
runs=${RUNS:-3}
only=${ONLY:-backup info csv txt html html1 media}

main_window=$build/bin/bench_main_window
open_backup=$build/bin/bench_open_backup
for tool in "$cli" "$make_store"; do
  [ -x "$tool" ] || { echo "compare.sh: $tool is missing (build with -DFERROWICK_BUILD_BENCH=ON)" >&2; exit 1; }
done
command -v sqlite3 >/dev/null || { echo "compare.sh: sqlite3 is missing" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "compare.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ferrowick-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
export FERROWICK_DATA_DIR=$work/data HOME=$work/home QT_QPA_PLATFORM=offscreen
mkdir -p "$FERROWICK_DATA_DIR" "$HOME"

wants() { [[ " $only " == *" $1 "* ]]; }

# seconds COMMAND...: "wall cpu" seconds of one run, the command's output
# dropped; cpu counts the command and its children.
seconds() {
  /usr/bin/time -o "$work/time" -f '%e %U %S' "$@" >/dev/null 2>"$work/stderr" ||
    { echo "compare.sh: failed: $*" >&2; cat "$work/stderr" >&2; exit 1; }
  awk '{printf "%s %.2f\n", $1, $2 + $3}' "$work/time"
}

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%.2f", m}'; }

# pair LABEL PREPARE OURS BARE: runs both sides RUNS times, alternating, with
# PREPARE (a function name or :) before each run.
pair() {
  local label=$1 prepare=$2 ours=$3 bare=$4 a=() b=() ac=() bc=() i t
  for ((i = 1; i <= runs; i++)); do
    $prepare; t=$(seconds bash -c "$ours"); a+=("${t% *}"); ac+=("${t#* }")
    $prepare; t=$(seconds bash -c "$bare"); b+=("${t% *}"); bc+=("${t#* }")
  done
  local ma mb mac mbc
  ma=$(median "${a[@]}"); mb=$(median "${b[@]}")
  mac=$(median "${ac[@]}"); mbc=$(median "${bc[@]}")
  printf '| %s | %s s | %s s | %.2f× | %s s | %s s | %.2f× |\n' "$label" "$ma" "$mb" "$(echo "$ma / $mb" | bc -l)" \
    "$mac" "$mbc" "$(echo "$mac / $mbc" | bc -l)"
}

big=$("$make_store" "$messages")
little=$("$make_store" "$small")
echo "stores: $big, $little"
echo "load: $(uptime)"
echo
echo "| measure | ferrowick-cli | baseline | ratio | CPU ferrowick-cli | CPU baseline | CPU ratio |"
echo "| --- | --- | --- | --- | --- | --- | --- |"

fresh() { rm -rf "$FERROWICK_DATA_DIR" "$work/out" "$work/bare.db"; mkdir -p "$FERROWICK_DATA_DIR" "$work/out"; }

# The rows the backup writes, copied by one INSERT ... SELECT per table into
# a new database made from the same schema script, in one transaction.
bare_backup() {
  cat <<SQL
.read $schema
ATTACH '$1/Documents/Contacts.data' AS src;
BEGIN;
INSERT INTO ZPHONENUMBERINDEX (Z_PK, ZCANONIZEDPHONENUM, ZPHONENUM) SELECT Z_PK, ZCANONIZEDPHONENUM, ZCANONIZEDPHONENUM FROM src.ZPHONENUMBERINDEX;
INSERT INTO ZCONVERSATION (Z_PK, ZDATE, ZGROUPID, ZNAME) SELECT Z_PK, ZDATE, ZGROUPID, ZNAME FROM src.ZCONVERSATION;
INSERT INTO Z_4PHONENUMINDEXES SELECT * FROM src.Z_4PHONENUMINDEXES;
INSERT INTO ZVIBERMESSAGE (ZSEQ, ZTOKEN, ZCONVERSATION, ZPHONENUMINDEX, ZDATE, ZSTATEDATE, ZSTATE, ZSYSTEMTYPE, ZTEXT)
  SELECT ZSEQ, ZTOKEN, ZCONVERSATION, ZPHONENUMINDEX, ZDATE, ZSTATEDATE, ZSTATE, ZSYSTEMTYPE, ZTEXT FROM src.ZVIBERMESSAGE;
INSERT INTO ZATTACHMENT (ZFILESIZE, ZSEQ, ZMESSAGE, ZID, ZNAME, ZTYPE) SELECT ZFILESIZE, ZSEQ, ZMESSAGE, ZID, ZNAME, ZTYPE FROM src.ZATTACHMENT;
INSERT INTO ZVIBERLOCATION (ZMESSAGE, ZLATITUDE, ZLONGITUDE, ZADDRESS) SELECT ZMESSAGE, ZLATITUDE, ZLONGITUDE, ZADDRESS FROM src.ZVIBERLOCATION;
INSERT INTO ZRECENT (ZCALLTOKEN, ZDURATION, ZRECENTSLINE, ZDATE, ZCALLTYPE) SELECT ZCALLTOKEN, ZDURATION, ZRECENTSLINE, ZDATE, ZCALLTYPE FROM src.ZRECENT;
COMMIT;
SQL
}
bare_backup "$big" >"$work/bare-big.sql"
bare_backup "$little" >"$work/bare-little.sql"

# The queries the reader runs to load a store.
cat >"$work/load.sql" <<'SQL'
select * from ZPHONENUMBERINDEX as p left join ZABCONTACT as c on p.ZCONTACT=c.Z_PK;
select * from ZCONVERSATION;
select * from Z_4PHONENUMINDEXES;
select m.*, l.ZLATITUDE, l.ZLONGITUDE, l.ZADDRESS from ZVIBERMESSAGE as m left join ZVIBERLOCATION as l on m.Z_PK=l.ZMESSAGE;
select a.* from ZATTACHMENT as a;
select * from ZRECENT as r left join ZRECENTSLINE as l on r.ZRECENTSLINE=l.Z_PK;
SQL
dump="select datetime(m.ZDATE + 978307200, 'unixepoch', 'localtime'), c.ZNAME, m.ZPHONENUMINDEX, m.ZSTATE, m.ZTEXT from ZVIBERMESSAGE as m left join ZCONVERSATION as c on m.ZCONVERSATION=c.Z_PK order by m.ZCONVERSATION, m.ZDATE"

if wants backup; then
  pair "backup --into, $small" fresh "'$cli' backup --container '$little' --into b" \
    "sqlite3 '$work/bare.db' <'$work/bare-little.sql'"
  pair "backup --into, $messages" fresh "'$cli' backup --container '$big' --into b" \
    "sqlite3 '$work/bare.db' <'$work/bare-big.sql'"
fi
if wants info; then
  pair "info, $messages (load)" fresh "'$cli' info --container '$big'" \
    "sqlite3 '$big/Documents/Contacts.data' <'$work/load.sql'"
fi
if wants csv; then
  pair "export csv, $messages" fresh "'$cli' export --container '$big' --format csv --out '$work/out/m.csv'" \
    "sqlite3 -csv '$big/Documents/Contacts.data' \"$dump\" >'$work/out/m.csv'"
fi
if wants txt; then
  pair "export txt, $messages" fresh "'$cli' export --container '$big' --format txt --out '$work/out/m.txt'" \
    "sqlite3 -list '$big/Documents/Contacts.data' \"$dump\" >'$work/out/m.txt'"
fi
if wants html; then
  pair "export html, $small" fresh "'$cli' export --container '$little' --format html --out '$work/out/m.html'" \
    "sqlite3 -html '$little/Documents/Contacts.data' \"$dump\" >'$work/out/m.html'"
fi
if wants html1; then
  single=$("$make_store" "$small" --chats 1)
  pair "export html, one chat of $small" fresh "'$cli' export --container '$single' --format html --out '$work/out/m.html'" \
    "sqlite3 -html '$single/Documents/Contacts.data' \"$dump\" >'$work/out/m.html'"
fi
if wants media; then
  media=$(FERROWICK_BENCH_DIR="${FERROWICK_BENCH_DIR:-${TMPDIR:-/tmp}/ferrowick-bench}/media" "$make_store" "$small" --media)
  files=$(find "$media/Documents/Attachments" "$media/Documents/VoiceMessages" -type f | wc -l)
  pair "extract-media, $files files" fresh "'$cli' extract-media --container '$media' --out '$work/out'" \
    "cp -r '$media/Documents/Attachments' '$media/Documents/VoiceMessages' '$work/out/'"
fi
if wants gui; then
  # The benchmark keeps its local database of the generated million beside
  # the stores; the command line reads the same one.
  gui_data=$(dirname "$big")/mainwin-data
  FERROWICK_DATA_DIR=$gui_data "$main_window" --benchmark_filter=FirstPaint --benchmark_format=json \
    >"$work/gui.json" 2>"$work/gui.err" || { cat "$work/gui.err" >&2; exit 1; }
  c=()
  for ((i = 1; i <= runs; i++)); do
    t=$(seconds "$cli" --data-dir "$gui_data" info --localdb Big); c+=("${t% *}")
  done
  python3 - "$work/gui.json" "$(median "${c[@]}")" <<'PY'
import json, sys
b = json.load(open(sys.argv[1]))["benchmarks"][0]
cli = float(sys.argv[2])
paint = b["first_paint_ms"] / 1000
print(f"| GUI first paint, 1000000 (local database) | {paint:.2f} s | {cli:.2f} s (info --localdb) | {paint / cli:.2f}× "
      f"| longest event-loop stall {b['longest_stall_ms']:.0f} ms | in-process read {b['core_load_ms'] / 1000:.2f} s "
      f"| {b['ratio_to_core_load']:.2f}× |")
PY
fi
if wants open; then
  media=$(FERROWICK_BENCH_DIR="${FERROWICK_BENCH_DIR:-${TMPDIR:-/tmp}/ferrowick-bench}/media" "$make_store" "$small" --media)
  echo
  "$open_backup" "$media" 2>"$work/open.err" || { cat "$work/open.err" >&2; exit 1; }
fi
