#!/usr/bin/env bash
# Whole-process time of tonalith-render against sox doing comparable work on
# the same generated WAV files (44.1 kHz, 16-bit stereo pink noise, 300 and
# 60 seconds). Each row runs the two programs in alternation, PAIRS times
# (default 5), after one warm-up run of each, and takes the median of each
# side; the ratio is Tonalith's median over sox's. The envelope filter and
# the filter modulation have no sox counterpart and are given in samples per
# second (one sample per channel per frame).
#
#   bench/vs-sox.sh [ROW...]      rows: copy blocks delay chorus reverb eq
#                                 distortion compression autowah filtermod chain
#
# Environment: RENDER (default build/tonalith-render), SOX (default sox),
# PAIRS (default 5), LENGTHS (default "300 60": the files' lengths in
# seconds), SOX_DITHER=1 to let sox add its usual dither (see below), WORK (a
# folder for the inputs and outputs, about 120 MB; default a fresh temporary
# one). The outputs are removed before every run,
# outside the timing, so neither program pays for truncating the other's.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")/.." && pwd)
render=${RENDER:-$here/build/tonalith-render}
sox=${SOX:-sox}
pairs=${PAIRS:-5}
if [[ ! -x $render ]]; then
  echo "vs-sox: no $render (build first, or set RENDER)" >&2
  exit 1
fi
command -v "$sox" >/dev/null || { echo "vs-sox: sox not found" >&2; exit 1; }
if [[ -n ${WORK:-} ]]; then
  work=$WORK
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

rows=("$@")
if ((${#rows[@]} == 0)); then
  rows=(copy delay chorus reverb eq distortion compression autowah filtermod chain blocks)
fi

# The sox commands. sox runs with -D: it would otherwise add dither to every
# effect's 16-bit output, work that Tonalith does not do (with SOX_DITHER=1
# it runs as typed, dither and all).
#
# delay: Tonalith's delay mixes the input with one copy 10 ms later, both at
#   70.7 %; sox's echo with one tap does the same.
# chorus: Tonalith's default sweeps one delayed voice between 5 and 10 ms once
#   per 4 s (0.25 Hz), with a low-pass pre-filter and feedback; sox's chorus
#   with one sine-swept voice at 0.25 Hz, 2.5 ms deep (sox wants a delay above
#   20 ms).
# reverb: Tonalith's default band-pass, two allpasses and six combs per
#   channel; sox's reverb at its defaults (eight combs and four allpasses per
#   channel).
# eq: Tonalith's 16-band graphic equalizer (one FIR kernel, fast convolution)
#   with every band set; sox has no graphic equalizer, so its counterpart is
#   sixteen peaking sections at the same frequencies and gains.
# distortion: Tonalith's wave shaper with a soft-clipping curve (pre-filter,
#   table lookup, mix); sox's overdrive at its defaults.
# compression: Tonalith's compressor with a curve that lowers loud passages
#   (20 ms level window); sox's compand with 20 ms attack and decay and a
#   similar transfer function.
# chain: all eight Tonalith effects in one chain against sox's five-effect
#   chain `reverb chorus echo compand overdrive`.
sox_flags=(-D)
if [[ ${SOX_DITHER:-0} == 1 ]]; then
  sox_flags=()
fi
eq_freqs=(25 40 63 100 160 250 400 630 1000 1600 2500 4000 6300 10000 16000 20000)
eq_gains=(3 -2 4 1 -6 2 5 -3 1 4 -4 2 6 -2 3 1)
tonalith_eq="eq:freqs=$(IFS=';'; echo "${eq_freqs[*]}"),gains=$(IFS=';'; echo "${eq_gains[*]}")"
sox_eq=()
for i in "${!eq_freqs[@]}"; do
  sox_eq+=(equalizer "${eq_freqs[$i]}" 0.67o "${eq_gains[$i]}")
done
shaper_curve="curve=-32768:-30000;-16000:-26000;-6000:-12000;0:0;6000:12000;16000:26000;32768:30000"
squeeze_curve="curve=0:6;2000:3;8000:0;16000:-6;32768:-12"
sox_delay=(echo 0.707 0.707 10 0.707)
sox_chorus=(chorus 0.707 0.707 25 0.707 0.25 2.5 -s)
sox_reverb=(reverb)
sox_overdrive=(overdrive)
sox_compand=(compand 0.02,0.02 -60,-54,-40,-37,-30,-30,-20,-26,-10,-22,0,-12 0 -90 0)

# Microseconds one command takes, start to exit.
time_us() {
  local start end
  start=${EPOCHREALTIME/./}
  if ! "$@" >/dev/null 2>"$work/err"; then
    echo "vs-sox: failed: $*" >&2
    cat "$work/err" >&2
    exit 1
  fi
  end=${EPOCHREALTIME/./}
  echo $((end - start))
}

median() {
  printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"
}

seconds() {
  awk -v us="$1" 'BEGIN { printf "%.3f", us / 1e6 }'
}

# compare NAME AIM INPUT BLOCK -- TONALITH_ARGS... -- SOX_EFFECTS...
compare() {
  local name=$1 aim=$2 input=$3 block=$4
  shift 5
  local targs=() sargs=()
  while (($# > 0)) && [[ $1 != -- ]]; do
    targs+=("$1")
    shift
  done
  shift
  sargs=("$@")
  local out=$work/out.wav
  local t=() s=() i
  rm -f "$out"
  time_us "$render" --quiet --block "$block" "${targs[@]}" "$input" "$out" >/dev/null
  rm -f "$out"
  time_us "$sox" "${sox_flags[@]}" "$input" "$out" "${sargs[@]}" >/dev/null
  for ((i = 0; i < pairs; ++i)); do
    rm -f "$out"
    t+=("$(time_us "$render" --quiet --block "$block" "${targs[@]}" "$input" "$out")")
    rm -f "$out"
    s+=("$(time_us "$sox" "${sox_flags[@]}" "$input" "$out" "${sargs[@]}")")
  done
  rm -f "$out"
  local tm sm
  tm=$(median "${t[@]}")
  sm=$(median "${s[@]}")
  printf '%-22s %10s %10s %8s %6s\n' "$name" "$(seconds "$tm")" "$(seconds "$sm")" \
    "$(awk -v a="$tm" -v b="$sm" 'BEGIN { printf "%.2f", a / b }')" "$aim"
}

# throughput NAME INPUT SAMPLES -- TONALITH_ARGS...
throughput() {
  local name=$1 input=$2 samples=$3
  shift 4
  local out=$work/out.wav t=() i
  rm -f "$out"
  time_us "$render" --quiet "$@" "$input" "$out" >/dev/null
  for ((i = 0; i < pairs; ++i)); do
    rm -f "$out"
    t+=("$(time_us "$render" --quiet "$@" "$input" "$out")")
  done
  rm -f "$out"
  local tm
  tm=$(median "${t[@]}")
  printf '%-22s %10s %10s %8s  %s\n' "$name" "$(seconds "$tm")" "-" "-" \
    "$(awk -v n="$samples" -v us="$tm" 'BEGIN { printf "%.1f M samples/s", n / us }')"
}

table() {  # LENGTH_SECONDS
  local length=$1 input=$work/in$1.wav
  local samples=$((length * 44100 * 2))
  if [[ ! -f $input ]]; then
    "$sox" -D -n -r 44100 -b 16 -c 2 "$input" synth "$length" pinknoise vol 0.5
  fi
  echo
  echo "$length s of 44.1 kHz 16-bit stereo, block 1024 bytes (the default), median of $pairs pairs"
  printf '%-22s %10s %10s %8s %6s\n' run "tonalith s" "sox s" ratio aim
  local row
  for row in "${rows[@]}"; do
    case $row in
      copy) compare copy 1.00 "$input" 1024 -- -- ;;
      delay) compare delay 0.50 "$input" 1024 -- --effect delay -- "${sox_delay[@]}" ;;
      chorus) compare chorus 0.50 "$input" 1024 -- --effect chorus -- "${sox_chorus[@]}" ;;
      reverb) compare reverb 0.50 "$input" 1024 -- --effect reverb -- "${sox_reverb[@]}" ;;
      eq) compare eq 0.50 "$input" 1024 -- --effect "$tonalith_eq" -- "${sox_eq[@]}" ;;
      distortion)
        compare distortion 0.50 "$input" 1024 -- --effect "distortion:$shaper_curve" \
          -- "${sox_overdrive[@]}"
        ;;
      compression)
        compare compression 0.50 "$input" 1024 -- --effect "compression:$squeeze_curve" \
          -- "${sox_compand[@]}"
        ;;
      autowah) throughput "envelope filter" "$input" "$samples" -- --effect autowah ;;
      filtermod) throughput "filter modulation" "$input" "$samples" -- --effect filtermod ;;
      chain)
        compare "chain of 8 / 5" 0.50 "$input" 1024 -- --effect "$tonalith_eq" \
          --effect "compression:$squeeze_curve" --effect "distortion:$shaper_curve" \
          --effect autowah --effect filtermod --effect delay --effect chorus --effect reverb \
          -- "${sox_reverb[@]}" "${sox_chorus[@]}" "${sox_delay[@]}" "${sox_compand[@]}" \
          "${sox_overdrive[@]}"
        ;;
      blocks)
        local block
        for block in 128 256 512 1024 2048 4096 8192; do
          compare "copy, block $block" 1.00 "$input" "$block" -- --
        done
        ;;
      *)
        echo "vs-sox: unknown row $row" >&2
        exit 2
        ;;
    esac
  done
}

echo "tonalith-render: $render"
echo "sox: $("$sox" --version 2>&1 | sed 's/^sox: *//')${sox_flags:+ (${sox_flags[*]}: no dither)}"
echo "machine: $(nproc) cores, $(uname -m), load $(cut -d' ' -f1-3 /proc/loadavg)"
for length in ${LENGTHS:-300 60}; do
  table "$length"
done
