# Shared by the benchmark scripts (sourced): the fastest of three runs, ratios and verdicts.
# Needs $measure, the path of measure.py.

best() {  # best "SECONDS RSS" of three runs of a command
  local b="" r
  for _ in 1 2 3; do
    r=$($measure "$1")
    if [ -z "$b" ] || awk -v a="${r% *}" -v c="${b% *}" 'BEGIN{exit !(a<c)}'; then b=$r; fi
  done
  echo "$b"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
verdict() { awk -v r="$1" -v lim="$2" -v dir="$3" 'BEGIN{ok = dir=="le" ? r<=lim : r>=lim; print ok ? "ok" : "OVER BUDGET"}'; }
