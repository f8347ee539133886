// A typed host: compiled with tsc --noEmit --strict against the declarations.
import { load, transcribe, transcribePcm, unload, type Segment, type TranscribeOptions } from "whisper-inf";

export async function spokenMilliseconds(model: string, wav: string): Promise<number> {
  const options: TranscribeOptions = { language: "auto", translate: false, maxLen: 0 };
  await load(model);
  const transcripts = [await transcribe(wav, options), await transcribePcm(new Float32Array(16000), { language: null })];
  await unload();
  const segments: Segment[] = transcripts.flatMap((transcript) => transcript.segments);
  // @ts-expect-error the samples must be a Float32Array
  await transcribePcm([0.5]);
  return segments.reduce((total, segment) => total + segment.endMs - segment.startMs, 0) + transcripts[0].text.length;
}
