namespace Pelmora.Ostrel;

/// <summary>
/// Sample type of a raster grid. The numbers are the codes the native core uses; names that
/// share a number are synonyms. Code 0 means "no type" (an empty grid) and has no name.
/// </summary>
public enum eDataType : int
{
    /// <summary>Unsigned 8-bit integer; one channel, one byte per sample.</summary>
    UINT08 = 1,
    /// <summary>Synonym of <see cref="UINT08"/>.</summary>
    PINT08 = 1,

    /// <summary>Signed 8-bit integer; one channel, one byte per sample.</summary>
    SINT08 = 2,

    /// <summary>Unsigned 16-bit integer; one channel, two bytes per sample.</summary>
    UINT16 = 3,
    /// <summary>Synonym of <see cref="UINT16"/>.</summary>
    PINT16 = 3,

    /// <summary>Signed 16-bit integer; one channel, two bytes per sample.</summary>
    SINT16 = 4,

    /// <summary>Unsigned 32-bit integer; one channel, four bytes per sample.</summary>
    UINT32 = 5,
    /// <summary>Synonym of <see cref="UINT32"/>.</summary>
    PINT32 = 5,

    /// <summary>Signed 32-bit integer; one channel, four bytes per sample.</summary>
    SINT32 = 6,

    /// <summary>Unsigned 64-bit integer; one channel, eight bytes per sample. Not clamped and without a descriptive name.</summary>
    UINT64 = 7,
    /// <summary>Synonym of <see cref="UINT64"/>.</summary>
    PINT64 = 7,

    /// <summary>Signed 64-bit integer; one channel, eight bytes per sample. Not clamped and without a descriptive name.</summary>
    SINT64 = 8,

    /// <summary>Single-precision real; one channel, four bytes per sample.</summary>
    REAL32 = 9,

    /// <summary>Double-precision real; one channel, eight bytes per sample.</summary>
    REAL64 = 10,

    /// <summary>Complex pair of unsigned 8-bit integers (real part first); two channels, two bytes per sample.</summary>
    UINT08C = 11,
    /// <summary>Synonym of <see cref="UINT08C"/>.</summary>
    PINT08C = 11,

    /// <summary>Complex pair of signed 8-bit integers; two channels, two bytes per sample.</summary>
    SINT08C = 12,

    /// <summary>Complex pair of unsigned 16-bit integers; two channels, four bytes per sample.</summary>
    UINT16C = 13,
    /// <summary>Synonym of <see cref="UINT16C"/>.</summary>
    PINT16C = 13,

    /// <summary>Complex pair of signed 16-bit integers; two channels, four bytes per sample.</summary>
    SINT16C = 14,

    /// <summary>Complex pair of unsigned 32-bit integers; two channels, eight bytes per sample.</summary>
    UINT32C = 15,
    /// <summary>Synonym of <see cref="UINT32C"/>.</summary>
    PINT32C = 15,

    /// <summary>Complex pair of signed 32-bit integers; two channels, eight bytes per sample.</summary>
    SINT32C = 16,

    /// <summary>Complex pair of unsigned 64-bit integers; two channels, sixteen bytes per sample. Not clamped and without a descriptive name.</summary>
    UINT64C = 17,
    /// <summary>Synonym of <see cref="UINT64C"/>.</summary>
    PINT64C = 17,

    /// <summary>Complex pair of signed 64-bit integers; two channels, sixteen bytes per sample. Not clamped and without a descriptive name.</summary>
    SINT64C = 18,

    /// <summary>Complex pair of single-precision reals; two channels, eight bytes per sample.</summary>
    REAL32C = 19,

    /// <summary>Complex pair of double-precision reals; two channels, sixteen bytes per sample.</summary>
    REAL64C = 20,

    /// <summary>Grey image; one channel, one byte per sample.</summary>
    GRAY = 21,

    /// <summary>Colour image, three 8-bit components (R, G, B); three bytes per sample.</summary>
    RGB = 22,

    /// <summary>Colour image, three 8-bit components (B, G, R); three bytes per sample.</summary>
    BGR = 23,

    /// <summary>Colour image with alpha, four 8-bit components (R, G, B, A); four bytes per sample.</summary>
    RGBA = 24,

    /// <summary>Colour image with alpha, four 8-bit components (B, G, R, A); four bytes per sample.</summary>
    BGRA = 25,

    /// <summary>Colour image with alpha, four 8-bit components (A, R, G, B); four bytes per sample.</summary>
    ARGB = 26,

    /// <summary>Colour image with alpha, four 8-bit components (A, B, G, R); four bytes per sample.</summary>
    ABGR = 27,

    /// <summary>Colour packed into 16 bits as 5-6-5 bits (R, G, B); three channels, two bytes per sample.</summary>
    RGB565 = 28,

    /// <summary>Colour packed into 16 bits as 5-6-5 bits (B, G, R); three channels, two bytes per sample.</summary>
    BGR565 = 29,

    /// <summary>Colour packed into 16 bits as 5-5-5-1 bits (R, G, B, A); four channels, two bytes per sample.</summary>
    RGBA5551 = 30,

    /// <summary>Colour packed into 16 bits as 5-5-5-1 bits (B, G, R, A); four channels, two bytes per sample.</summary>
    BGRA5551 = 31,

    /// <summary>Colour packed into 16 bits as 1-5-5-5 bits (A, R, G, B); four channels, two bytes per sample.</summary>
    ARGB1555 = 32,

    /// <summary>Colour packed into 16 bits as 1-5-5-5 bits (A, B, G, R); four channels, two bytes per sample.</summary>
    ABGR1555 = 33,
}
