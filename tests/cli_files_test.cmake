# whisper-inf as a user runs it, with the real engine and the generated
# model: the exact bytes of every output file, and what -np leaves on
# standard error. Run by CTest as
#   cmake -DCLI=... -DMODEL=... -DSAMPLE=... -DWORK=... -DVERSION=... [-DEMULATOR=...] -P cli_files_test.cmake
# with the engine on the library search path.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY_FILE "${SAMPLE}" "${WORK}/hello.wav")

set(failures "")
function(check what)  # check WHAT CONDITION...: CONDITION as if() takes it
    if(NOT (${ARGN}))
        set(failures "${failures}\n  ${what}" PARENT_SCOPE)
    endif()
endfunction()
function(run)  # run ARG... sets status, out and err
    execute_process(COMMAND ${EMULATOR} "${CLI}" ${ARGN} WORKING_DIRECTORY "${WORK}"
                    RESULT_VARIABLE code OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
    # Wine's own start-up notes are not the program's output.
    string(REGEX REPLACE "(^|\n)wine: [^\n]*" "" stderr "${stderr}")
    set(status "${code}" PARENT_SCOPE)
    set(out "${stdout}" PARENT_SCOPE)
    set(err "${stderr}" PARENT_SCOPE)
endfunction()

run(--version)
set(expected_version "whisper-inf ${VERSION}\n")
check("--version prints \"${out}\"" out STREQUAL expected_version)

# An existing output is replaced whole.
file(WRITE "${WORK}/hello.wav.srt" "old subtitles\n")
run(-m "${MODEL}" -osrt -ovtt -otxt -ocsv -oj -np hello.wav)
set(nothing "")
check("all formats: exit status ${status}" status EQUAL 0)
check("all formats: standard output \"${out}\"" out STREQUAL nothing)
check("all formats: -np left \"${err}\"" err MATCHES "^\\[1/1\\] hello\\.wav: 2 segments, [0-9]+\\.[0-9] s\n$")

set(expected_json [=[{
  "result": {"language": "en"},
  "transcription": [
    {"offsets": {"from": 0, "to": 1000}, "text": " tiny test"},
    {"offsets": {"from": 1200, "to": 2000}, "text": " model"}
  ]
}
]=])
set(expected_txt " tiny test\n model\n")
set(expected_srt "1\n00:00:00,000 --> 00:00:01,000\n tiny test\n\n2\n00:00:01,200 --> 00:00:02,000\n model\n\n")
set(expected_vtt "WEBVTT\n\n00:00:00.000 --> 00:00:01.000\n tiny test\n\n00:00:01.200 --> 00:00:02.000\n model\n\n")
set(expected_csv "start,end,text\n0,1000,\" tiny test\"\n1200,2000,\" model\"\n")
foreach(format json txt srt vtt csv)
    set(written "(missing)")
    if(EXISTS "${WORK}/hello.wav.${format}")
        file(READ "${WORK}/hello.wav.${format}" written)
    endif()
    check("hello.wav.${format} holds \"${written}\"" written STREQUAL expected_${format})
endforeach()

# A failed file says why despite -np, and leaves its existing output alone.
file(WRITE "${WORK}/missing.wav.srt" "kept\n")
run(-m "${MODEL}" -osrt -np missing.wav)
file(READ "${WORK}/missing.wav.srt" kept)
set(untouched "kept\n")
check("failed file: exit status ${status}" status EQUAL 1)
check("failed file: standard error \"${err}\"" err MATCHES "Failed to read WAV: missing\\.wav\n\\[1/1\\] missing\\.wav: failed\n$")
check("failed file: its output became \"${kept}\"" kept STREQUAL untouched)

file(GLOB left RELATIVE "${WORK}" "${WORK}/*")
list(SORT left)
string(REPLACE ";" " " left "${left}")
set(expected_left "hello.wav hello.wav.csv hello.wav.json hello.wav.srt hello.wav.txt hello.wav.vtt missing.wav.srt")
check("files left: ${left}" left STREQUAL expected_left)

if(failures)
    message(FATAL_ERROR "whisper-inf:${failures}")
endif()
