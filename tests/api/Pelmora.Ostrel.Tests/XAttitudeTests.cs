using System;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XAttitudeTests
{
    [Fact]
    public void AnglesAreHeldByReference()
    {
        using var zero = new XAttitude();
        Assert.Equal((0.0, 0.0, 0.0), (zero.yaw.rad, zero.pitch.rad, zero.roll.rad));

        var att = new XAttitude(0.1, 0.2, 0.3);
        Assert.Equal((0.1, 0.2, 0.3), (att.yaw.rad, att.pitch.rad, att.roll.rad));
        Assert.NotSame(att.yaw, att.pitch);

        var yaw = new XAngle(1.0);
        att.yaw = yaw;
        Assert.Same(yaw, att.yaw);
        yaw.deg = 90;
        Assert.Equal(Math.PI / 2, att.yaw.rad, 15);

        Assert.Throws<ArgumentNullException>(() => att.roll = null!);
        att.Dispose();
        att.Dispose();
        Assert.Same(yaw, att.yaw);  // disposal releases nothing
    }
}
