using System;
using System.Collections.Generic;

namespace Pelmora.Ostrel;

/// <summary>Control points laid out as the native fits take them: one array per coordinate and a
/// mask of the used points, with source and target chosen by the fit's direction.</summary>
internal sealed class ControlPointArrays
{
    internal readonly double[] SrcX, SrcY, DstX, DstY;
    internal readonly byte[] Mask;
    internal readonly int UsedCount;

    /// <summary>Copies the points' coordinates.</summary>
    /// <param name="points">The control points; none may be null.</param>
    /// <param name="imageToReference">True: sources are the image positions and targets the
    /// reference x and y; false: the reverse.</param>
    /// <param name="paramName">Name of the caller's parameter, for the exceptions.</param>
    /// <exception cref="ArgumentNullException"><paramref name="points"/> is null.</exception>
    /// <exception cref="ArgumentException">An element is null.</exception>
    internal ControlPointArrays(IReadOnlyList<XGCP> points, bool imageToReference, string paramName)
    {
        if (points is null) throw new ArgumentNullException(paramName);
        int n = points.Count;
        SrcX = new double[n];
        SrcY = new double[n];
        DstX = new double[n];
        DstY = new double[n];
        Mask = new byte[n];
        for (int i = 0; i < n; ++i)
        {
            XGCP p = points[i] ?? throw new ArgumentException($"Control point {i} is null.", paramName);
            double ix = p.imgCoord.x, iy = p.imgCoord.y, rx = p.refCoord.x, ry = p.refCoord.y;
            (SrcX[i], SrcY[i], DstX[i], DstY[i]) = imageToReference ? (ix, iy, rx, ry) : (rx, ry, ix, iy);
            Mask[i] = p.Used ? (byte)1 : (byte)0;
            if (p.Used) ++UsedCount;
        }
    }

    internal int Count => Mask.Length;
}
