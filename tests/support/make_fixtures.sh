#!/bin/bash
# Generates the MP3 test fixtures into the directory given as $1.
# Deterministic: fixed synth parameters, no dither, fixed encoder options,
# a fixed-seed generator for the random file. Decoded PCM is never stored:
# tests decode at run time with the same library the program uses.
set -euo pipefail
out=${1:?usage: make_fixtures.sh OUTDIR}
mkdir -p "$out"
work=$(mktemp -d /tmp/ravlox-fixtures.XXXXXX)
trap 'rm -rf "$work"' EXIT

synth() { # name rate channels seconds synth-args...
  local name=$1 rate=$2 ch=$3 len=$4; shift 4
  sox -D -n -r "$rate" -c "$ch" -b 16 "$work/$name.wav" synth "$len" "$@"
}
encode() { # name lame-args...
  local name=$1; shift
  lame --quiet --noreplaygain "$@" "$work/$name.wav" "$out/$name.mp3"
}

# Stereo 44.1 kHz, 3 s: a rising chirp on the left, a steady tone on the
# right, never silent.
synth stereo44 44100 2 3 sine 200-3000 sine 440 gain -3
encode stereo44 -b 128

# Mono 22.05 kHz, 2 s.
synth mono22 22050 1 2 sine 330-2200 gain -3
encode mono22 -b 64 --resample 22.05 -m m

# Stereo 48 kHz, 2 s.
synth stereo48 48000 2 2 sine 250 sine 600-1800 gain -3
encode stereo48 -b 160 --resample 48

# Exactly 10.9 s of stereo 44.1 kHz (480690 frames after gapless trimming).
synth len10_9 44100 2 10.9 sine 300 sine 500 gain -3
encode len10_9 -b 128

# 8 kHz mono, 2 s (the lowest rate an MP3 carries).
synth mono8 8000 1 2 sine 300-1500 gain -3
encode mono8 -b 32 --resample 8 -m m

# Shorter than one frame: 400 samples (a frame holds 1152).
synth short 44100 2 400s sine 440 sine 660 gain -3
encode short -b 128

# Tagged stereo 44.1 kHz, 1 s, with ID3v1 and ID3v2 title and artist.
synth tagged 44100 2 1 sine 523 sine 784 gain -3
encode tagged -b 128 --add-id3v2 --tt "Fixture Title" --ta "Fixture Artist" --tl "Fixture Album"

# A stream whose format changes between frames: 44.1 kHz stereo, 8 kHz mono, 44.1 kHz
# stereo again. Without the encoder's info frame and with silence at the end of each part,
# every part decodes inside the whole exactly as it does alone.
synth switch_a 44100 2 2 sine 200-3000 sine 440 gain -3 pad 0 0.3
encode switch_a -t -b 128
synth switch_b 8000 1 2 sine 300-1500 gain -3 pad 0 0.3
encode switch_b -t -b 32 --resample 8 -m m
cat "$out/switch_a.mp3" "$out/switch_b.mp3" "$out/switch_a.mp3" > "$out/switch.mp3"

# A valid file cut off in the middle of a frame (frames at 128 kbit/s are
# 417 or 418 bytes; 20000 is not on a frame boundary of this file).
head -c 20000 "$out/stereo44.mp3" > "$out/truncated.mp3"

# An empty file.
: > "$out/empty.mp3"

# 16384 bytes from a fixed-seed linear congruential generator.
lcg_bytes() {
  local n=$1 x=20261209 i b s=""
  for ((i = 0; i < n; i++)); do
    x=$(( (x * 1103515245 + 12345) & 0x7fffffff ))
    printf -v b '\\x%02x' $(( (x >> 16) & 0xff ))
    s+=$b
    if (( ${#s} >= 4096 )); then printf "$s"; s=""; fi
  done
  printf "$s"
}
lcg_bytes 16384 > "$out/random.mp3"

touch "$out/.stamp"
