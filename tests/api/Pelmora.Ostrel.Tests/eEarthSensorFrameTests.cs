using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class eEarthSensorFrameTests
{
    [Fact]
    public void ValuesAreFixed()
    {
        Assert.Equal(typeof(int), Enum.GetUnderlyingType(typeof(eEarthSensorFrame)));
        Assert.Equal(3, Enum.GetValues<eEarthSensorFrame>().Length);
        Assert.Equal((0, 1, 2), ((int)eEarthSensorFrame.GeoDetic, (int)eEarthSensorFrame.GeoCentric, (int)eEarthSensorFrame.VelX));
    }
}
