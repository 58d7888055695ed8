# shellcheck shell=bash disable=SC2034  # the settings are read by run_fuzz.sh
# Fuzz target "wave": the WAVE reader (audio::ParseWave). Sourced by run_fuzz.sh,
# which expects these settings and the function fuzz_seeds.

# Sources of the target, relative to the repository; their folders are on the
# include path, and so is common/ for the shared helpers.
FUZZ_SOURCES=(tests/fuzz/wave_fuzz.cpp toolkit/audio/wave_file.cpp)
FUZZ_INCLUDES=(toolkit/audio common)
# Inputs up to 4 KiB hold every header layout and many chunks; a reader that trusts a
# claimed size would allocate far more than the input, which the allocation limit
# turns into a finding. A single input taking seconds is a hang.
FUZZ_OPTIONS=(-max_len=4096 -malloc_limit_mb=16 -timeout=5)

# Little-endian fields for hand-made files: le16 N, le32 N print the bytes (as escapes
# that printf turns into them, hence a format made here).
# shellcheck disable=SC2059
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
# chunk ID BODY-FILE: one chunk with its size and, for an odd size, the pad byte.
chunk() {
  local n
  n=$(stat -c %s "$2")
  printf '%s' "$1"; le32 "$n"; cat "$2"
  [ $((n % 2)) -eq 0 ] || printf '\0'
}
# fmt_body TAG CHANNELS RATE BITS [EXTRA-FILE]
fmt_body() {
  local align=$(($2 * $4 / 8))
  le16 "$1"; le16 "$2"; le32 "$3"; le32 $(($3 * align)); le16 "$align"; le16 "$4"
  [ -z "${5:-}" ] || cat "$5"
}

# fuzz_seeds DIR: a few tiny valid files of every format the reader takes, and broken
# ones next to each rule it checks. Runs without `set -e` (the caller tests its status),
# so every step that can fail says so.
fuzz_seeds() {
  local d=$1 t
  t=$(mktemp -d "${TMPDIR:-/tmp}/gyrelot-fuzz-XXXXXX")
  local tone=(synth 0.01 sine 440)
  sox -n -r 8000 -c 1 -b 8 -e unsigned-integer "$d/pcm8_mono.wav" "${tone[@]}" || return 1
  sox -n -r 8000 -c 2 -b 16 -e signed-integer "$d/pcm16_stereo.wav" "${tone[@]}" || return 1
  sox -n -r 8000 -c 1 -e ima-adpcm "$d/ima_adpcm.wav" "${tone[@]}" || return 1
  sox -n -r 8000 -c 1 -e ms-adpcm "$d/ms_adpcm.wav" "${tone[@]}" || return 1
  sox -n -r 8000 -c 1 -e u-law "$d/mulaw.wav" "${tone[@]}" || return 1
  sox -n -r 8000 -c 1 -e a-law "$d/alaw.wav" "${tone[@]}" || return 1

  tail -c +45 "$d/pcm16_stereo.wav" | head -c 40 >"$t/sound"
  printf 'INFOabc' >"$t/list"  # odd size: a pad byte follows
  # The extensible header: cbSize 22, valid bits, channel mask, PCM sub-format GUID.
  { le16 22; le16 16; le32 3; printf '\x01\0\0\0\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71'; } >"$t/ext"
  fmt_body 1 1 8000 16 >"$t/fmt_pcm"
  fmt_body 0xFFFE 2 8000 16 "$t/ext" >"$t/fmt_ext"
  fmt_body 3 1 8000 32 >"$t/fmt_float"
  fmt_body 1 1 8000 24 >"$t/fmt_24"
  head -c 14 "$t/fmt_pcm" >"$t/fmt_short"
  riff() {  # riff OUT CHUNK-FILES...: the RIFF header around chunks already made
    local out=$1; shift
    cat "$@" >"$t/body"
    { printf RIFF; le32 $(($(stat -c %s "$t/body") + 4)); printf WAVE; cat "$t/body"; } >"$out"
  }
  chunk 'fmt ' "$t/fmt_pcm" >"$t/c_fmt"
  chunk 'fmt ' "$t/fmt_ext" >"$t/c_ext"
  chunk 'fmt ' "$t/fmt_float" >"$t/c_float"
  chunk 'fmt ' "$t/fmt_24" >"$t/c_24"
  chunk 'fmt ' "$t/fmt_short" >"$t/c_short"
  chunk LIST "$t/list" >"$t/c_list"
  chunk data "$t/sound" >"$t/c_data"
  riff "$d/extensible.wav" "$t/c_ext" "$t/c_data"
  riff "$d/list_odd_pad.wav" "$t/c_fmt" "$t/c_list" "$t/c_data"
  riff "$d/bad_float.wav" "$t/c_float" "$t/c_data"
  riff "$d/bad_24bit.wav" "$t/c_24" "$t/c_data"
  riff "$d/bad_fmt_short.wav" "$t/c_short" "$t/c_data"
  riff "$d/bad_data_first.wav" "$t/c_data" "$t/c_fmt"
  riff "$d/bad_no_data.wav" "$t/c_fmt"
  # A data chunk claiming more than is there, and one claiming more than any sound may be.
  { printf data; le32 100000; cat "$t/sound"; } >"$t/c_long"
  riff "$d/bad_data_long.wav" "$t/c_fmt" "$t/c_long"
  { printf data; le32 0xFFFFFFF0; cat "$t/sound"; } >"$t/c_huge"
  riff "$d/bad_data_huge.wav" "$t/c_fmt" "$t/c_huge"
  head -c 30 "$d/pcm16_stereo.wav" >"$d/bad_truncated.wav"
  printf 'RIFF' >"$d/bad_riff_only.wav"
  { printf 'RIFX'; tail -c +5 "$d/pcm8_mono.wav"; } >"$d/bad_not_riff.wav"
  : >"$d/bad_empty.wav"
  case "$t" in */gyrelot-fuzz-*) rm -rf "$t" ;; esac
}
