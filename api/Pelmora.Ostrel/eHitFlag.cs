namespace Pelmora.Ostrel;

/// <summary>What a hit test found at a position.</summary>
public enum eHitFlag
{
    /// <summary>Nothing.</summary>
    Null = 0,
    /// <summary>A vertex.</summary>
    Vertex = 1,
    /// <summary>A line segment.</summary>
    LineSeg = 2,
    /// <summary>The inside of the shape.</summary>
    Inside = 3,
    /// <summary>The left-top corner.</summary>
    LeftTop = 4,
    /// <summary>The left-bottom corner.</summary>
    LeftBottom = 5,
    /// <summary>The right-top corner.</summary>
    RightTop = 6,
    /// <summary>The right-bottom corner.</summary>
    RightBottom = 7,
}
