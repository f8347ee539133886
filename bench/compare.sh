#!/usr/bin/env bash
# Measures the library side by side with ffmpeg, sox and the engine's own
# whisper-cli, then writes bench/RESULTS.md. Sets itself up (packages, engine,
# build), makes its own audio and models, and takes about 40 minutes on 2 cores:
#
#   bench/compare.sh [BUILD_DIR]     (default: build-bench)
#
# End to end it runs the generated test model, whose engine work is almost
# nil, and generated models with the published shapes of tiny, base and
# MODEL_SIZE (default base; also small, medium, large-v3, large-v3-turbo),
# which cost what the published ones cost. Their windows decode TEXT_TOKENS
# (default 75) text tokens each, as speech does.
#
# RUNS (default 7) sets the runs per conversion figure, E2E_RUNS (default 5)
# those per end-to-end figure with the test model, SIZED_RUNS (default 3)
# those per model size, PEAK_RUNS (default 3) those per memory figure.
# Runs go round-robin, so load from elsewhere falls on every contender alike.
#
# ENGINE_DIR measures another engine build of the same version instead of
# build/engine, such as the Vulkan one or a CUDA build of your own: a folder
# with lib/ and bin/whisper-cli, as `cmake --install` lays it out. Its report
# goes to BUILD_DIR/RESULTS.md; bench/RESULTS.md keeps the CPU engine's figures.
set -euo pipefail
export LC_ALL=C  # EPOCHREALTIME and printf need a decimal point

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-bench}")
runs=${RUNS:-7}
e2e_runs=${E2E_RUNS:-5}
peak_runs=${PEAK_RUNS:-3}
sized_runs=${SIZED_RUNS:-3}
model_size=${MODEL_SIZE:-base}
text_tokens=${TEXT_TOKENS:-75}  # 2.5 tokens a second
sizes=(tiny base)
[[ " ${sizes[*]} " == *" $model_size "* ]] || sizes+=("$model_size")
data="$build/bench-data"  # generated inputs, kept for reruns
out="$build/bench-out"    # raw figures of this run, read by report.py

# shellcheck source=../scripts/lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages ffmpeg sox libbenchmark-dev time python3
mkdir -p "$build"
echo "setting up and building in $build (log: $build/setup.log)"
"$root/scripts/setup.sh" "$build" >"$build/setup.log" 2>&1 || { tail -30 "$build/setup.log" >&2; exit 1; }
cmake -S "$root" -B "$build" -DWHISPER_INF_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_micro bench_convert_only bench_touch_floor \
    >>"$build/setup.log" 2>&1 || { tail -30 "$build/setup.log" >&2; exit 1; }

engine=$(realpath -m "${ENGINE_DIR:-$root/build/engine}")
results="$root/bench/RESULTS.md"
engine_label=
if [ "$engine" != "$root/build/engine" ]; then
    results="$build/RESULTS.md"
    engine_label=" from $engine"
fi
[ -x "$engine/bin/whisper-cli" ] || { echo "no bin/whisper-cli in $engine" >&2; exit 1; }
# The same engine built for this machine's CPU, to tell what the portable
# baseline of the provisioned one costs.
native="$build/engine-native"
echo "provisioning the engine for this CPU in $native"
ENGINE_CPU=native "$root/scripts/provision-engine.sh" "$native" >>"$build/setup.log" 2>&1 ||
    { tail -30 "$build/setup.log" >&2; exit 1; }
cli="$engine/bin/whisper-cli"
host="$build/whisper-inf"
convert="$build/bench-convert-only"
floor="$build/bench-touch-floor"
# Both hosts take the same engine libraries.
export LD_LIBRARY_PATH="$engine/lib"
threads=4

rm -rf "$out"
mkdir -p "$data" "$out/times" "$out/peak"

# 44.1 kHz stereo 16-bit noise, white on the left and pink on the right.
for minutes in 10 60; do
    wav="$data/noise-${minutes}min.wav"
    [ -s "$wav" ] || {
        echo "generating $wav"
        sox -n -r 44100 -c 2 -b 16 -e signed-integer "$wav.tmp.wav" \
            synth $((minutes * 60)) whitenoise pinknoise vol 0.5
        mv "$wav.tmp.wav" "$wav"
    }
done
# The largest file a WAV header can state: 4 GiB of 48 kHz stereo data, 6.2
# hours. It is sparse, so making it writes nothing and reading it is cheap.
wav4g="$data/sparse-4gib-48k.wav"
[ -s "$wav4g" ] || {
    echo "generating $wav4g"
    printf 'RIFF\xff\xff\xff\xffWAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x80\xbb\x00\x00%b' \
        '\x00\xee\x02\x00\x04\x00\x10\x00data\xfc\xff\xff\xff' >"$wav4g.tmp"
    truncate -s $((44 + 0xfffffffc)) "$wav4g.tmp"
    mv "$wav4g.tmp" "$wav4g"
}
model="$data/test-model.bin"  # what the end-to-end commands run
"$build/tests/make_test_model" "$model" >/dev/null
for size in "${sizes[@]}"; do
    echo "generating the $size model"
    "$build/tests/make_test_model" --size "$size" --text-tokens "$text_tokens" "$data/model-$size.bin" ||
        exit 1
done
wav10="$data/noise-10min.wav"
wav60="$data/noise-60min.wav"

# Input samples (all channels) and output samples, as the pipeline counts them.
samples_of() {
    local frames channels rate
    frames=$(soxi -s "$1")
    channels=$(soxi -c "$1")
    rate=$(soxi -r "$1")
    echo "$((frames * channels)) $((frames * 16000 / rate))"
}
read -r in10 out10 < <(samples_of "$wav10")
read -r in60 out60 < <(samples_of "$wav60")
out4g=$((0xfffffffc / 4 * 16000 / 48000))

# The contenders. What they print is not kept (the runners send it to
# /dev/null), as the library keeps its converted samples in memory. A runner
# may put a measuring command in `wrap` before each.
wrap=()
ours_convert() { "${wrap[@]}" "$convert" "$1"; }
floor_helper() { "${wrap[@]}" "$floor" "$@"; }
read_only() { "${wrap[@]}" dd if="$1" of=/dev/null bs=1M status=none; }
ffmpeg_convert() { "${wrap[@]}" ffmpeg -nostdin -v error -i "$1" -ar 16000 -ac 1 -f f32le pipe:1; }
sox_convert() { "${wrap[@]}" sox "$1" -t f32 -r 16000 -c 1 -; }
# whisper-cli picks greedy sampling for a beam size of 1 and keeps the
# engine's best-of; -nt is not passed because it also switches the decoder to
# no-timestamp mode, while our host decodes with timestamps and only does not
# print them.
# An engine with backend plugins keeps them in lib/, and whisper-cli looks for
# them beside itself and in the current folder only, so it runs from lib/.
cli_e2e() (cd "$engine/lib" && "${wrap[@]}" "$cli" -m "$model" -t "$threads" -bs 1 -f "$1")
ours_e2e() { "${wrap[@]}" "$host" -m "$model" "$1"; }
ours_native_e2e() { LD_LIBRARY_PATH="$native/lib" ours_e2e "$1"; }
two_step_e2e() {
    ffmpeg -nostdin -v error -y -i "$1" -ar 16000 -ac 1 -c:a pcm_s16le "$data/two-step.wav" &&
        cli_e2e "$data/two-step.wav"
}

# measure_times N NAME:COMMAND... runs every command once per round, N rounds,
# after one untimed round that fills the page cache; seconds go to
# $out/times/NAME, one run a line. Each round starts one command further on,
# so none always follows the same one (the memory a process leaves behind
# decides how readily the next one gets huge pages).
measure_times() {
    local n=$1 round i job name t0 t1
    shift
    local queue=("$@")
    for ((round = 0; round <= n; ++round)); do
        for ((i = 0; i < ${#queue[@]}; ++i)); do
            job=${queue[(i + round) % ${#queue[@]}]}
            name=${job%%:*}
            t0=$EPOCHREALTIME
            eval "${job#*:}" >/dev/null 2>>"$out/stderr.log" ||
                { echo "failed: ${job#*:} (see $out/stderr.log)" >&2; exit 1; }
            t1=$EPOCHREALTIME
            if ((round > 0)); then
                awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }' >>"$out/times/$name"
            fi
        done
    done
}

# measure_peaks N NAME:COMMAND... records the seconds and the peak resident set
# in kB of each run, as one line in $out/peak/NAME.
measure_peaks() {
    local n=$1 round job
    shift
    for ((round = 0; round < n; ++round)); do
        for job in "$@"; do
            wrap=(/usr/bin/time -f "%e %M" -o "$out/peak.tmp")
            eval "${job#*:}" >/dev/null 2>>"$out/stderr.log" ||
                { echo "failed: ${job#*:} (see $out/stderr.log)" >&2; exit 1; }
            wrap=()
            tail -n 1 "$out/peak.tmp" >>"$out/peak/${job%%:*}"
        done
    done
}

# The totals of the engine's timing report on standard error: encode ms,
# encoder runs (one a window), then decode, batched-decode and prompt ms.
engine_timings() {
    awk '$1 == "whisper_print_timings:" && $3 == "time" { t[$2] = $5; n[$2] = $8 }
         END { print t["encode"], n["encode"], t["decode"], t["batchd"], t["prompt"] }' "$1"
}

# measure_sized N SIZE NAME:COMMAND... runs like measure_times but with no
# untimed round (the file and the freshly written model are cached), keeping
# per run, as one line in $out/sized/SIZE/NAME: seconds, peak resident set in
# kB, and the engine's timings.
measure_sized() {
    local n=$1 dir="$out/sized/$2" round i job
    shift 2
    local queue=("$@")
    mkdir -p "$dir"
    for ((round = 0; round < n; ++round)); do
        for ((i = 0; i < ${#queue[@]}; ++i)); do
            job=${queue[(i + round) % ${#queue[@]}]}
            wrap=(/usr/bin/time -f "%e %M" -o "$out/peak.tmp")
            eval "${job#*:}" >/dev/null 2>"$out/run.log" ||
                { cat "$out/run.log" >>"$out/stderr.log"; echo "failed: ${job#*:} (see $out/stderr.log)" >&2; exit 1; }
            wrap=()
            echo "$(tail -n 1 "$out/peak.tmp") $(engine_timings "$out/run.log")" >>"$dir/${job%%:*}"
        done
    done
}

# CPU time the whole machine spent busy, in clock ticks, to tell afterwards
# how much of it went to others.
busy_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 + $9 }' /proc/stat; }
# CPU time of this script's finished children, in clock ticks.
children_ticks() { awk '{ print $16 + $17 }' "/proc/$$/stat"; }

{
    echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)"
    echo "cores=$(nproc)"
    echo "cpu_flags=$(grep -m1 '^flags' /proc/cpuinfo | tr ' ' '\n' |
        grep -E '^(sse4_2|avx|avx2|fma|f16c|avx_vnni|avx512.*|amx.*)$' | tr '\n' ' ')"
    echo "memory_mb=$(awk '/MemTotal/ { printf "%d", $2 / 1024 }' /proc/meminfo)"
    echo "kernel=$(uname -r)"
    echo "os=$(. /etc/os-release && echo "$PRETTY_NAME")"
    echo "thp=$(cat /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || echo unknown)"
    echo "compiler=$(c++ --version | head -1)"
    echo "build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
    echo "engine=whisper.cpp $(cat "$engine/engine-version" 2>/dev/null || echo '(version not recorded)')$engine_label"
    echo "ffmpeg=$(ffmpeg -version | head -1 | cut -d' ' -f1-3)"
    echo "sox=$(sox --version | sed 's/.*SoX v/SoX /')"
    echo "benchmark=$(dpkg-query -W -f='${Version}' libbenchmark-dev)"
    echo "in10=$in10"
    echo "out10=$out10"
    echo "in60=$in60"
    echo "out60=$out60"
    echo "out4g=$out4g"
    echo "threads=$threads"
    echo "runs=$runs"
    echo "e2e_runs=$e2e_runs"
    echo "peak_runs=$peak_runs"
    echo "sized_runs=$sized_runs"
    echo "sizes=${sizes[*]}"
    echo "model_size=$model_size"
    echo "text_tokens=$text_tokens"
    echo "seconds10=$((out10 / 16000))"
    for size in "${sizes[@]}"; do echo "model_bytes_$size=$(stat -c %s "$data/model-$size.bin")"; done
    echo "load_before=$(cut -d' ' -f1-3 /proc/loadavg)"
} >"$out/meta.env"
start=$EPOCHREALTIME
busy_start=$(busy_ticks)
ours_start=$(children_ticks)

# The figures that matter most first.
for size in "${sizes[@]}"; do
    model="$data/model-$size.bin"
    echo "end to end on the 10-minute file with the $size model, $sized_runs runs"
    measure_sized "$sized_runs" "$size" \
        "ours:ours_e2e '$wav10'" \
        "native:ours_native_e2e '$wav10'" \
        "cli:cli_e2e '$wav10'"
done
model="$data/test-model.bin"

echo "micro-benchmarks"
"$build/bench-micro" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/micro.json" --benchmark_out_format=json >"$out/micro.txt" 2>>"$out/stderr.log"

echo "conversion of the 10-minute file, $runs runs"
measure_times "$runs" \
    "floor:floor_helper '$wav10' $out10" \
    "ours:ours_convert '$wav10'" \
    "ffmpeg:ffmpeg_convert '$wav10'" \
    "sox:sox_convert '$wav10'" \
    "floor_small:floor_helper --small-pages '$wav10' $out10" \
    "touch:floor_helper /dev/null $out10" \
    "touch_small:floor_helper --small-pages /dev/null $out10" \
    "read:read_only '$wav10'"

echo "end to end on the 10-minute file, $e2e_runs runs"
measure_times "$e2e_runs" \
    "e2e_ours:ours_e2e '$wav10'" \
    "e2e_native:ours_native_e2e '$wav10'" \
    "e2e_cli:cli_e2e '$wav10'" \
    "e2e_two_step:two_step_e2e '$wav10'"
segments_ours=$(ours_e2e "$wav10" 2>/dev/null | grep -c '"offsets"' || true)
segments_cli=$(cli_e2e "$wav10" 2>/dev/null | grep -c -- '-->' || true)
rm -f "$data/two-step.wav"

echo "peak memory and time converting the 60-minute and the 4 GiB file, $peak_runs runs"
measure_peaks "$peak_runs" \
    "ours:ours_convert '$wav60'" \
    "ffmpeg:ffmpeg_convert '$wav60'" \
    "sox:sox_convert '$wav60'" \
    "ours_4g:ours_convert '$wav4g'" \
    "ffmpeg_4g:ffmpeg_convert '$wav4g'"

{
    echo "segments_ours=$segments_ours"
    echo "segments_cli=$segments_cli"
    echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)"
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "elapsed=%.1f\n", b - a }'
    echo "busy_seconds=$((($(busy_ticks) - busy_start) / $(getconf CLK_TCK)))"
    echo "ours_seconds=$((($(children_ticks) - ours_start) / $(getconf CLK_TCK)))"
} >>"$out/meta.env"

python3 "$root/bench/report.py" "$out" "$results"
echo "results in $results"
