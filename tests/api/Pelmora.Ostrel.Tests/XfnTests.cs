using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XfnTests
{
    [Fact]
    public void GetDataTypeStringNamesEveryCode()
    {
        // Index = sample-type code.
        string[] expected =
        {
            "",
            "Unsigned 8-bit integer", "Signed 8-bit integer",
            "Unsigned 16-bit integer", "Signed 16-bit integer",
            "Unsigned 32-bit integer", "Signed 32-bit integer",
            "", "",
            "32-bit real number", "64-bit real number",
            "Unsigned 8-bit complex", "Signed 8-bit complex",
            "Unsigned 16-bit complex", "Signed 16-bit complex",
            "Unsigned 32-bit complex", "Signed 32-bit complex",
            "", "",
            "32-bit real complex", "64-bit real complex",
            "Datatype for gray image", "Datatype for RGB image", "Datatype for BGR image",
            "Datatype for RGBA image", "Datatype for BGRA image",
            "Datatype for ARGB image", "Datatype for ABGR image",
            "Datatype for RGB565 image", "Datatype for BGR565 image",
            "Datatype for RGBA5551 image", "Datatype for BGRA5551 image",
            "Datatype for ARGB1555 image", "Datatype for ABGR1555 image",
        };
        for (int code = 0; code < expected.Length; code++)
            Assert.Equal(expected[code], Xfn.GetDataTypeString((eDataType)code));

        // Synonyms share the name; the 64-bit integers have none.
        Assert.Equal("Unsigned 8-bit integer", Xfn.GetDataTypeString(eDataType.UINT08));
        Assert.Equal("Unsigned 8-bit integer", Xfn.GetDataTypeString(eDataType.PINT08));
        Assert.Equal("", Xfn.GetDataTypeString(eDataType.UINT64));
        Assert.Equal("", Xfn.GetDataTypeString(eDataType.SINT64C));

        // Values outside the enumeration give "" and never read outside the native table.
        foreach (int code in new[] { -1, 34, 35, int.MinValue, int.MaxValue })
            Assert.Equal("", Xfn.GetDataTypeString((eDataType)code));
    }

    [Fact]
    public void StaticStateStartsWithCleaningOnAndNothingStopped()
    {
        Assert.True(Xfn.EnableAutoGCMapSC);
        Assert.True(Xfn.EnableAutoGCMapVC);
        Assert.True(Xfn.EnableAutoGCMapFT);
        Assert.False(Xfn.m_bStopGCMapSCThread);
        Assert.False(Xfn.m_bStopGCMapVCThread);
        Assert.False(Xfn.m_bStopGCMapFTThread);
        Assert.Equal(30, Xfn.m_nDefaultAutoCleanGCMapTime);
    }

    [Fact]
    public void DesignModeIsFalseOutsideADesignHost()
    {
        Assert.False(Xfn.DesignMode);
    }
}
