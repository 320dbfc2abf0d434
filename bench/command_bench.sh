#!/usr/bin/env bash
# The imr command as a user runs it, next to the syscall floor, side by side
# in one run: `imr identify --files-from LIST -j 1` at level 2 over the image
# files and over the other files of LIST, at level 6 over the image files,
# at level 6 answered from the cache, start-up (one file, next to `file`),
# and two threads against one, beside what two processes of the floor
# program gain on this machine (the most two threads could).  The files are
# copied into a scratch folder (the cache writes beside them).  Each figure
# is the best of ROUNDS runs.
#
#   bench/command_bench.sh LIST [ROUNDS]     (LIST: one path per line)
#
# Builds the release imr (scripts/imr) and the floor program (bench/floor.c).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "$1")
rounds=${2:-5}
"$root/scripts/imr" --version > /dev/null
imr=$root/build/release/bin/imr
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cc -O2 -o "$scratch/floor" "$root/bench/floor.c"

# Copies of the listed files, split into those imr recognises and the rest.
mkdir -p "$scratch/files"
n=0
while IFS= read -r path; do
  [ -f "$path" ] || continue
  n=$((n + 1))
  cp "$path" "$scratch/files/$n.${path##*.}" 2> /dev/null || cp "$path" "$scratch/files/$n"
done < "$list"
find "$scratch/files" -type f | sort > "$scratch/all"
"$imr" identify --no-cache --level 2 -j 1 --files-from "$scratch/all" --json > "$scratch/described" || true
/usr/bin/python3 -c '
import json, sys
images, others = open(sys.argv[1], "w"), open(sys.argv[2], "w")
for line in sys.stdin:
    result = json.loads(line)
    (images if result["recognized"] else others).write(result["path"] + "\n")
' "$scratch/images" "$scratch/others" < "$scratch/described"
: > "$scratch/empty"
echo "$(wc -l < "$scratch/images") image files, $(wc -l < "$scratch/others") other files"

# The best wall-clock time, in seconds, of a command run $rounds times.
best() {
  local fastest=
  for _ in $(seq "$rounds"); do
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    fastest=$(echo "$end - $start" | bc -l | awk -v f="$fastest" '{ print (f == "" || $1 < f) ? $1 : f }')
  done
  echo "$fastest"
}

identify() { "$imr" identify -j "$1" --files-from "$2" "${@:3}"; }
startup=$(best identify 1 "$scratch/empty" --no-cache)
floor_images=$(best "$scratch/floor" "$scratch/images")
floor_others=$(best "$scratch/floor" "$scratch/others")
l2_images=$(best identify 1 "$scratch/images" --no-cache --level 2)
l2_others=$(best identify 1 "$scratch/others" --no-cache --level 2)
l6_images=$(best identify 1 "$scratch/images" --no-cache)
identify 1 "$scratch/images" > /dev/null  # writes the records
l6_cached=$(best identify 1 "$scratch/images")
l6_two=$(best identify 2 "$scratch/images" --no-cache)
split -n l/2 "$scratch/images" "$scratch/half."
floor_halves() { "$scratch/floor" "$scratch/half.aa" & "$scratch/floor" "$scratch/half.ab"; wait; }
floor_two=$(best floor_halves)
one_file=$(head -n 1 "$scratch/images")
imr_one=$(best "$imr" identify --no-cache "$one_file")
file_one=$(best file "$one_file")

ratio() { echo "($1 - $startup) / $2" | bc -l | xargs printf '%.2f'; }
printf '%-34s %10s %10s\n' run seconds ratio
printf '%-34s %10.4f %10s\n' "start-up (empty list)" "$startup" "-"
printf '%-34s %10.4f %10s\n' "floor, image files" "$floor_images" "1.00"
printf '%-34s %10.4f %10s\n' "level 2, image files" "$l2_images" "$(ratio "$l2_images" "$floor_images")x floor"
printf '%-34s %10.4f %10s\n' "floor, other files" "$floor_others" "1.00"
printf '%-34s %10.4f %10s\n' "level 2, other files" "$l2_others" "$(ratio "$l2_others" "$floor_others")x floor"
printf '%-34s %10.4f %10s\n' "level 6, image files" "$l6_images" "$(ratio "$l6_images" "$floor_images")x floor"
printf '%-34s %10.4f %10s\n' "level 6 from the cache" "$l6_cached" "$(ratio "$l6_cached" "$floor_images")x floor"
printf '%-34s %10.4f %10s\n' "level 6, two threads" "$l6_two" \
  "$(echo "($l6_images - $startup) / ($l6_two - $startup)" | bc -l | xargs printf '%.2f')x one"
printf '%-34s %10.4f %10s\n' "floor, two processes" "$floor_two" \
  "$(echo "$floor_images / $floor_two" | bc -l | xargs printf '%.2f')x one"
printf '%-34s %10.4f %10s\n' "start-up, one file: imr" "$imr_one" \
  "$(echo "$imr_one / $file_one" | bc -l | xargs printf '%.2f')x file"
printf '%-34s %10.4f\n' "start-up, one file: file" "$file_one"
