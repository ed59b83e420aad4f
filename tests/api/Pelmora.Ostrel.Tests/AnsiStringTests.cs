using System;
using System.Linq;
using System.Text;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class AnsiStringTests
{
    internal const string WideMessage =
        "Conversion from WideChar to MultiByte failed.  Please check the content of the string and/or locale settings.";
    internal const string MultiByteMessage =
        "Conversion from MultiByte to WideChar failed.  Please check the content of the string and/or locale settings.";
    internal const string SizeMessage = "Size of string exceeds INT_MAX.";

    // An encoding that reports fixed counts and writes nothing, to drive the failure paths (also
    // of the path members of Xfn).
    internal sealed class FakeEncoding(int byteCount, int charCount) : Encoding
    {
        public override int GetByteCount(char[] chars, int index, int count) => byteCount;
        public override int GetBytes(char[] chars, int charIndex, int charCount, byte[] bytes, int byteIndex) => 0;
        public override int GetCharCount(byte[] bytes, int index, int count) => charCount;
        public override int GetChars(byte[] bytes, int byteIndex, int byteCount, char[] chars, int charIndex) => 0;
        public override int GetMaxByteCount(int count) => count;
        public override int GetMaxCharCount(int count) => count;
    }

    private static unsafe string? Read(byte[] bytes, Encoding? encoding = null)
    {
        fixed (byte* p = bytes)
            return encoding is null ? AnsiString.FromAnsi((IntPtr)p) : AnsiString.FromAnsi((IntPtr)p, encoding);
    }

    [Fact]
    public void RoundTripsTextThroughTheProcessEncoding()
    {
        foreach (string text in new[] { "a", "plain ASCII", "Grüße aus Köln", "Ελληνικά", "東京都", "clef 𝄞 and 🙂" })
        {
            byte[]? bytes = AnsiString.ToAnsi(text);
            Assert.NotNull(bytes);
            Assert.Equal(Encoding.UTF8.GetBytes(text).Append((byte)0), bytes);
            Assert.Equal(text, Read(bytes!));
        }

        // Empty text is one terminator; null stays null both ways.
        Assert.Equal(new byte[] { 0 }, AnsiString.ToAnsi(""));
        Assert.Equal("", Read(new byte[] { 0 }));
        Assert.Null(AnsiString.ToAnsi(null));
        Assert.Null(AnsiString.FromAnsi(IntPtr.Zero));

        // Reading stops at the first zero byte.
        Assert.Equal(new byte[] { 0x61, 0x62, 0, 0x63, 0 }, AnsiString.ToAnsi("ab\0c"));
        Assert.Equal("ab", Read(new byte[] { 0x61, 0x62, 0, 0x63, 0 }));
    }

    [Fact]
    public void UnencodableCharactersBecomeTheReplacementCharacter()
    {
        // An unpaired surrogate has no UTF-8 form: it becomes U+FFFD, the rest is kept.
        Assert.Equal(new byte[] { 0x61, 0xEF, 0xBF, 0xBD, 0x62, 0 }, AnsiString.ToAnsi("a\uD800b"));
        // Invalid UTF-8 from the core decodes to U+FFFD as well.
        Assert.Equal("x\uFFFDy", Read(new byte[] { 0x78, 0xFF, 0x79, 0 }));
        Assert.Equal("\uFFFD", Read(new byte[] { 0xC3, 0 }));
    }

    [Fact]
    public void FailedConversionsRaiseTheExactErrors()
    {
        Encoding strictAscii = Encoding.GetEncoding("us-ascii", EncoderFallback.ExceptionFallback, DecoderFallback.ExceptionFallback);
        foreach (var (message, call) in new (string, Func<object?>)[]
                 {
                     (WideMessage, () => AnsiString.ToAnsi("text", new FakeEncoding(0, 0))),
                     (WideMessage, () => AnsiString.ToAnsi("text", new FakeEncoding(4, 0))),  // measured, nothing written
                     (WideMessage, () => AnsiString.ToAnsi("é", strictAscii)),
                     (MultiByteMessage, () => Read(new byte[] { 0x41, 0x42, 0 }, new FakeEncoding(0, 0))),
                     (MultiByteMessage, () => Read(new byte[] { 0xC3, 0xA9, 0 }, strictAscii)),
                 })
        {
            var ex = Assert.Throws<ArgumentException>(call);
            Assert.Equal((message, (string?)null), (ex.Message, ex.ParamName));
        }

        // The size plus the terminator must fit an int; longer texts are refused before a byte is read.
        foreach (Func<object?> call in new Func<object?>[]
                 {
                     () => AnsiString.ToAnsi("text", new FakeEncoding(int.MaxValue, 0)),
                     () => AnsiString.FromAnsi(new IntPtr(1), (long)int.MaxValue + 1, AnsiString.ProcessEncoding),
                 })
            Assert.Equal(SizeMessage, Assert.Throws<ArgumentOutOfRangeException>(call).Message);

        // Empty text needs no encoding and never fails.
        Assert.Equal(new byte[] { 0 }, AnsiString.ToAnsi("", new FakeEncoding(0, 0)));
        Assert.Equal("", Read(new byte[] { 0 }, new FakeEncoding(0, 0)));
    }
}
