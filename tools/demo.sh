#!/usr/bin/env bash
# Renders the demo clips with quillwave-render: a generated bass riff, dry,
# then through each filter mode and the auto-pan mode.
#   tools/demo.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=${1:?build directory}
out=${2:?output directory}
render() { "$build/quillwave-render" --plugin "$build/Quillwave.so" --quiet "$@"; }

mkdir -p "$out"
clip="$out/demo-dry.wav"
# The riff plays at 100 BPM; the oscillator follows that tempo in quarter
# notes and sweeps wide between about 180 Hz and 1.4 kHz.
common=(--tempo 100 --set TempoSync=1 --set Note=2 --set Cutoff1=0.1 --set Cutoff2=0.7 --set Mix=0.9)

# Bypassed, the plug-in hands back the synthesised input: the dry clip.
render --generate 8 --encoding pcm16 --set OnOff=1 "$clip"
render "${common[@]}" --set FilterMode=0 "$clip" "$out/demo-lowpass.wav"
render "${common[@]}" --set FilterMode=1 "$clip" "$out/demo-bandpass.wav"
render "${common[@]}" --set FilterMode=2 "$clip" "$out/demo-wah.wav"
render "${common[@]}" --set FilterMode=2 --set Mode=1 "$clip" "$out/demo-autopan.wav"

echo "Demo clips (8 s, 44.1 kHz stereo WAV):"
for f in dry lowpass bandpass wah autopan; do
  echo "  $out/demo-$f.wav"
done
