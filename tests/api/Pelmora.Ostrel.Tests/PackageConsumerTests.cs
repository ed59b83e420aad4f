using System;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.IO.Compression;
using System.Linq;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The NuGet package as an outside program sees it: packed from this tree, restored from
/// a local folder feed into a fresh console project that references nothing else, and run.</summary>
public class PackageConsumerTests
{
    /// <summary>The program of the consumer: fits a mapping from reference to image, resamples a
    /// ramp through it on every core and prints the figures that the test checks.</summary>
    private const string Program = """
        using System;
        using System.Collections.Generic;
        using System.Globalization;
        using Pelmora.Ostrel;

        var points = new List<XGCP>();
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i)
            {
                double x = 20.0 * i, y = 20.0 * j;
                points.Add(new XGCP { imgCoord = new XVertex2d(x, y), refCoord = new XVertex3d(2 * x + 0.5 * y + 4, -0.25 * x + 2 * y + 1, 0) });
            }
        using var warp = new XWarp2D();
        bool fitted = warp.FitReferenceToImage(eWarpMethod.Affine, points);

        using var src = new XGrid(64, 64, eDataType.REAL64);
        for (int r = 0; r < 64; ++r)
            for (int c = 0; c < 64; ++c) src.SetValue(r, c, 2 * c + 3 * r + 1);
        using var dst = new XGrid(100, 120, eDataType.REAL64);
        int last = -1;
        using var resampler = new XResamplePixels();
        bool resampled = resampler.ResampleByWarp(src, dst, warp, XResamplePixels.Bilinear, -1,
                                                  new Progress<int>(p => last = Math.Max(last, p)));
        dst.GetStatistics(0, -1, 0, -1, -1, out ulong count, out double min, out double max, out double mean, out double sd);
        bool alglib = System.IO.File.ReadAllText("/proc/self/maps").Contains("alglib");
        Console.WriteLine(string.Create(CultureInfo.InvariantCulture,
            $"RESULT {fitted} {resampled} {warp.RmsX:R} {count} {min:R} {max:R} {mean:R} {sd:R} {alglib}"));
        """;

    /// <summary>What the packed native libraries may ask the loader for: the C and C++ runtimes,
    /// each other, and in a sanitizer build the sanitizer runtimes.</summary>
    private static readonly string[] SystemLibraries =
        { "libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1", "ld-linux-x86-64.so.2" };

    /// <summary>The DT_NEEDED entries of an ELF file, read with readelf.</summary>
    private static string[] NeededLibraries(string file)
    {
        var info = new ProcessStartInfo("readelf", new[] { "-d", "-W", file }) { RedirectStandardOutput = true };
        using var p = Process.Start(info)!;
        string output = p.StandardOutput.ReadToEnd();
        p.WaitForExit();
        Assert.Equal(0, p.ExitCode);
        return output.Split('\n').Where(l => l.Contains("(NEEDED)"))
                     .Select(l => l[(l.IndexOf('[') + 1)..l.IndexOf(']')]).ToArray();
    }

    internal static string RepositoryRoot()
    {
        for (var dir = new DirectoryInfo(AppContext.BaseDirectory); dir is not null; dir = dir.Parent)
            if (File.Exists(Path.Combine(dir.FullName, "Pelmora.Ostrel.slnx"))) return dir.FullName;
        throw new InvalidOperationException("The repository root was not found above the test assembly.");
    }

    internal static string Run(string workDir, params string[] args)
    {
        var info = new ProcessStartInfo("dotnet") { WorkingDirectory = workDir, RedirectStandardOutput = true, RedirectStandardError = true };
        foreach (string a in args) info.ArgumentList.Add(a);
        // The consumer must not inherit the build of this test run.
        info.Environment.Remove("MSBuildExtensionsPath");
        info.Environment.Remove("MSBUILD_EXE_PATH");
        info.Environment.Remove("MSBuildSDKsPath");
        using var p = Process.Start(info)!;
        var stderr = p.StandardError.ReadToEndAsync();
        string stdout = p.StandardOutput.ReadToEnd();
        Assert.True(p.WaitForExit(TimeSpan.FromMinutes(8)), $"dotnet {string.Join(' ', args)} did not end");
        Assert.True(p.ExitCode == 0, $"dotnet {string.Join(' ', args)} failed:\n{stdout}\n{stderr.Result}");
        return stdout;
    }

    [Fact]
    public void AFreshProjectRestoresThePackageFromAFolderFeedAndRuns()
    {
        string root = RepositoryRoot();
        // Packed from the assembly this test run built, in its configuration.
        string configuration = AppContext.BaseDirectory.Contains($"{Path.DirectorySeparatorChar}Debug{Path.DirectorySeparatorChar}")
            ? "Debug" : "Release";
        string temp = Directory.CreateTempSubdirectory("ostrel-consumer-").FullName;
        try
        {
            string feed = Path.Combine(temp, "feed"), app = Path.Combine(temp, "app");
            Run(root, "pack", Path.Combine(root, "api", "Pelmora.Ostrel"), "-c", configuration, "--no-build",
                "-p:TivraSkipNativeBuild=true", "-o", feed);
            string package = Directory.GetFiles(feed, "Pelmora.Ostrel.*.nupkg").Single();
            string version = Path.GetFileNameWithoutExtension(package)["Pelmora.Ostrel.".Length..];
            Assert.StartsWith("1.1.", version);

            // The native libraries need nothing a .NET user would have to install.
            string native = Path.Combine(temp, "native");
            using (var zip = ZipFile.OpenRead(package))
                foreach (var entry in zip.Entries.Where(e => e.FullName.StartsWith("runtimes/linux-x64/native/")))
                    entry.ExtractToFile(Path.Combine(Directory.CreateDirectory(native).FullName, entry.Name));
            string[] packed = Directory.GetFiles(native).Select(f => Path.GetFileName(f)).ToArray();
            Assert.Equal(new[] { "libXGlobal.so", "libostrel.so", "libtivra.so.1.1" }, packed.Order(StringComparer.Ordinal));
            foreach (string file in Directory.GetFiles(native))
                foreach (string needed in NeededLibraries(file))
                    Assert.True(SystemLibraries.Contains(needed) || packed.Contains(needed) ||
                                System.Text.RegularExpressions.Regex.IsMatch(needed, @"^lib(a|ub|t)san\.so\.\d+$"),
                                $"{Path.GetFileName(file)} needs {needed}");

            Directory.CreateDirectory(app);
            // The folder feed is added to the machine's own sources; a private packages folder keeps an
            // older copy of the same version in the user's cache from standing in for this one.
            File.WriteAllText(Path.Combine(app, "nuget.config"), $"""
                <?xml version="1.0" encoding="utf-8"?>
                <configuration>
                  <config><add key="globalPackagesFolder" value="{Path.Combine(temp, "packages")}" /></config>
                  <packageSources><add key="local-feed" value="{feed}" /></packageSources>
                </configuration>
                """);
            File.WriteAllText(Path.Combine(app, "app.csproj"), $"""
                <Project Sdk="Microsoft.NET.Sdk">
                  <PropertyGroup>
                    <OutputType>Exe</OutputType>
                    <TargetFramework>net10.0</TargetFramework>
                    <Nullable>enable</Nullable>
                  </PropertyGroup>
                  <ItemGroup>
                    <PackageReference Include="Pelmora.Ostrel" Version="{version}" />
                  </ItemGroup>
                </Project>
                """);
            File.WriteAllText(Path.Combine(app, "Program.cs"), Program);
            string output = Run(app, "run", "-c", "Release");

            string[] f = output.Split('\n').Single(l => l.StartsWith("RESULT ")).Trim().Split(' ');
            Assert.Equal("True", f[1]);
            Assert.Equal("True", f[2]);
            double D(int i) => double.Parse(f[i], CultureInfo.InvariantCulture);
            Assert.InRange(D(3), 0, 1e-9);
            Assert.Equal("False", f[9]);  // no ALGLIB in the consumer's process

            // The same request in this process, through the tree's own libraries.
            using var src = XResamplePixelsTests.Ramp(64, 64);
            using var dst = new XGrid(100, 120, eDataType.REAL64);
            using var warp = new XWarp2D();
            Assert.True(warp.FitReferenceToImage(eWarpMethod.Affine,
                AnalyticPoints.Lattice(4, 60, (x, y) => (2 * x + 0.5 * y + 4, -0.25 * x + 2 * y + 1))));
            using var rp = new XResamplePixels();
            Assert.True(rp.ResampleByWarp(src, dst, warp, XResamplePixels.Bilinear, -1));
            dst.GetStatistics(0, -1, 0, -1, -1, out ulong count, out double min, out double max, out double mean,
                              out double sd);
            Assert.True(count > 1000 && count < 100 * 120);
            Assert.Equal(count, ulong.Parse(f[4], CultureInfo.InvariantCulture));
            Assert.Equal(min, D(5), 1e-9);
            Assert.Equal(max, D(6), 1e-9);
            Assert.Equal(mean, D(7), 1e-9);
            Assert.Equal(sd, D(8), 1e-9);
        }
        finally
        {
            Directory.Delete(temp, true);
        }
    }
}
