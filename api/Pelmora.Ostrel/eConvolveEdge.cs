namespace Pelmora.Ostrel;

/// <summary>How <see cref="Xfn.Convolve"/> treats kernel terms that reach outside the source.</summary>
public enum eConvolveEdge : int
{
    /// <summary>Terms outside the source are left out of the sum.</summary>
    Skip = 0,

    /// <summary>Rows and columns outside the source repeat the nearest edge.</summary>
    Clamp = 1,
}
