#!/usr/bin/env bash
# Renders a fixed set of effect setups with two builds of tonalith-render and
# checks that every output is byte for byte the same: the check that a change
# meant to make the sample loops faster changed no sample.
#
#   scripts/compare-renders.sh OLD_RENDER NEW_RENDER
#
# OLD_RENDER is typically a copy of build/tonalith-render made before the
# change. The inputs are generated with sox: 16-bit stereo, 16-bit mono, 8-bit
# stereo and 8-bit mono, at four rates (and a short one whose length no
# block length divides), noise with loud passages and sweeps
# so that saturation, feedback limits and wrap-arounds are reached. Every
# effect runs with several parameter sets, alone and in a chain of all eight,
# at the smallest, the default and the largest block length.
set -euo pipefail

if (($# != 2)); then
  echo "usage: $0 OLD_RENDER NEW_RENDER" >&2
  exit 2
fi
old=$1
new=$2
sox=${SOX:-sox}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Pink noise, a full-scale square burst and a loud sine sweep, 12 seconds.
make_input() {  # name rate channels bits
  local name=$1 rate=$2 channels=$3 bits=$4
  "$sox" -q -n -r "$rate" -c "$channels" "$work/noise.wav" synth 6 pinknoise vol 0.6
  "$sox" -q -n -r "$rate" -c "$channels" "$work/square.wav" synth 2 square 220 vol 1.0
  "$sox" -q -n -r "$rate" -c "$channels" "$work/sweep.wav" synth 3 sine 50:15000 vol 0.95
  "$sox" -q -n -r "$rate" -c "$channels" "$work/quiet.wav" synth 1 sine 440 vol 0.001
  "$sox" -V1 -D "$work/noise.wav" "$work/square.wav" "$work/sweep.wav" "$work/quiet.wav" \
    -b "$bits" "$work/$name.wav"
}
make_input s16-stereo 44100 2 16
make_input s16-mono 22050 1 16
make_input u8-stereo 11025 2 8
make_input u8-mono 48000 1 8
# A length that no block length divides, 8-bit mono at 8 kHz.
"$sox" -q "$work/u8-mono.wav" -r 8000 "$work/u8-mono-short.wav" trim 0 9377s

setups=(
  ""
  "--effect delay"
  "--effect delay:delayMs=0,in=512,out=512"
  "--effect delay:left.delayMs=3,right.delayMs=100,in=0"
  "--effect chorus"
  "--effect chorus:feedbackPercent=100,in=512,out=512"
  "--effect chorus:initialDelayMs=1,finalDelayMs=100,modLengthMs=100,feedbackPercent=60"
  "--effect chorus:preFilterHz=16000,initialDelayMs=20,finalDelayMs=21,modLengthMs=10000"
  "--effect reverb"
  "--effect reverb:echoCount=16,reverbTimeMs=4000,in=512,out=512"
  "--effect reverb:echoCount=2,minEchoMs=1,maxEchoMs=2,reverbTimeMs=100,lowCutHz=500"
  "--effect reverb:echoCount=7,minEchoMs=30,maxEchoMs=31,highCutHz=22000,in=0"
  "--effect eq"
  "--effect eq:gains=6;4;2,spacing=2"
  "--effect eq:gains=20;20;20;20;20;20;20;20;20;20;20;20;20;20;20;20,out=512"
  "--effect eq:gains=-60;0;12;-6;3;0;0;-20;20;0;5;-5;9;0;-3;1,spacing=0"
  "--effect distortion"
  "--effect distortion:curve=-32768:-30000;-8000:-28000;0:0;8000:28000;32768:30000"
  "--effect distortion:feedback=128,curve=-32768:-32767;-100:-30000;100:30000;32768:32767"
  "--effect distortion:feedback=-128,preFilterHz=500,in=0,out=512"
  "--effect distortion:feedback=37,left.curve=-32768:32767;32768:-32767"
  "--effect compression"
  "--effect compression:curve=0:6;4000:0;16000:-12;32768:-30"
  "--effect compression:envelopeDelayMs=1,curve=0:40;32768:40,in=512,out=512"
  "--effect compression:envelopeDelayMs=50,curve=0:-40;100:10;32768:0"
  "--effect autowah"
  "--effect autowah:filterKind=HighPass,sweepScaling=2,initialCutoff=100,finalCutoff=10000"
  "--effect autowah:filterKind=BandPass,sweepScaling=1,initialResonance=100,finalResonance=0.5"
  "--effect autowah:filterKind=AllPass,finalCutoff=22000,in=512,out=512"
  "--effect filtermod"
  "--effect filtermod:modulatorLengthMs=100,filterKind=BandPass,finalResonance=20"
  "--effect filtermod:filterKind=BandStop,sweepScaling=2,modulatorLengthMs=16000"
  "--effect eq:gains=3;0;-3 --effect compression --effect distortion:feedback=64 --effect autowah
   --effect delay --effect filtermod --effect chorus --effect reverb"
  "--effect reverb --effect chorus:enabled=0 --effect delay:left.enabled=0 --effect distortion"
  "--effect delay:delayMs=37,in=100,out=300"
  "--effect chorus:preFilterHz=500,initialDelayMs=13,finalDelayMs=77,modLengthMs=333,feedbackPercent=99,in=77,out=400"
  "--effect chorus:left.feedbackPercent=1,right.feedbackPercent=100,left.modLengthMs=101"
  "--effect reverb:echoCount=16,minEchoMs=1,maxEchoMs=100,lowCutHz=50,highCutHz=1000,reverbTimeMs=4000,in=300,out=0"
  "--effect eq:gains=-1;2;-3;4;-5;6;-7;8;-9;10;-11;12;-13;14;-15;16,spacing=3,in=400,out=100"
  "--effect distortion:feedback=-77,preFilterHz=16000,curve=-32768:32767;-1:-32767;0:32767;32768:-32767"
  "--effect compression:envelopeDelayMs=3,curve=0:40;100:-40;1000:40;32768:-40,in=300,out=200"
  "--effect autowah:filterKind=BandStop,sweepScaling=2,initialCutoff=300,finalCutoff=3000,initialResonance=0.5,in=50,out=450"
  "--effect filtermod:filterKind=AllPass,sweepScaling=1,modulatorLengthMs=100,initialCutoff=22000,finalCutoff=100,initialResonance=50"
  "--effect chorus --effect chorus:feedbackPercent=100 --effect reverb:echoCount=16 --effect distortion:feedback=128"
)

checked=0
failed=0
for input in s16-stereo s16-mono u8-stereo u8-mono u8-mono-short; do
  for block in 128 1024 8192; do
    for setup in "${setups[@]}"; do
      # shellcheck disable=SC2086  # the setup is a list of options
      "$old" --quiet --block "$block" $setup "$work/$input.wav" "$work/old.wav"
      # shellcheck disable=SC2086
      "$new" --quiet --block "$block" $setup "$work/$input.wav" "$work/new.wav"
      checked=$((checked + 1))
      if ! cmp -s "$work/old.wav" "$work/new.wav"; then
        failed=$((failed + 1))
        echo "DIFFERENT: $input --block $block $setup"
      fi
    done
  done
done
echo "$checked renders compared, $failed different"
((failed == 0))
