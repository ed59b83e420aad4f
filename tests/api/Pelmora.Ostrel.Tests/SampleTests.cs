using System;
using System.IO;
using System.Linq;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The .NET sample, run as a user runs it.</summary>
public class SampleTests
{
    [Fact]
    public void RectifyWritesBothPicturesAndReportsAnExactFit()
    {
        string root = PackageConsumerTests.RepositoryRoot();
        string output = Directory.CreateTempSubdirectory("ostrel-rectify-").FullName;
        try
        {
            string log = PackageConsumerTests.Run(root, "run", "--project", Path.Combine(root, "samples", "Rectify"),
                                                  "-c", "Release", "--", output);
            // The bundled points reproduce the image's geo-transform, so the fit is exact.
            Assert.Contains("second order from 12 points, RMS 0.000 m in x, 0.000 m in y", log);
            Assert.Contains("elevation 262144 samples, min 555, max 2014", log);
            Assert.Contains("100 %", log);
            byte[] pngSignature = { 0x89, (byte)'P', (byte)'N', (byte)'G' };
            foreach (string name in new[] { "landsat7_rectified.png", "tujunga_elevation.png" })
            {
                byte[] head = File.ReadAllBytes(Path.Combine(output, name)).Take(4).ToArray();
                Assert.Equal(pngSignature, head);
            }
        }
        finally
        {
            Directory.Delete(output, true);
        }
    }
}
