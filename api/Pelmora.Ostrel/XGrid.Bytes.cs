using System;

namespace Pelmora.Ostrel;

public partial class XGrid
{
    /// <summary>Bytes per sample of the types whose samples are plain bytes (grey, and colour with
    /// 8 bits per channel); 0 for every other type.</summary>
    private static int ByteImageSampleSize(eDataType type) => type switch
    {
        eDataType.UINT08 or eDataType.GRAY => 1,
        eDataType.RGB or eDataType.BGR => 3,
        eDataType.RGBA or eDataType.BGRA or eDataType.ARGB or eDataType.ABGR => 4,
        _ => 0,
    };

    /// <summary>The grid's sample block as bytes, checked to be a byte image; the caller holds
    /// a lease on the grid (<see cref="NativeObject.Use"/>) while it reads the span.</summary>
    private unsafe Span<byte> ByteImage(string operation)
    {
        eDataType type = DataType;
        int size = ByteImageSampleSize(type);
        if (size == 0)
            throw new InvalidOperationException(
                $"{operation} takes a grey or colour grid of bytes (UINT08, GRAY, RGB, BGR or a four-channel type); this grid is {(type == 0 ? "empty" : type.ToString())}.");
        long length = (long)RSize * CSize * size;
        return new Span<byte>((void*)Native.Grid.Data(Handle), checked((int)length));
    }

    /// <summary>Number of bytes <see cref="CopyTo"/> writes and <see cref="CopyFrom"/> reads:
    /// rows × columns × bytes per sample for a grey or colour grid of bytes, 0 for any other.</summary>
    public long ByteCount
    {
        get
        {
            long n = (long)RSize * CSize * ByteImageSampleSize(DataType);
            GC.KeepAlive(this);
            return n;
        }
    }

    /// <summary>Copies every sample of a grey or colour grid of bytes (UINT08, GRAY, RGB, BGR,
    /// RGBA, BGRA, ARGB, ABGR) into <paramref name="destination"/> in one call: row by row, top row
    /// first, each sample's channels in the type's own order (R, G, B for RGB), with no padding
    /// between rows.</summary>
    /// <param name="destination">Receives <see cref="ByteCount"/> bytes; a byte array converts to
    /// it.</param>
    /// <returns>The number of bytes written.</returns>
    /// <exception cref="ArgumentException"><paramref name="destination"/> is shorter than
    /// <see cref="ByteCount"/>.</exception>
    /// <exception cref="InvalidOperationException">The grid is empty or its samples are not
    /// bytes.</exception>
    /// <exception cref="ObjectDisposedException">The grid has been disposed.</exception>
    public int CopyTo(Span<byte> destination)
    {
        using NativeObject.Lease grid = m_grid.Use();
        Span<byte> samples = ByteImage(nameof(CopyTo));
        if (destination.Length < samples.Length)
            throw new ArgumentException(
                $"The destination holds {destination.Length} bytes; the grid has {samples.Length}.", nameof(destination));
        samples.CopyTo(destination);
        GC.KeepAlive(this);
        return samples.Length;
    }

    /// <summary>Overwrites every sample of a grey or colour grid of bytes with
    /// <paramref name="source"/> in one call, laid out as <see cref="CopyTo"/> writes it. The grid
    /// keeps its shape and type: allocate it first.</summary>
    /// <param name="source">Exactly <see cref="ByteCount"/> bytes; a byte array converts to
    /// it.</param>
    /// <exception cref="ArgumentException"><paramref name="source"/> does not hold exactly
    /// <see cref="ByteCount"/> bytes.</exception>
    /// <exception cref="InvalidOperationException">The grid is empty or its samples are not
    /// bytes.</exception>
    /// <exception cref="ObjectDisposedException">The grid has been disposed.</exception>
    public void CopyFrom(ReadOnlySpan<byte> source)
    {
        using NativeObject.Lease grid = m_grid.Use();
        Span<byte> samples = ByteImage(nameof(CopyFrom));
        if (source.Length != samples.Length)
            throw new ArgumentException(
                $"The source holds {source.Length} bytes; the grid has {samples.Length}.", nameof(source));
        source.CopyTo(samples);
        GC.KeepAlive(this);
    }
}
