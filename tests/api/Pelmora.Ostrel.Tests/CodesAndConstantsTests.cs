using System;
using System.Linq;
using System.Reflection;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>Enumeration codes that cross the boundary as int, and the public constants.</summary>
public class CodesAndConstantsTests
{
    [Theory]
    [InlineData(typeof(eHitFlag), "Null Vertex LineSeg Inside LeftTop LeftBottom RightTop RightBottom")]
    [InlineData(typeof(eEarthSensorFrame), "GeoDetic GeoCentric VelX")]
    public void EnumerationCodesCountUpFromZero(Type type, string names)
    {
        string[] expected = names.Split(' ');
        Assert.Equal(typeof(int), Enum.GetUnderlyingType(type));
        Assert.Equal(expected.Length, Enum.GetValues(type).Length);
        Assert.Equal(expected, Enumerable.Range(0, expected.Length).Select(code => Enum.GetName(type, code)));
    }

    [Fact]
    public void DataTypeCodesAgreeWithTheNativeSizesAndNames()
    {
        // In code order from 1: a code mapped to the wrong native type shows in its size or its name.
        var table = new (eDataType Type, int Size, string Name)[]
        {
            (eDataType.UINT08, 1, "Unsigned 8-bit integer"), (eDataType.SINT08, 1, "Signed 8-bit integer"),
            (eDataType.UINT16, 2, "Unsigned 16-bit integer"), (eDataType.SINT16, 2, "Signed 16-bit integer"),
            (eDataType.UINT32, 4, "Unsigned 32-bit integer"), (eDataType.SINT32, 4, "Signed 32-bit integer"),
            (eDataType.UINT64, 8, ""), (eDataType.SINT64, 8, ""),
            (eDataType.REAL32, 4, "32-bit real number"), (eDataType.REAL64, 8, "64-bit real number"),
            (eDataType.UINT08C, 2, "Unsigned 8-bit complex"), (eDataType.SINT08C, 2, "Signed 8-bit complex"),
            (eDataType.UINT16C, 4, "Unsigned 16-bit complex"), (eDataType.SINT16C, 4, "Signed 16-bit complex"),
            (eDataType.UINT32C, 8, "Unsigned 32-bit complex"), (eDataType.SINT32C, 8, "Signed 32-bit complex"),
            (eDataType.UINT64C, 16, ""), (eDataType.SINT64C, 16, ""),
            (eDataType.REAL32C, 8, "32-bit real complex"), (eDataType.REAL64C, 16, "64-bit real complex"),
            (eDataType.GRAY, 1, "Datatype for gray image"), (eDataType.RGB, 3, "Datatype for RGB image"),
            (eDataType.BGR, 3, "Datatype for BGR image"), (eDataType.RGBA, 4, "Datatype for RGBA image"),
            (eDataType.BGRA, 4, "Datatype for BGRA image"), (eDataType.ARGB, 4, "Datatype for ARGB image"),
            (eDataType.ABGR, 4, "Datatype for ABGR image"), (eDataType.RGB565, 2, "Datatype for RGB565 image"),
            (eDataType.BGR565, 2, "Datatype for BGR565 image"), (eDataType.RGBA5551, 2, "Datatype for RGBA5551 image"),
            (eDataType.BGRA5551, 2, "Datatype for BGRA5551 image"), (eDataType.ARGB1555, 2, "Datatype for ARGB1555 image"),
            (eDataType.ABGR1555, 2, "Datatype for ABGR1555 image"),
        };
        for (int i = 0; i < table.Length; ++i)
        {
            Assert.Equal(i + 1, (int)table[i].Type);
            Assert.True(table[i].Size == Native.Core.DataTypeSize(i + 1), table[i].Type.ToString());
            Assert.Equal(table[i].Name, Xfn.GetDataTypeString(table[i].Type));
        }
        // The other 8 of the 41 names are the PINT synonyms of the UINT names.
        string[] names = Enum.GetNames<eDataType>();
        Assert.Equal(41, names.Length);
        Assert.Equal(8, names.Count(n => n.StartsWith("PINT", StringComparison.Ordinal)));
        Assert.All(names.Where(n => n.StartsWith("PINT", StringComparison.Ordinal)),
                   n => Assert.Equal(Enum.Parse<eDataType>("U" + n[1..]), Enum.Parse<eDataType>(n)));

        // Codes outside the enumeration give 0 and "", never a read outside the native tables.
        foreach (int code in new[] { 0, -1, 34, int.MinValue, int.MaxValue })
            Assert.Equal((0, ""), (Native.Core.DataTypeSize(code), Xfn.GetDataTypeString((eDataType)code)));
    }

    [Fact]
    public void DesignModeIsFalseOutsideADesignHost() => Assert.False(Xfn.DesignMode);

    [Fact]
    public void ConstantsAgreeWithTheirDefinitions()
    {
        Assert.All(typeof(XConstants).GetFields(BindingFlags.Public | BindingFlags.Static),
                   f => Assert.Equal(typeof(double), f.FieldType));
        // Angles exact to the last bit of the double.
        Assert.Equal(new[] { Math.PI, Math.PI / 2, Math.PI * 2, 180.0 / Math.PI, Math.PI / 180.0, 299792458.0, 86400.0 },
                     new[] { XConstants.PI, XConstants.HalfPI, XConstants.TwoPI, XConstants.Rad2Deg, XConstants.Deg2Rad,
                             XConstants.LightSpeed, XConstants.SecPerDay });

        // Earth model: eccentricity, its square and the flattening describe one ellipsoid.
        double f = XConstants.EarthFlattening;
        Assert.Equal(6378137.0, XConstants.EarthR1);
        Assert.Equal(XConstants.EarthEccen2, XConstants.EarthEccen * XConstants.EarthEccen, 1e-13);
        Assert.Equal(XConstants.EarthEccen2, 2 * f - f * f, 1e-13);
        Assert.Equal(XConstants.EarthR2, XConstants.EarthR1 * (1 - f), 0.5);
    }

    [Fact]
    public void EachDataLimitHasTheTypeAndValueOfItsSampleType()
    {
        // A real limit must be a float, not the double 3.4e+38 narrowed later.
        var expected = new (string Name, object Value)[]
        {
            ("MIN_UINT08", byte.MinValue), ("MAX_UINT08", byte.MaxValue), ("MIN_SINT08", sbyte.MinValue),
            ("MAX_SINT08", sbyte.MaxValue), ("MIN_UINT16", ushort.MinValue), ("MAX_UINT16", ushort.MaxValue),
            ("MIN_SINT16", short.MinValue), ("MAX_SINT16", short.MaxValue), ("MIN_UINT32", uint.MinValue),
            ("MAX_UINT32", uint.MaxValue), ("MIN_SINT32", int.MinValue), ("MAX_SINT32", int.MaxValue),
            ("MIN_REAL32", -3.4e+38f), ("MAX_REAL32", 3.4e+38f), ("MIN_REAL64", -1.7e+308), ("MAX_REAL64", 1.7e+308),
            ("SML_REAL32", 1e-37f), ("SML_REAL64", 1e-307),
        };
        FieldInfo[] fields = typeof(XDataRange).GetFields(BindingFlags.Public | BindingFlags.Static);
        Assert.Equal(expected.Select(e => e.Name).Order(), fields.Select(f => f.Name).Order());
        foreach (var (name, value) in expected)
        {
            FieldInfo field = fields.Single(f => f.Name == name);
            Assert.True(field.IsLiteral, name);
            Assert.Equal(value.GetType(), field.FieldType);
            Assert.Equal(value, field.GetRawConstantValue());
        }
    }
}
