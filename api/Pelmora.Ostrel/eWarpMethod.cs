namespace Pelmora.Ostrel;

/// <summary>
/// Form of a polynomial coordinate mapping. Coefficients are ordered highest degree first, pure
/// powers of x then y before mixed terms, the constant last.
/// </summary>
public enum eWarpMethod : int
{
    /// <summary>No valid mapping: every mapping leaves the coordinates as given.</summary>
    Null = -1,

    /// <summary>The identity.</summary>
    NoChange = 0,

    /// <summary>x' = a0·x + a1, y' = b0·y + b1: each axis from its own input only; 2 terms.</summary>
    Linear = 1,

    /// <summary>x' = a0·x + a1·y + a2, and likewise y'; 3 terms.</summary>
    Affine = 2,

    /// <summary>x' = a0·x + a1·y + a2·x·y + a3, and likewise y'; 4 terms.</summary>
    PseudoAffine = 3,

    /// <summary>x' = a0·x² + a1·y² + a2·x·y + a3·x + a4·y + a5, and likewise y'; 6 terms.</summary>
    SecondOrder = 4,

    /// <summary>The full cubic, x' = a0·x³ + a1·y³ + a2·x²·y + a3·x·y² + a4·x² + a5·y² + a6·x·y +
    /// a7·x + a8·y + a9, and likewise y'; 10 terms.</summary>
    ThirdOrder = 5,
}
