using System;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class eHitFlagTests
{
    [Fact]
    public void ValuesAreZeroToSevenInOrder()
    {
        Assert.Equal(typeof(int), Enum.GetUnderlyingType(typeof(eHitFlag)));
        Assert.Equal(
            new[] { "Null", "Vertex", "LineSeg", "Inside", "LeftTop", "LeftBottom", "RightTop", "RightBottom" },
            Enum.GetValues<eHitFlag>().OrderBy(v => (int)v).Select(v => v.ToString()));
        Assert.Equal(Enumerable.Range(0, 8), Enum.GetValues<eHitFlag>().Select(v => (int)v).Order());
    }
}
