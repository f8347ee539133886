# whisper-inf as a user runs it, with the real engine and the generated
# model: the exact bytes of every output file, what -np leaves on standard
# error, and recordings decoded by ffmpeg (FFMPEG) or by the stand-in for it
# (STANDIN_DIR, for Windows under Wine). Run by CTest as
#   cmake -DCLI=... -DMODEL=... -DSAMPLE=... -DWORK=... -DVERSION=... [-DEMULATOR=...]
#         [-DFFMPEG=... | -DSTANDIN_DIR=...] -P cli_files_test.cmake
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
# run ARG... sets status, out and err; with run_input set, that file is its
# standard input.
function(run)
    set(input "")
    if(run_input)
        set(input INPUT_FILE "${WORK}/${run_input}")
    endif()
    execute_process(COMMAND ${EMULATOR} "${CLI}" ${ARGN} WORKING_DIRECTORY "${WORK}" ${input}
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

# Each of these, srt written beside it, transcribes to the model's segments.
function(check_transcribed_each)  # check_transcribed_each FILE...
    foreach(file IN LISTS ARGN)
        set(written "(missing)")
        if(EXISTS "${WORK}/${file}.srt")
            file(READ "${WORK}/${file}.srt" written)
        endif()
        check("${file}.srt holds \"${written}\"" written STREQUAL expected_srt)
    endforeach()
    set(failures "${failures}" PARENT_SCOPE)
endfunction()
set(reason "ffmpeg can't decode it: [^\n]+\n")

if(FFMPEG)
    # From the sample, with Debian's ffmpeg: the common formats, WAV files the
    # library refuses, videos with and without sound, and broken files.
    execute_process(COMMAND "${FFMPEG}" -nostdin -hide_banner -loglevel error -y -i hello.wav
                            -f lavfi -i color=c=black:s=64x48:r=10
                            -map 0:a hello.mp3 -map 0:a hello.m4a -map 0:a hello.flac
                            -map 0:a -c:a libvorbis hello.ogg -map 0:a -c:a libopus hello.opus
                            -map 1:v -map 0:a -shortest -c:v mpeg4 hello.mp4
                            -map 1:v -map 0:a -shortest -c:v libvpx -c:a libopus hello.webm
                            -map 0:a -c:a pcm_s24le hello-24.wav -map 0:a -c:a pcm_f32le hello-float.wav
                            -map 0:a -ac 3 hello-extensible.wav -map 0:a -ar 8000 -c:a pcm_alaw hello-alaw.wav
                            -map 1:v -t 1 -c:v mpeg4 silent.mp4
                    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE made ERROR_VARIABLE why)
    check("ffmpeg made the test recordings: ${why}" made EQUAL 0)
    execute_process(COMMAND head -c 100 hello.mp3 OUTPUT_FILE cut.mp3 WORKING_DIRECTORY "${WORK}")
    file(WRITE "${WORK}/text.mp3" "not a recording\n")

    set(decoded hello.mp3 hello.m4a hello.flac hello.ogg hello.opus hello.mp4 hello.webm hello-24.wav
                hello-float.wav hello-extensible.wav hello-alaw.wav)
    run(-m "${MODEL}" -osrt -np ${decoded})
    check("formats: exit status ${status}, standard error \"${err}\"" status EQUAL 0)
    check_transcribed_each(${decoded})

    run(-m "${MODEL}" -np cut.mp3 text.mp3 silent.mp4 hello.wav)
    check("broken files: exit status ${status}" status EQUAL 1)
    check("broken files: \"${out}\" holds the last file's document" out STREQUAL expected_json)
    check("broken files: standard error \"${err}\""
          err MATCHES "cut\\.mp3: ${reason}\\[1/4\\] cut\\.mp3: failed\n.*text\\.mp3: ${reason}\\[2/4\\] text\\.mp3: failed\n.*silent\\.mp4: ${reason}\\[3/4\\] silent\\.mp4: failed\n\\[4/4\\] hello\\.wav: 2 segments")

    run(-m "${MODEL}" hello.wav hello.flac)
    check("which path: the WAV file through the library's reader, \"${err}\""
          err MATCHES "Read hello\\.wav: [^\n]*\n\\[whisper_inf\\] WAV: 22050 Hz, 1 ch, 130132 frames\n")
    check("which path: the flac file through ffmpeg, \"${err}\""
          err MATCHES "\nwhisper-inf: hello\\.flac: decoded by ffmpeg: [0-9]+ samples \\(16kHz mono\\)\n")
    check("which path: ffmpeg decoded nothing else" NOT err MATCHES "hello\\.wav: decoded")

    set(run_input hello.mp3)
    run(-m "${MODEL}" -of from-stdin -osrt -)
    check("standard input: exit status ${status}, \"${err}\"" status EQUAL 0)
    check_transcribed_each(from-stdin)
    unset(run_input)

    file(MAKE_DIRECTORY "${WORK}/no-programs")
    set(path "$ENV{PATH}")
    set(ENV{PATH} "${WORK}/no-programs")
    run(-m "${MODEL}" -np hello.mp3 hello.wav)
    set(ENV{PATH} "${path}")
    check("no ffmpeg: exit status ${status}" status EQUAL 1)
    check("no ffmpeg: standard error \"${err}\"" err MATCHES
          "^whisper-inf: hello\\.mp3: not a 16-bit PCM WAV file, and ffmpeg \\(needed for other formats\\) was not found on PATH\n\\[1/2\\] hello\\.mp3: failed\n\\[2/2\\] hello\\.wav: 2 segments")
endif()

if(STANDIN_DIR)
    # The stand-in decodes any file it can open and fails one named so.
    file(WRITE "${WORK}/an input.mp3" "")
    file(WRITE "${WORK}/fail.mp3" "")
    set(engine_path "$ENV{WINEPATH}")
    set(ENV{WINEPATH} "${STANDIN_DIR};${engine_path}")
    run(-m "${MODEL}" -osrt -np "an input.mp3" fail.mp3)
    set(ENV{WINEPATH} "${engine_path}")
    check("stand-in: exit status ${status}" status EQUAL 1)
    check_transcribed_each("an input.mp3")
    check("stand-in: standard error \"${err}\"" err MATCHES
          "^\\[1/2\\] an input\\.mp3: 2 segments, [0-9.]+ s\nstand-in: first line\nstand-in: can't decode it\nwhisper-inf: fail\\.mp3: ${reason}\\[2/2\\] fail\\.mp3: failed\n$")
    run(-m "${MODEL}" -np "an input.mp3")
    check("no ffmpeg.exe: standard error \"${err}\"" err MATCHES
          "^whisper-inf: an input\\.mp3: not a 16-bit PCM WAV file, and ffmpeg [^\n]* not found on PATH\n$")
endif()

if(failures)
    message(FATAL_ERROR "whisper-inf:${failures}")
endif()
