// Speech-to-text for .NET through the tovandel-whispercpp-transcription-inference
// library. Add this one file to a project and put the library beside the app
// with the engine's libraries (see the README).
using System;
using System.IO;
using System.Runtime.InteropServices;
using System.Runtime.Serialization;
using System.Runtime.Serialization.Json;
using System.Text;

namespace WhisperInf
{
    /// <summary>A failed call into the library.</summary>
    public sealed class WhisperInfException : Exception
    {
        public WhisperInfException(string message) : base(message) { }

        public WhisperInfException(string message, Exception inner) : base(message, inner) { }
    }

    /// <summary>One recognised stretch of speech, in milliseconds from the start.</summary>
    [DataContract]
    public sealed class Segment
    {
        [DataMember(Name = "offsets")] private Offsets Span { get; set; }

        public long FromMs { get { return Span.From; } }

        public long ToMs { get { return Span.To; } }

        [DataMember(Name = "text")] public string Text { get; private set; }
    }

    /// <summary>The result of one transcription.</summary>
    [DataContract]
    public sealed class Transcript
    {
        [DataMember(Name = "result")] private LanguageResult Result { get; set; }

        public string Language { get { return Result.Language; } }

        [DataMember(Name = "transcription")] public Segment[] Segments { get; private set; }

        /// <summary>The JSON document exactly as the library returned it.</summary>
        public string Document { get; internal set; }
    }

    [DataContract]
    internal sealed class Offsets
    {
        [DataMember(Name = "from")] internal long From { get; set; }

        [DataMember(Name = "to")] internal long To { get; set; }
    }

    [DataContract]
    internal sealed class LanguageResult
    {
        [DataMember(Name = "language")] internal string Language { get; set; }
    }

    // CharSet.Ansi is the ANSI code page on Windows, as the library's narrow
    // file functions expect, and UTF-8 on Unix; a path the code page can't
    // hold throws instead of being garbled.
    internal static class Native
    {
        internal const string Library = "tovandel-whispercpp-transcription-inference";

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int whisper_inf_load(string modelPath);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void whisper_inf_unload();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void whisper_inf_free(IntPtr document);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern IntPtr whisper_inf_transcribe_pcm(float[] pcm, int sampleCount, string language,
                                                                  int translate, int maxLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern IntPtr whisper_inf_transcribe(string wavPath, string language, int translate,
                                                              int maxLength);
    }

    /// <summary>
    /// Transcribes with one model per process. The library must not be entered
    /// twice at once, so every call holds one lock.
    /// </summary>
    public static class Transcriber
    {
        private const string Why = "the library's diagnostics on standard error say why";
        private static readonly object Gate = new object();

        /// <summary>Loads the model file, replacing any loaded model.</summary>
        public static void Load(string modelPath)
        {
            if (modelPath == null) throw new ArgumentNullException(nameof(modelPath));
            if (Call(() => Native.whisper_inf_load(modelPath), modelPath) != 0)
                throw new WhisperInfException($"Loading the model {modelPath} failed; {Why}");
        }

        /// <summary>Releases the loaded model, if any.</summary>
        public static void Unload()
        {
            Call(() => { Native.whisper_inf_unload(); return 0; }, null);
        }

        /// <summary>Transcribes a 16-bit PCM WAV file of any sample rate and channel count.</summary>
        /// <param name="language">A code such as "en", "auto" to detect it, or null for the engine's default.</param>
        /// <param name="maxLength">Above 0, the longest segment in characters.</param>
        public static Transcript Transcribe(string wavPath, string language = null, bool translate = false,
                                            int maxLength = 0)
        {
            if (wavPath == null) throw new ArgumentNullException(nameof(wavPath));
            return Call(() => TakeDocument(Native.whisper_inf_transcribe(wavPath, language, translate ? 1 : 0,
                                                                         maxLength),
                                           $"Transcribing {wavPath} failed"), wavPath);
        }

        /// <summary>Transcribes 16 kHz mono samples at full scale 1.0.</summary>
        public static Transcript TranscribePcm(float[] samples, string language = null, bool translate = false,
                                               int maxLength = 0)
        {
            if (samples == null) throw new ArgumentNullException(nameof(samples));
            return Call(() => TakeDocument(Native.whisper_inf_transcribe_pcm(samples, samples.Length, language,
                                                                             translate ? 1 : 0, maxLength),
                                           $"Transcribing {samples.Length} samples failed"), language);
        }

        private static T Call<T>(Func<T> call, string argument)
        {
            lock (Gate)
            {
                try
                {
                    return call();
                }
                catch (DllNotFoundException e)
                {
                    throw new WhisperInfException($"The library {Native.Library} can't be loaded: {e.Message}", e);
                }
                catch (EntryPointNotFoundException e)
                {
                    throw new WhisperInfException($"{Native.Library} is not the library: {e.Message}", e);
                }
                catch (ArgumentException e)
                {
                    throw new WhisperInfException($"{argument} can't be written in the ANSI code page", e);
                }
            }
        }

        // Decodes the document as UTF-8 and always frees it through the library.
        private static Transcript TakeDocument(IntPtr document, string failed)
        {
            if (document == IntPtr.Zero) throw new WhisperInfException($"{failed}; {Why}");
            byte[] bytes;
            try
            {
                int length = 0;
                while (Marshal.ReadByte(document, length) != 0) length++;
                bytes = new byte[length];
                Marshal.Copy(document, bytes, 0, length);
            }
            finally
            {
                Native.whisper_inf_free(document);
            }
            try
            {
                using (var stream = new MemoryStream(bytes))
                {
                    var transcript = (Transcript)new DataContractJsonSerializer(typeof(Transcript)).ReadObject(stream);
                    transcript.Document = Encoding.UTF8.GetString(bytes);
                    return transcript;
                }
            }
            catch (SerializationException e)
            {
                throw new WhisperInfException($"{failed}: the document can't be read", e);
            }
        }
    }
}
