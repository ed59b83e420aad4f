using System;
using System.Linq;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class eDataTypeTests
{
    [Fact]
    public void NamesCoverCodes1To33WithTheirSynonyms()
    {
        Assert.Equal(typeof(int), Enum.GetUnderlyingType(typeof(eDataType)));
        Assert.Equal(41, Enum.GetNames<eDataType>().Length);
        Assert.Equal(Enumerable.Range(1, 33), Enum.GetValues<eDataType>().Select(v => (int)v).Distinct().Order());

        Assert.Equal(eDataType.UINT08, eDataType.PINT08);
        Assert.Equal(eDataType.UINT16, eDataType.PINT16);
        Assert.Equal(eDataType.UINT32, eDataType.PINT32);
        Assert.Equal(eDataType.UINT64, eDataType.PINT64);
        Assert.Equal(eDataType.UINT08C, eDataType.PINT08C);
        Assert.Equal(eDataType.UINT16C, eDataType.PINT16C);
        Assert.Equal(eDataType.UINT32C, eDataType.PINT32C);
        Assert.Equal(eDataType.UINT64C, eDataType.PINT64C);
        Assert.Equal(10, (int)eDataType.REAL64);
        Assert.Equal(21, (int)eDataType.GRAY);
        Assert.Equal(33, (int)eDataType.ABGR1555);
    }

    [Fact]
    public void CodesAgreeWithTheNativeSampleSizes()
    {
        // Bytes per sample, index = code: a code mapped to the wrong native type shows up here.
        int[] size =
        {
            0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 2, 2, 4, 4, 8, 8, 16, 16, 8, 16,
            1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2,
        };
        foreach (eDataType type in Enum.GetValues<eDataType>())
            Assert.True(size[(int)type] == Native.Core.ostrel_datatype_size((int)type), type.ToString());
        Assert.Equal(0, Native.Core.ostrel_datatype_size(0));
        Assert.Equal(0, Native.Core.ostrel_datatype_size(34));
        Assert.Equal(0, Native.Core.ostrel_datatype_size(-1));
    }
}
