#!/bin/bash
# Generates the test fixtures (MP3 and the other formats) into the directory given as $1.
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

# 80 s of 32 kHz mono at a low bit rate: long enough to stand at 1:10, small and quick.
synth long80 32000 1 80 sine 300-900 gain -3
encode long80 -b 32 --resample 32 -m m

# Shorter than one frame: 400 samples (a frame holds 1152).
synth short 44100 2 400s sine 440 sine 660 gain -3
encode short -b 128

# Tagged stereo 44.1 kHz, 1 s, with ID3v1 and ID3v2 title and artist.
synth tagged 44100 2 1 sine 523 sine 784 gain -3
encode tagged -b 128 --add-id3v2 --tt "Fixture Title" --ta "Fixture Artist" --tl "Fixture Album"

# Every tag the file-info dialog shows, in both ID3 versions, at 22.05 kHz mono VBR.
synth info 22050 1 2 sine 440 gain -3
encode info -V 4 --resample 22.05 -m m --add-id3v2 --tt "Info Title" --ta "Info Artist" --tl "Info Album" \
  --ty 2018 --tn 3/9 --tg Jazz --tc "Info comment"

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

# The other formats, from sox tones. Metadata and encoder names are left out where the
# tools allow, so that the files do not change between runs.
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
synth_bits() { # name rate channels bits seconds synth-args...
  local name=$1 rate=$2 ch=$3 bits=$4 len=$5; shift 5
  sox -D -n -r "$rate" -c "$ch" -b "$bits" "$work/$name.wav" synth "$len" "$@"
}
synth_bits lib16 44100 2 16 3 sine 200-3000 sine 440 gain -3
synth_bits lib24 48000 2 24 2 sine 250 sine 600-1800 gain -3
synth_bits libmono 44100 1 16 2 sine 330-2200 gain -3
synth_bits lib96 96000 2 24 2 sine 1000 sine 5000-20000 gain -3
synth_bits lib192 192000 2 16 1 sine 440 sine 880 gain -3
synth_bits lib51 48000 6 16 2 sine 200 sine 300 sine 400 sine 500 sine 60 sine 700 gain -6

synth_bits lib16ch 48000 16 16 1 sine 200 sine 300 sine 400 sine 500 sine 600 sine 700 sine 800 sine 900 \
  sine 1000 sine 1100 sine 1200 sine 1300 sine 1400 sine 1500 sine 1600 sine 1700 gain -12
flac --silent --force -o "$out/flac16.flac" "$work/lib16.wav"
flac --silent --force -o "$out/flac24.flac" "$work/lib24.wav"
flac --silent --force -o "$out/flacmono.flac" "$work/libmono.wav"
flac --silent --force --tag=TITLE="Flac Title" --tag=ARTIST="Flac Artist" --tag=ALBUM="Flac Album" \
  --tag=TRACKNUMBER=7 --tag=DATE=2019 --tag=GENRE="Flac Genre" --tag=DESCRIPTION="Flac comment" \
  -o "$out/tagged.flac" "$work/libmono.wav"
oggenc --quiet --serial 1 -q 4 -o "$out/vorbis.ogg" "$work/lib16.wav"
oggenc --quiet --serial 2 -q 2 -t "Ogg Title" -a "Ogg Artist" -l "Ogg Album" -N 4 -d 2021 \
  -o "$out/tagged.ogg" "$work/libmono.wav"
opusenc --quiet --serial 3 --bitrate 96 "$work/lib16.wav" "$out/opus.opus"
opusenc --quiet --serial 4 --bitrate 256 "$work/lib16ch.wav" "$out/opus16ch.opus"
ff -i "$work/lib16.wav" -map_metadata -1 -fflags +bitexact -flags:a +bitexact -c:a aac -b:a 128k "$out/aac.m4a"
ff -i "$work/lib16.wav" -map_metadata -1 -fflags +bitexact -flags:a +bitexact -c:a alac "$out/alac.m4a"
ff -i "$work/lib16.wav" -fflags +bitexact -flags:a +bitexact -c:a alac -metadata title="Mp4 Title" \
  -metadata artist="Mp4 Artist" -metadata album="Mp4 Album" -metadata track=2 -metadata date=2020 "$out/tagged.m4a"
# ID3 in WAV and AIFF, APE in WavPack (whose year is "Year", not "date").
for type in wav aiff; do
  ff -i "$work/libmono.wav" -map_metadata -1 -fflags +bitexact -write_id3v2 1 -metadata title="Id3 ${type^} Title" \
    -metadata artist="Id3 Artist" -metadata album="Id3 Album" -metadata track=3 -metadata date=2018 "$out/tagged.$type"
done
wavpack -q -y -w "Title=Ape Title" -w "Artist=Ape Artist" -w "Album=Ape Album" -w "Track=6" -w "Year=2016" \
  "$work/libmono.wav" -o "$out/tagged.wv"
cp "$work/lib16.wav" "$out/wav16.wav"
cp "$work/lib24.wav" "$out/wav24.wav"
cp "$work/lib96.wav" "$out/wav96.wav"
cp "$work/lib192.wav" "$out/wav192.wav"
cp "$work/lib51.wav" "$out/wav51.wav"
# No comment chunk: it would carry the time of making.
sox -D "$work/lib16.wav" --comment "" "$out/aiff16.aiff"
wavpack -q -y "$work/lib16.wav" -o "$out/wavpack.wv"
wavpack -q -y "$work/lib24.wav" -o "$out/wavpack24.wv"
# One tone cut in two at a sample that ends no codec's frame, each part in every lossy and
# lossless type that carries its exact length: played in a row they must join without a seam.
# The M4A's movie time scale is the sample rate, so its edit list holds the exact length.
synth_bits gapless 48000 2 16 3 sine 441.3 sine 887.9 gain -3
sox -D "$work/gapless.wav" "$work/gapless_a.wav" trim 0 67891s
sox -D "$work/gapless.wav" "$work/gapless_b.wav" trim 67891s
cp "$work/gapless.wav" "$out/gapless.wav"
sox -D -n -r 48000 -c 2 -b 16 "$work/gapless_lead.wav" trim 0 1.5
flac --silent --force -o "$out/gapless_lead.flac" "$work/gapless_lead.wav"
for part in a b; do
  flac --silent --force -o "$out/gapless_$part.flac" "$work/gapless_$part.wav"
  opusenc --quiet --serial 5 --bitrate 128 "$work/gapless_$part.wav" "$out/gapless_$part.opus"
  oggenc --quiet --serial 6 -q 4 -o "$out/gapless_$part.ogg" "$work/gapless_$part.wav"
  ff -i "$work/gapless_$part.wav" -map_metadata -1 -fflags +bitexact -flags:a +bitexact -c:a aac -b:a 160k \
    -movie_timescale 48000 "$out/gapless_$part.m4a"
  lame --quiet --noreplaygain -b 192 "$work/gapless_$part.wav" "$out/gapless_$part.mp3"
done
# The same without an edit list: the encoder's delay (1024) and the length in an "iTunSMPB" tag.
for part in a b; do
  [ $part = a ] && length=67891 || length=$((144000 - 67891))
  smpb=$(printf ' 00000000 00000400 %08X %016X' $(((length + 1024 + 1023) / 1024 * 1024 - length - 1024)) $length)
  ff -i "$work/gapless_$part.wav" -map_metadata -1 -fflags +bitexact -flags:a +bitexact -c:a aac -b:a 160k \
    -use_editlist 0 -movflags +use_metadata_tags -metadata iTunSMPB="$smpb" "$out/gapless_$part.smpb.m4a"
done
# A FLAC under an MP3's name; a video with a sound track; a picture and nothing else.
cp "$out/flac16.flac" "$out/flac_named.mp3"
ff -f lavfi -i "testsrc=size=64x48:rate=10:duration=2" -i "$work/lib16.wav" -map_metadata -1 \
  -fflags +bitexact -c:v mpeg4 -c:a alac -shortest "$out/video.mp4"
ff -f lavfi -i "color=c=red:size=32x32:duration=0.1" -frames:v 1 -map_metadata -1 -fflags +bitexact \
  -c:v mjpeg -f mp4 "$out/cover_only.m4a"
# A FLAC cut off inside a frame, and an Ogg file with one page's bytes overwritten.
size=$(stat -c %s "$out/flac16.flac")
head -c $((size / 2 + 333)) "$out/flac16.flac" > "$out/truncated.flac"
cp "$out/vorbis.ogg" "$out/damaged.ogg"
printf '%*s' 600 '' | tr ' ' 'Z' | dd of="$out/damaged.ogg" bs=1 seek=$(( $(stat -c %s "$out/vorbis.ogg") / 2 )) conv=notrunc status=none

# Equalizer tones, 0.4 s each at 44.1 kHz with room for a 12 dB boost: a FLAC at each band's
# centre, and an MP3 in the middle of the range of libmpg123's bands that the same slider
# moves (689.0625 Hz each).
eq_centres=(60 170 310 600 1000 3000 6000 12000 14000 16000)
eq_mpeg=(344.53125 1033.59375 1722.65625 2411.71875 3100.78125 4823.4375 7235.15625 9302.34375 11369.53125 13436.71875)
for k in "${!eq_centres[@]}"; do
  synth "eqtone$k" 44100 2 0.4 sine "${eq_centres[$k]}" gain -14
  flac --silent --force -o "$out/eqtone$k.flac" "$work/eqtone$k.wav"
  synth "eqmpeg$k" 44100 2 0.4 sine "${eq_mpeg[$k]}" gain -14
  encode "eqmpeg$k" -b 320
done

# ReplayGain: one quiet tone (peak 0.25, so +6 dB do not clip) under gains the tests know.
synth_bits rgtone 44100 2 16 1 sine 440 sine 660 gain -12
rg_flac() { # name tag...
  local name=$1; shift
  flac --silent --force -o "$out/$name.flac" "$work/rgtone.wav"
  local t args=()
  for t in "$@"; do args+=("--set-tag=$t"); done
  metaflac "${args[@]}" "$out/$name.flac"
}
rg_flac rg_tags "REPLAYGAIN_TRACK_GAIN=-6.00 dB" REPLAYGAIN_TRACK_PEAK=0.25 \
  "REPLAYGAIN_ALBUM_GAIN=-9.50 dB" REPLAYGAIN_ALBUM_PEAK=0.30
rg_flac rg_peak "REPLAYGAIN_TRACK_GAIN=+12.00 dB" REPLAYGAIN_TRACK_PEAK=0.5
rg_flac rg_bad REPLAYGAIN_TRACK_GAIN=loud "REPLAYGAIN_ALBUM_GAIN=-3 dBFS" REPLAYGAIN_TRACK_PEAK=nan \
  "REPLAYGAIN_ALBUM_PEAK=0x10"
oggenc --quiet --serial 6 -q 4 -o "$out/rg_trackonly.ogg" "$work/rgtone.wav"
vorbiscomment -w -t "replaygain_track_gain=+4.50 dB" -t "replaygain_track_peak=0.25" "$out/rg_trackonly.ogg"
wavpack -q -y -w "REPLAYGAIN_TRACK_GAIN=-6.00 dB" "$work/rgtone.wav" -o "$out/rg.wv"
# M4A keeps them as free-form atoms.
ff -i "$work/rgtone.wav" -map_metadata -1 -fflags +bitexact -c:a alac -movflags +use_metadata_tags \
  -metadata "replaygain_track_gain=-6.00 dB" -metadata "replaygain_album_gain=-9.50 dB" "$out/rg.m4a"
# Opus: an output gain of -5 dB in the header (1/256 dB), R128 gains of -10 and -6 dB
# against -23 LUFS, and a ReplayGain tag that Opus files must not be played by.
opusenc --quiet --serial 7 --bitrate 96 "$work/rgtone.wav" "$out/rg_plain.opus"
ff -i "$out/rg_plain.opus" -map_metadata -1 -fflags +bitexact -c:a copy -bsf:a opus_metadata=gain=-1280 \
  -metadata R128_TRACK_GAIN=-2560 -metadata r128_album_gain=-1536 -metadata "REPLAYGAIN_TRACK_GAIN=-20.00 dB" \
  "$out/rg.opus"
rg_mp3() { # name TXXX-description=value...
  local name=$1; shift
  local t args=()
  for t in "$@"; do args+=(--tv "TXXX=$t"); done
  lame --quiet --noreplaygain -b 128 "${args[@]}" "$work/rgtone.wav" "$out/$name.mp3"
}
rg_mp3 rg "replaygain_track_gain=-6.00 dB" replaygain_track_peak=0.25 "REPLAYGAIN_ALBUM_GAIN=-9.50 dB"
rg_mp3 rg_trackonly "replaygain_track_gain=+4.50 dB"
rg_mp3 rg_peak "replaygain_track_gain=+12.00 dB" replaygain_track_peak=0.5
rg_mp3 rg_zero "replaygain_track_gain=+0.00 dB"
rg_mp3 rg_bad replaygain_track_gain=abc replaygain_track_peak=inf
# The encoder's own gain in its info tag, and what it says it stored.
lame --nohist -b 128 "$work/rgtone.wav" "$out/rg_lame.mp3" 2>&1 | sed -n 's/^ReplayGain: \(.*\)dB$/\1/p' > "$out/rg_lame.gain"

touch "$out/.stamp"
