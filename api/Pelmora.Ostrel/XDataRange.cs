namespace Pelmora.Ostrel;

/// <summary>
/// Value limits of the sample types. Each constant has the width and signedness of the type it
/// bounds, so it can be assigned to a variable of that type without a cast. The class holds no
/// state; it exists for its constants.
/// </summary>
public class XDataRange
{
    /// <summary>Creates an instance. The class has no state; use its constants directly.</summary>
    public XDataRange()
    {
    }

    /// <summary>Smallest unsigned 8-bit sample value: 0.</summary>
    public const byte MIN_UINT08 = 0;

    /// <summary>Largest unsigned 8-bit sample value: 255.</summary>
    public const byte MAX_UINT08 = 255;

    /// <summary>Smallest signed 8-bit sample value: -128.</summary>
    public const sbyte MIN_SINT08 = -128;

    /// <summary>Largest signed 8-bit sample value: 127.</summary>
    public const sbyte MAX_SINT08 = 127;

    /// <summary>Smallest unsigned 16-bit sample value: 0.</summary>
    public const ushort MIN_UINT16 = 0;

    /// <summary>Largest unsigned 16-bit sample value: 65535.</summary>
    public const ushort MAX_UINT16 = 65535;

    /// <summary>Smallest signed 16-bit sample value: -32768.</summary>
    public const short MIN_SINT16 = -32768;

    /// <summary>Largest signed 16-bit sample value: 32767.</summary>
    public const short MAX_SINT16 = 32767;

    /// <summary>Smallest unsigned 32-bit sample value: 0.</summary>
    public const uint MIN_UINT32 = 0;

    /// <summary>Largest unsigned 32-bit sample value: 4294967295.</summary>
    public const uint MAX_UINT32 = 4294967295;

    /// <summary>Smallest signed 32-bit sample value: -2147483648.</summary>
    public const int MIN_SINT32 = -2147483648;

    /// <summary>Largest signed 32-bit sample value: 2147483647.</summary>
    public const int MAX_SINT32 = 2147483647;

    /// <summary>
    /// Lower bound of single-precision samples: the float -3.4e+38 (widened to double it reads
    /// -3.3999999521443642e+38).
    /// </summary>
    public const float MIN_REAL32 = -3.4e+38f;

    /// <summary>
    /// Upper bound of single-precision samples: the float 3.4e+38 (bit pattern 0x7F7FC99E). It is
    /// also the single-precision no-value marker, compared by exact equality.
    /// </summary>
    public const float MAX_REAL32 = 3.4e+38f;

    /// <summary>Lower bound of double-precision samples: -1.7e+308.</summary>
    public const double MIN_REAL64 = -1.7e+308;

    /// <summary>
    /// Upper bound of double-precision samples: 1.7e+308. It is also the double-precision
    /// no-value marker, compared by exact equality.
    /// </summary>
    public const double MAX_REAL64 = 1.7e+308;

    /// <summary>Smallest single-precision magnitude treated as non-zero: 1e-37.</summary>
    public const float SML_REAL32 = 1e-37f;

    /// <summary>Smallest double-precision magnitude treated as non-zero: 1e-307.</summary>
    public const double SML_REAL64 = 1e-307;
}
