using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Pelmora.Ostrel;

public static partial class Xfn
{
    /// <summary>
    /// Replaces the configuration path of the process-wide shared record, which every module of
    /// the process shares. Nothing is checked or created on disk.
    /// </summary>
    /// <param name="strPath">The new path; null sets the empty path.</param>
    /// <returns>True; false when the shared record cannot be had (no shared-state library).</returns>
    /// <exception cref="ArgumentException">The path cannot be converted to the core's 8-bit
    /// text.</exception>
    /// <exception cref="ArgumentOutOfRangeException">The converted path would exceed
    /// int.MaxValue bytes.</exception>
    public static bool SetConfigPath(string? strPath) => SetConfigPath(strPath, AnsiString.ProcessEncoding);

    /// <summary><see cref="SetConfigPath(string?)"/> converting in the given 8-bit encoding.</summary>
    internal static unsafe bool SetConfigPath(string? strPath, Encoding encoding)
    {
        if (CheckNative(Native.Env.HasGlobal()) == 0) return false;
        byte[] text = AnsiString.ToAnsi(strPath ?? string.Empty, encoding)!;
        fixed (byte* p = text)
            return CheckNative(Native.Env.SetConfigPath(p)) != 0;
    }

    /// <summary>The resource directory below the installation home (home + "Resource"), where
    /// resource files such as "WMM.cof" are read.</summary>
    /// <returns>The path; "" when the shared record cannot be had.</returns>
    public static string GetResourcePath() => GetResourcePath(AnsiString.ProcessEncoding);

    /// <summary><see cref="GetResourcePath()"/> converting from the given 8-bit encoding.</summary>
    internal static unsafe string GetResourcePath(Encoding encoding) =>
        ReadPath((buffer, size) => Native.Env.GetResourcePath(buffer, size), encoding);

    /// <summary>The temporary directory below the installation home, with a trailing separator
    /// (home + "Temp/"); the directory is created first if it is missing.</summary>
    /// <returns>The path; "" when the shared record cannot be had.</returns>
    public static string GetTempPathA() => GetTempPathA(AnsiString.ProcessEncoding);

    /// <summary><see cref="GetTempPathA()"/> converting from the given 8-bit encoding.</summary>
    internal static unsafe string GetTempPathA(Encoding encoding) =>
        ReadPath((buffer, size) => Native.Env.GetTemporaryPath(buffer, size), encoding);

    private unsafe delegate int PathReader(byte* buffer, int size);

    /// <summary>Reads a path from the native environment into a buffer that fits it (a path can
    /// grow between two reads, so the read is repeated until it fits) and converts it.</summary>
    private static unsafe string ReadPath(PathReader read, Encoding encoding)
    {
        // Enough for the usual installation paths in one read.
        int size = 256;
        while (true)
        {
            byte[] buffer = new byte[size];
            fixed (byte* p = buffer)
            {
                int length = CheckNative(read(p, size));
                if (length < size)
                    return AnsiString.FromAnsi((IntPtr)p, encoding)!;
                size = length + 1;
            }
        }
    }

    /// <summary>Raises a native failure that the C surface reports as
    /// <see cref="SEHException"/>; passes every other result through.</summary>
    private static int CheckNative(int result) =>
        result == Native.Env.NativeException ? throw new SEHException("A native exception ended the call.") : result;
}
