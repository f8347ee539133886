/** One recognised stretch of speech, in milliseconds from the start. */
export interface Segment {
  startMs: number;
  endMs: number;
  /** The text, with the leading blank the engine gives it. */
  text: string;
}

/** A transcription: the language, the segments, their texts joined and the JSON document exactly as returned. */
export interface Transcript {
  language: string;
  segments: Segment[];
  text: string;
  document: string;
}

export interface TranscribeOptions {
  /** A code such as "en", "auto" to detect it, or null (the default) for the engine's default. */
  language?: string | null;
  /** Translate the speech into English. */
  translate?: boolean;
  /** Above 0, the longest a segment may be, in characters. */
  maxLen?: number;
}

/** Loads the model file, replacing any loaded model. */
export function load(modelPath: string): Promise<void>;

/** Releases the loaded model, if any. */
export function unload(): Promise<void>;

/** Transcribes a 16-bit PCM WAV file of any sample rate and channel count. */
export function transcribe(wavPath: string, options?: TranscribeOptions): Promise<Transcript>;

/** Transcribes 16 kHz mono samples at full scale 1.0; the samples are copied when the call is made. */
export function transcribePcm(samples: Float32Array, options?: TranscribeOptions): Promise<Transcript>;
