// Transcribes a WAV file: Example.exe MODEL FILE.wav [LANGUAGE]
using System;
using WhisperInf;

internal static class Example
{
    private static int Main(string[] args)
    {
        if (args.Length < 2 || args.Length > 3)
        {
            Console.Error.WriteLine("usage: Example.exe MODEL FILE.wav [LANGUAGE]");
            return 2;
        }
        try
        {
            Transcriber.Load(args[0]);
            Transcript transcript = Transcriber.Transcribe(args[1], args.Length == 3 ? args[2] : "auto");
            Transcriber.Unload();
            Console.WriteLine("language: " + transcript.Language);
            foreach (Segment segment in transcript.Segments)
                Console.WriteLine($"[{segment.FromMs,7} -> {segment.ToMs,7} ms]{segment.Text}");
            return 0;
        }
        catch (WhisperInfException e)
        {
            Console.Error.WriteLine("Example: " + e.Message);
            return 1;
        }
    }
}
