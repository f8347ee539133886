"use strict";
// The installed package driven as a host drives it, with the generated test
// model (MODEL), whose output is the same two segments whatever the audio,
// and the sample WAV file (SAMPLE).
const assert = require("node:assert/strict");
const test = require("node:test");
const whisper = require("whisper-inf");

const { MODEL, SAMPLE } = process.env;
const SEGMENTS = [
  { startMs: 0, endMs: 1000, text: " tiny test" },
  { startMs: 1200, endMs: 2000, text: " model" },
];
const seconds = (count) => new Float32Array(16000 * count);

function assertTranscript(transcript) {
  assert.deepEqual(transcript.segments, SEGMENTS);
  assert.equal(transcript.language, "en");
  assert.equal(transcript.text, " tiny test model");
  assert.deepEqual(JSON.parse(transcript.document).transcription[1].offsets, { from: 1200, to: 2000 });
}

// First: the library is opened on first use, and only a good one is kept.
test("a bad WHISPER_INF_LIBRARY is the only place tried, and named", async () => {
  process.env.WHISPER_INF_LIBRARY = "/nowhere/libmissing.so";
  try {
    await assert.rejects(whisper.load(MODEL), {
      name: "Error",
      message: /can't be loaded; tried: \/nowhere\/libmissing\.so \([^;]*\)$/,
    });
  } finally {
    delete process.env.WHISPER_INF_LIBRARY;
  }
});

test("failures reject with an Error saying what failed", async () => {
  const cases = [
    [() => whisper.transcribe("missing.wav"), /^transcribing missing\.wav failed; the library's diagnostics/],
    [() => whisper.load("missing.bin"), /^loading the model missing\.bin failed/],
    [() => whisper.transcribe(`${SAMPLE}\0.txt`), /contains a NUL character/],
    [() => whisper.transcribe("\ud800.wav"), /is not valid Unicode/],
    [() => whisper.transcribePcm([0.5]), /must be a Float32Array/],
    [() => whisper.transcribePcm(seconds(1), { maxLen: 2 ** 31 }), /maxLen 2147483648 is not a C int/],
    [() => whisper.transcribePcm(seconds(1), { language: "é" }), /is not an ASCII string/],
  ];
  for (const [call, message] of cases) await assert.rejects(call(), { name: "Error", message });
});

test("a WAV file and PCM samples started together take turns and settle in order", async () => {
  await whisper.load(MODEL);
  const settled = [];
  const calls = [
    whisper.transcribe(SAMPLE),
    whisper.transcribe("missing.wav"),
    whisper.transcribePcm(seconds(2), { language: "en", maxLen: 40 }),
  ].map((call, index) => call.finally(() => settled.push(index)));
  const [file, missing, pcm] = await Promise.allSettled(calls);
  assert.deepEqual(settled, [0, 1, 2]);
  assertTranscript(file.value);
  assert.equal(missing.status, "rejected");
  assertTranscript(pcm.value);
});

test("the event loop turns while a transcription runs", async () => {
  // A call made on the main thread would hold every timer back until it had
  // returned and its promise had settled; this one runs on a worker thread.
  let ticksWhileRunning = 0;
  let running = true;
  const timer = setInterval(() => {
    if (running) ticksWhileRunning += 1;
  }, 1);
  try {
    await whisper.transcribePcm(seconds(60)).finally(() => (running = false));
  } finally {
    clearInterval(timer);
  }
  assert.ok(ticksWhileRunning > 0, "no timer fired during the transcription");
  await whisper.unload();
});
