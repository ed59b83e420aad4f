using System;
using FsCheck;
using FsCheck.Fluent;
using FsCheck.Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>Round trips that must hold for any input, checked on random inputs: a grid's
/// rectangle copied out and written back, and geodetic positions through earth-centred
/// coordinates and back.</summary>
public class RoundTripPropertyTests
{
    /// <summary>A grid of a few sample types with random samples, and a rectangle inside it.</summary>
    public record GridCase(eDataType Type, int Rows, int Cols, int R1, int R2, int C1, int C2, int Seed);

    public static class Generators
    {
        public static Arbitrary<GridCase> GridCases() =>
            (from type in Gen.Elements(eDataType.UINT08, eDataType.SINT16, eDataType.UINT16, eDataType.SINT32, eDataType.REAL32, eDataType.REAL64)
             from rows in Gen.Choose(1, 24)
             from cols in Gen.Choose(1, 24)
             from r1 in Gen.Choose(0, rows - 1)
             from r2 in Gen.Choose(r1, rows - 1)
             from c1 in Gen.Choose(0, cols - 1)
             from c2 in Gen.Choose(c1, cols - 1)
             from seed in Gen.Choose(0, int.MaxValue)
             select new GridCase(type, rows, cols, r1, r2, c1, c2, seed)).ToArbitrary();
    }

    /// <summary>A random sample that the type holds exactly.</summary>
    private static double Sample(Random random, eDataType type) => type switch
    {
        eDataType.UINT08 => random.Next(0, 256),
        eDataType.SINT16 => random.Next(short.MinValue, short.MaxValue + 1),
        eDataType.UINT16 => random.Next(0, ushort.MaxValue + 1),
        eDataType.SINT32 => random.Next(int.MinValue, int.MaxValue),
        eDataType.REAL32 => (float)((random.NextDouble() - 0.5) * 1e6),
        _ => (random.NextDouble() - 0.5) * 1e12,
    };

    private static void Put(byte[] bytes, int index, eDataType type, double v)
    {
        Span<byte> s = bytes.AsSpan(index);
        switch (type)
        {
            case eDataType.UINT08: s[0] = (byte)v; break;
            case eDataType.SINT16: BitConverter.TryWriteBytes(s, (short)v); break;
            case eDataType.UINT16: BitConverter.TryWriteBytes(s, (ushort)v); break;
            case eDataType.SINT32: BitConverter.TryWriteBytes(s, (int)v); break;
            case eDataType.REAL32: BitConverter.TryWriteBytes(s, (float)v); break;
            default: BitConverter.TryWriteBytes(s, v); break;
        }
    }

    [Property(Arbitrary = new[] { typeof(Generators) }, MaxTest = 200)]
    public bool SubsetThenCopyBackGivesTheRectangleAndLeavesTheRest(GridCase c)
    {
        var random = new Random(c.Seed);
        using var grid = new XGrid(c.Rows, c.Cols, c.Type);
        for (int r = 0; r < c.Rows; ++r)
            for (int col = 0; col < c.Cols; ++col)
                grid.SetValue(r, col, Sample(random, c.Type));

        if (!grid.Subset(out XGrid sub, c.R1, c.R2, c.C1, c.C2)) return false;
        using (sub)
        {
            int h = c.R2 - c.R1 + 1, w = c.C2 - c.C1 + 1, size = grid.DataSize;
            if (sub.RSize != h || sub.CSize != w || sub.DataType != c.Type) return false;

            // The rectangle, packed, written into a zeroed grid of the same shape.
            var bytes = new byte[h * w * size];
            for (int r = 0; r < h; ++r)
                for (int col = 0; col < w; ++col)
                    Put(bytes, (r * w + col) * size, c.Type, sub.GetAsReal64(r, col));
            using var back = new XGrid(c.Rows, c.Cols, c.Type);
            back.Zerorize();
            if (!back.CopySubset(bytes, 0, c.R1, c.R2, c.C1, c.C2, c.Type)) return false;

            for (int r = 0; r < c.Rows; ++r)
            {
                for (int col = 0; col < c.Cols; ++col)
                {
                    bool inside = r >= c.R1 && r <= c.R2 && col >= c.C1 && col <= c.C2;
                    double want = inside ? grid.GetAsReal64(r, col) : 0.0;
                    if (back.GetAsReal64(r, col) != want) return false;
                }
            }
        }
        return true;
    }

    [Property(MaxTest = 500)]
    public Property GeodeticThroughEarthCentredAndBack()
    {
        // Away from the poles, where longitude is defined; heights from the deepest trench to
        // beyond geostationary orbit.
        Gen<(double, double, double)> positions =
            from lat in Gen.Choose(-899_999, 899_999).Select(v => v / 10_000.0)
            from lon in Gen.Choose(-1_799_999, 1_800_000).Select(v => v / 10_000.0)
            from hgt in Gen.Choose(-11_000, 40_000_000).Select(v => v * 1.0)
            select (lat, lon, hgt);
        return Prop.ForAll(positions.ToArbitrary(), p =>
        {
            var (lat, lon, hgt) = p;
            using XGeoPoint geo = XGeoPoint.FromDegree(lon, lat, hgt);
            XVertex3d? ecr = null;
            Xfn.GeoToEcr(geo, ref ecr);
            XGeoPoint? back = null;
            Xfn.EcrToGeo(ecr, ref back);
            using (ecr)
            using (back)
            {
                // 1e-9 degree is 0.1 mm on the ground.
                return Math.Abs(back.latd - lat) < 1e-9 && Math.Abs(back.lond - lon) < 1e-9 &&
                       Math.Abs(back.hgt - hgt) < 1e-6;
            }
        });
    }
}
