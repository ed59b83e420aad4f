using System;
using System.Text;

namespace Pelmora.Ostrel;

/// <summary>
/// Conversion of text between the public layer (UTF-16) and the core (8-bit text in the
/// multibyte encoding of the process's C library).
/// </summary>
/// <remarks>
/// On Linux the C library's multibyte encoding is UTF-8 under every locale the library supports,
/// and the core's text is UTF-8, so <see cref="ProcessEncoding"/> is UTF-8. A character the
/// encoding cannot represent is replaced, never mapped to a look-alike: for UTF-8 that is an
/// unpaired surrogate, which becomes U+FFFD (bytes EF BF BD); invalid UTF-8 read back from the
/// core becomes U+FFFD as well. Every conversion has an overload that takes the encoding, so
/// the failure paths can be exercised with an encoding that misbehaves.
/// </remarks>
internal static class AnsiString
{
    /// <summary>Message of the error raised when UTF-16 text yields no bytes.</summary>
    internal const string WideToMultiByteFailed =
        "Conversion from WideChar to MultiByte failed.  Please check the content of the string and/or locale settings.";

    /// <summary>Message of the error raised when 8-bit text yields no characters.</summary>
    internal const string MultiByteToWideFailed =
        "Conversion from MultiByte to WideChar failed.  Please check the content of the string and/or locale settings.";

    /// <summary>Message of the error raised when a text or its buffer exceeds int.MaxValue.</summary>
    internal const string SizeExceedsIntMax = "Size of string exceeds INT_MAX.";

    /// <summary>
    /// The process's 8-bit encoding: UTF-8 without a byte-order mark, replacing what it cannot
    /// encode or decode by U+FFFD instead of throwing.
    /// </summary>
    internal static Encoding ProcessEncoding { get; } =
        new UTF8Encoding(encoderShouldEmitUTF8Identifier: false, throwOnInvalidBytes: false);

    /// <summary>
    /// Converts UTF-16 text to a zero-terminated 8-bit buffer in the process's encoding.
    /// </summary>
    /// <param name="text">The text; null gives null (the native side receives a null pointer).</param>
    /// <returns>The encoded bytes followed by one zero byte, or null.</returns>
    /// <exception cref="ArgumentException">A non-empty text encodes to no bytes.</exception>
    /// <exception cref="ArgumentOutOfRangeException">The buffer would exceed int.MaxValue bytes.</exception>
    internal static byte[]? ToAnsi(string? text) => ToAnsi(text, ProcessEncoding);

    /// <summary>Converts UTF-16 text to a zero-terminated 8-bit buffer in the given encoding.</summary>
    /// <param name="text">The text; null gives null.</param>
    /// <param name="encoding">The 8-bit encoding to produce.</param>
    /// <returns>The encoded bytes followed by one zero byte, or null.</returns>
    /// <exception cref="ArgumentException">A non-empty text encodes to no bytes.</exception>
    /// <exception cref="ArgumentOutOfRangeException">The buffer would exceed int.MaxValue bytes.</exception>
    internal static byte[]? ToAnsi(string? text, Encoding encoding)
    {
        if (text is null)
            return null;
        if (text.Length == 0)
            return new byte[1];

        // Measure first so the buffer has exactly the encoded size plus the terminator.
        int measured;
        try
        {
            measured = encoding.GetByteCount(text);
        }
        catch (EncoderFallbackException e)
        {
            throw new ArgumentException(WideToMultiByteFailed, e);
        }
        if (measured <= 0)
            throw new ArgumentException(WideToMultiByteFailed);

        long bufferSize = (long)measured + 1;
        if (bufferSize > int.MaxValue)
            throw new ArgumentOutOfRangeException(null, SizeExceedsIntMax);

        byte[] buffer = new byte[bufferSize];
        int written;
        try
        {
            written = encoding.GetBytes(text, 0, text.Length, buffer, 0);
        }
        catch (EncoderFallbackException e)
        {
            throw new ArgumentException(WideToMultiByteFailed, e);
        }
        if (written <= 0)
            throw new ArgumentException(WideToMultiByteFailed);

        // The array arrives zeroed; the explicit terminator guards a short write.
        buffer[written] = 0;
        return buffer;
    }

    /// <summary>
    /// Converts zero-terminated 8-bit text in the process's encoding to UTF-16.
    /// </summary>
    /// <param name="text">Pointer to the first byte; <see cref="IntPtr.Zero"/> gives null.</param>
    /// <returns>The text up to the first zero byte, or null.</returns>
    /// <exception cref="ArgumentException">A non-empty text decodes to no characters.</exception>
    /// <exception cref="ArgumentOutOfRangeException">The text is longer than int.MaxValue bytes.</exception>
    internal static string? FromAnsi(IntPtr text) => FromAnsi(text, ProcessEncoding);

    /// <summary>Converts zero-terminated 8-bit text in the given encoding to UTF-16.</summary>
    /// <param name="text">Pointer to the first byte; <see cref="IntPtr.Zero"/> gives null.</param>
    /// <param name="encoding">The 8-bit encoding of the text.</param>
    /// <returns>The text up to the first zero byte, or null.</returns>
    /// <exception cref="ArgumentException">A non-empty text decodes to no characters.</exception>
    /// <exception cref="ArgumentOutOfRangeException">The text is longer than int.MaxValue bytes.</exception>
    internal static unsafe string? FromAnsi(IntPtr text, Encoding encoding)
    {
        if (text == IntPtr.Zero)
            return null;

        // Count in 64 bits so that a text longer than int.MaxValue is reported, not wrapped.
        byte* p = (byte*)text;
        long length = 0;
        while (p[length] != 0)
            length++;
        return FromAnsi(text, length, encoding);
    }

    /// <summary>
    /// Converts 8-bit text of a known length to UTF-16. Split from the zero-terminated form so
    /// that the length check can be exercised without a text of two gigabytes.
    /// </summary>
    /// <param name="text">Pointer to the first byte; must not be <see cref="IntPtr.Zero"/>.</param>
    /// <param name="length">Number of bytes; nothing past it is read.</param>
    /// <param name="encoding">The 8-bit encoding of the text.</param>
    /// <returns>The decoded text.</returns>
    /// <exception cref="ArgumentException">A non-empty text decodes to no characters.</exception>
    /// <exception cref="ArgumentOutOfRangeException">The length exceeds int.MaxValue.</exception>
    internal static unsafe string FromAnsi(IntPtr text, long length, Encoding encoding)
    {
        if (length > int.MaxValue)
            throw new ArgumentOutOfRangeException(null, SizeExceedsIntMax);
        if (length <= 0)
            return string.Empty;

        byte* p = (byte*)text;
        int count = (int)length;
        string result;
        try
        {
            if (encoding.GetCharCount(p, count) <= 0)
                throw new ArgumentException(MultiByteToWideFailed);
            result = encoding.GetString(p, count);
        }
        catch (DecoderFallbackException e)
        {
            throw new ArgumentException(MultiByteToWideFailed, e);
        }
        if (result.Length == 0)
            throw new ArgumentException(MultiByteToWideFailed);
        return result;
    }
}
