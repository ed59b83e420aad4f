using System;
using System.Linq;
using System.Reflection;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XDataRangeTests
{
    [Fact]
    public void EachLimitHasTheTypeAndValueOfItsSampleType()
    {
        var expected = new (string Name, Type Type, object Value)[]
        {
            ("MIN_UINT08", typeof(byte), byte.MinValue), ("MAX_UINT08", typeof(byte), byte.MaxValue),
            ("MIN_SINT08", typeof(sbyte), sbyte.MinValue), ("MAX_SINT08", typeof(sbyte), sbyte.MaxValue),
            ("MIN_UINT16", typeof(ushort), ushort.MinValue), ("MAX_UINT16", typeof(ushort), ushort.MaxValue),
            ("MIN_SINT16", typeof(short), short.MinValue), ("MAX_SINT16", typeof(short), short.MaxValue),
            ("MIN_UINT32", typeof(uint), uint.MinValue), ("MAX_UINT32", typeof(uint), uint.MaxValue),
            ("MIN_SINT32", typeof(int), int.MinValue), ("MAX_SINT32", typeof(int), int.MaxValue),
            ("MIN_REAL32", typeof(float), -3.4e+38f), ("MAX_REAL32", typeof(float), 3.4e+38f),
            ("MIN_REAL64", typeof(double), -1.7e+308), ("MAX_REAL64", typeof(double), 1.7e+308),
            ("SML_REAL32", typeof(float), 1e-37f), ("SML_REAL64", typeof(double), 1e-307),
        };
        FieldInfo[] fields = typeof(XDataRange).GetFields(BindingFlags.Public | BindingFlags.Static);
        Assert.Equal(expected.Select(e => e.Name).Order(), fields.Select(f => f.Name).Order());
        foreach ((string name, Type type, object value) in expected)
        {
            FieldInfo field = fields.Single(f => f.Name == name);
            Assert.True(field.IsLiteral, name);
            Assert.Equal(type, field.FieldType);
            Assert.Equal(value, field.GetRawConstantValue());
        }

        Assert.Empty(typeof(XDataRange).GetFields(BindingFlags.Instance | BindingFlags.Public | BindingFlags.NonPublic));
        Assert.NotNull(new XDataRange());
    }

    [Fact]
    public void RealLimitsAreTheExactMarkerValues()
    {
        // The single-precision bound is a float, not the double 3.4e+38 narrowed later.
        Assert.Equal(0x7F7FC99E, BitConverter.SingleToInt32Bits(XDataRange.MAX_REAL32));
        Assert.Equal(unchecked((int)0xFF7FC99E), BitConverter.SingleToInt32Bits(XDataRange.MIN_REAL32));
        Assert.Equal(3.3999999521443642e+38, (double)XDataRange.MAX_REAL32);
        Assert.Equal(BitConverter.DoubleToInt64Bits(1.7e+308), BitConverter.DoubleToInt64Bits(XDataRange.MAX_REAL64));
        Assert.Equal(-XDataRange.MAX_REAL64, XDataRange.MIN_REAL64);

        // Finite numbers, and the smallest magnitudes are normal, not subnormal.
        Assert.True(float.IsFinite(XDataRange.MAX_REAL32) && double.IsFinite(XDataRange.MAX_REAL64));
        Assert.True(float.IsNormal(XDataRange.SML_REAL32) && double.IsNormal(XDataRange.SML_REAL64));
        Assert.Equal(1e-37, (double)XDataRange.SML_REAL32, 1e-44);
    }
}
