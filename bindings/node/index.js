"use strict";
// Speech-to-text through the tovandel-whispercpp-transcription-inference
// library. Every call into it runs on a worker thread, so the event loop keeps
// turning; the library holds one model per process and must not be entered
// twice at once, so the calls wait their turn in one queue.
//
// The library is found, on first use, at the path in WHISPER_INF_LIBRARY, else
// in the native package for this platform (whisper-inf-linux-x64, ...), else
// by the platform's own search.

const path = require("node:path");
const koffi = require("koffi");

const LIBRARY_NAME = "tovandel-whispercpp-transcription-inference";
const LIBRARY_FILE = process.platform === "win32" ? `${LIBRARY_NAME}.dll` : `lib${LIBRARY_NAME}.so`;
const NATIVE_PACKAGE = `whisper-inf-${process.platform}-${process.arch}`;
const WHY = "the library's diagnostics on standard error say why";
const INT_MIN = -(2 ** 31);
const INT_MAX = 2 ** 31 - 1;

// A document comes back as a plain pointer, not a string, so that the pointer
// itself can be handed back to whisper_inf_free.
const EXPORTS = {
  load: "int whisper_inf_load(const char *model_path)",
  unload: "void whisper_inf_unload()",
  free: "void whisper_inf_free(void *document)",
  transcribePcm:
    "void *whisper_inf_transcribe_pcm(const float *pcm, int n_samples, const char *language, int translate, int max_len)",
  transcribe: "void *whisper_inf_transcribe(const char *wav_path, const char *language, int translate, int max_len)",
};

let library = null;
let queue = Promise.resolve();

function candidates() {
  const chosen = process.env.WHISPER_INF_LIBRARY;
  // An explicit choice is the only one: falling back would hide a mistake.
  if (chosen) return { tried: [], paths: [chosen] };
  try {
    const folder = path.dirname(require.resolve(`${NATIVE_PACKAGE}/package.json`));
    return { tried: [], paths: [path.join(folder, LIBRARY_FILE), LIBRARY_FILE] };
  } catch {
    return { tried: [`${NATIVE_PACKAGE} (not installed)`], paths: [LIBRARY_FILE] };
  }
}

function openLibrary() {
  if (library) return library;
  const { tried, paths } = candidates();
  for (const candidate of paths) {
    try {
      const opened = koffi.load(candidate);
      const functions = {};
      for (const [name, prototype] of Object.entries(EXPORTS)) functions[name] = opened.func(prototype);
      library = functions;
      return library;
    } catch (error) {
      tried.push(`${candidate} (${error.message})`);
    }
  }
  throw new Error(`the library ${LIBRARY_FILE} can't be loaded; tried: ${tried.join("; ")}`);
}

// Runs work after every call before it has settled; a failure does not stop the queue.
function enqueue(work) {
  const result = queue.then(work);
  queue = result.catch(() => {});
  return result;
}

// Calls the function on a worker thread. The arguments stay referenced here
// until it returns, so the memory they point to outlives the call.
function callAsync(fn, ...args) {
  return new Promise((resolve, reject) => {
    fn.async(...args, (error, result) => (error ? reject(error) : resolve(result)));
  });
}

function withoutNul(text, what) {
  if (text.includes("\0")) throw new Error(`${what} ${JSON.stringify(text)} contains a NUL character`);
  return text;
}

// The library opens files with the C runtime's narrow functions: UTF-8 on
// Linux, the ANSI code page on Windows, where a path outside it must not be
// garbled into another file's name.
const encodeNarrow = process.platform === "win32" ? windowsAnsi() : (text) => Buffer.from(`${text}\0`, "utf8");

function windowsAnsi() {
  const CP_ACP = 0;
  const CP_UTF8 = 65001;
  const WC_NO_BEST_FIT_CHARS = 0x400;
  let kernel32 = null;
  return (text) => {
    if (!kernel32) {
      const opened = koffi.load("kernel32.dll");
      kernel32 = {
        getACP: opened.func("uint32_t __stdcall GetACP()"),
        convert: opened.func(
          "int __stdcall WideCharToMultiByte(uint32_t page, uint32_t flags, const char16_t *wide, int wide_count, " +
            "uint8_t *narrow, int narrow_size, const char *default_char, _Out_ int *used_default)",
        ),
      };
    }
    // A process whose ANSI code page is UTF-8 takes every path as is.
    if (kernel32.getACP() === CP_UTF8) return Buffer.from(`${text}\0`, "utf8");
    const usedDefault = [0];
    const size = kernel32.convert(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, null, 0, null, usedDefault);
    if (size <= 0 || usedDefault[0] !== 0) return null;
    const narrow = Buffer.alloc(size);
    return kernel32.convert(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, narrow, size, null, null) === size ? narrow : null;
  };
}

function narrowPath(value, what) {
  if (typeof value !== "string") throw new Error(`${what} must be a string, not ${typeof value}`);
  // A lone surrogate has no encoding: it would silently become another path.
  if (/\p{Cs}/u.test(value)) throw new Error(`${what} ${JSON.stringify(value)} is not valid Unicode`);
  const encoded = encodeNarrow(withoutNul(value, what));
  if (!encoded) throw new Error(`${what} ${JSON.stringify(value)} can't be written in the ANSI code page`);
  return encoded;
}

function cInt(value, what) {
  if (!Number.isInteger(value) || value < INT_MIN || value > INT_MAX) {
    throw new Error(`${what} ${String(value)} is not a C int`);
  }
  return value;
}

// The options as the library's arguments: language, translate, max_len.
function settings({ language = null, translate = false, maxLen = 0 } = {}) {
  if (language !== null && (typeof language !== "string" || !/^[\x01-\x7f]*$/.test(language))) {
    throw new Error(`the language code ${JSON.stringify(language)} is not an ASCII string`);
  }
  return [language, translate ? 1 : 0, cInt(maxLen, "maxLen")];
}

// Reads the document into a Transcript, always freeing it through the library.
function takeDocument(functions, pointer, failed) {
  if (!pointer) throw new Error(`${failed}; ${WHY}`);
  let document;
  try {
    document = koffi.decode(pointer, "char", -1);
  } finally {
    functions.free(pointer);
  }
  try {
    const parsed = JSON.parse(document);
    const segments = parsed.transcription.map((item) => ({
      startMs: item.offsets.from,
      endMs: item.offsets.to,
      text: item.text,
    }));
    const text = segments.map((segment) => segment.text).join("");
    return { language: parsed.result.language, segments, text, document };
  } catch (error) {
    throw new Error(`${failed}: the document can't be read (${error.message})`);
  }
}

/** Loads the model file, replacing any loaded model. */
async function load(modelPath) {
  const encoded = narrowPath(modelPath, "the model path");
  return enqueue(async () => {
    if ((await callAsync(openLibrary().load, encoded)) !== 0) {
      throw new Error(`loading the model ${modelPath} failed; ${WHY}`);
    }
  });
}

/** Releases the loaded model, if any. */
async function unload() {
  return enqueue(async () => {
    if (library) await callAsync(library.unload);
  });
}

/** Transcribes a 16-bit PCM WAV file of any sample rate and channel count. */
async function transcribe(wavPath, options) {
  const encoded = narrowPath(wavPath, "the WAV path");
  const args = settings(options);
  return enqueue(async () => {
    const functions = openLibrary();
    const document = await callAsync(functions.transcribe, encoded, ...args);
    return takeDocument(functions, document, `transcribing ${wavPath} failed`);
  });
}

/** Transcribes 16 kHz mono samples at full scale 1.0. */
async function transcribePcm(samples, options) {
  if (!(samples instanceof Float32Array)) throw new Error("the samples must be a Float32Array");
  const count = cInt(samples.length, "the sample count");
  // A copy: the call may wait its turn while the caller reuses the array.
  const pcm = samples.slice();
  const args = settings(options);
  return enqueue(async () => {
    const functions = openLibrary();
    const document = await callAsync(functions.transcribePcm, pcm, count, ...args);
    return takeDocument(functions, document, `transcribing ${count} samples failed`);
  });
}

module.exports = { load, unload, transcribe, transcribePcm };
