// Rectifies the bundled Landsat image onto a north-up map grid from its ground control points,
// the typical request of the library from .NET: a second-order warp fitted to the points, the
// image resampled through it on every core with progress on the console, statistics, and the
// result and a colourised elevation model written as PNG files.
//
//   dotnet run --project samples/Rectify [-- OUTPUT_FOLDER]
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Linq;
using Pelmora.Ostrel;
using SkiaSharp;

string data = Path.Combine(AppContext.BaseDirectory, "data");
string output = Path.GetFullPath(args.Length > 0 ? args[0] : "rectify-output");
Directory.CreateDirectory(output);

// ---- the image: decoded by SkiaSharp, one UINT08 grid per colour band ----------------------------
XGrid[] bands = ReadPngBands(Path.Combine(data, "landsat7_rgb_byte.png"));
int imageCols = bands[0].CSize, imageRows = bands[0].RSize;
Console.WriteLine($"image     {imageCols} x {imageRows}, 3 bands of {bands[0].DataType}");

// ---- the control points, and the mapping from image to map coordinates ------------------------
List<XGCP> points = ReadGcps(Path.Combine(data, "landsat7_rgb_byte.gcps.csv"));
using var forward = new XWarp2D();
if (!forward.Fit(eWarpMethod.SecondOrder, points))
    return Fail("the control points do not determine a second-order mapping");
Console.WriteLine($"fit       second order from {points.Count(p => p.Used)} points, " +
                  $"RMS {forward.RmsX:F3} m in x, {forward.RmsY:F3} m in y");
for (int i = 0; i < points.Count; ++i)
    Console.WriteLine($"  point {points[i].ID,2}  residual {forward.Residuals[i].x,8:F3} {forward.Residuals[i].y,8:F3} m");

// ---- the output grid: north up over the image outline, square pixels that keep its diagonal -----
var outline = new List<(double X, double Y)>();
for (int k = 0; k <= 32; ++k)
{
    double t = k / 32.0;
    foreach (var (x, y) in new[] { (t * imageCols, 0.0), (t * imageCols, imageRows), (0.0, t * imageRows), (imageCols, t * imageRows) })
    {
        forward.WarpPoint(x - 0.5, y - 0.5, out double mx, out double my);
        outline.Add((mx, my));
    }
}
double left = outline.Min(p => p.X), right = outline.Max(p => p.X);
double bottom = outline.Min(p => p.Y), top = outline.Max(p => p.Y);
double pixel = Math.Sqrt(Sq(right - left) + Sq(top - bottom)) / Math.Sqrt(Sq(imageCols) + Sq(imageRows));
int cols = (int)Math.Ceiling((right - left) / pixel), rows = (int)Math.Ceiling((top - bottom) / pixel);
Console.WriteLine($"output    {cols} x {rows} pixels of {pixel:F2} m, upper left ({left:F1}, {top:F1})");

// The resampler maps each output pixel to a source pixel: fit that direction, with the map
// positions of the points expressed as output pixel positions (centres at whole numbers).
var outputPoints = points.Select(p => new XGCP(p)
{
    refCoord = new XVertex3d((p.refCoord.x - left) / pixel - 0.5, (top - p.refCoord.y) / pixel - 0.5, 0),
}).ToList();
using var backward = new XWarp2D();
if (!backward.FitReferenceToImage(eWarpMethod.SecondOrder, outputPoints))
    return Fail("the reverse mapping could not be fitted");

// ---- resampling on every core, band by band, progress on the console ----------------------------
var rectified = new XGrid[3];
using var resampler = new XResamplePixels();
var clock = Stopwatch.StartNew();
string[] names = { "red", "green", "blue" };
for (int b = 0; b < 3; ++b)
{
    rectified[b] = new XGrid(rows, cols, eDataType.UINT08);
    var progress = new ConsoleProgress($"resampling {names[b]}");
    bool done = resampler.ResampleByWarp(bands[b], rectified[b], backward, XResamplePixels.Bilinear, 0, progress);
    progress.End();
    if (!done) return Fail("resampling did not finish");
}
Console.WriteLine($"resampled on {resampler.NumberOfThreads} threads in {clock.Elapsed.TotalMilliseconds:F0} ms");
// 0 is the image's no-data value: the area outside the scene is left out.
for (int b = 0; b < 3; ++b) PrintStatistics(names[b], rectified[b], 0);
WritePng(Path.Combine(output, "landsat7_rectified.png"), rectified);
foreach (XGrid g in bands.Concat(rectified)) g.Dispose();

// ---- the elevation model: statistics and an elevation palette over its full range ---------------
using var dem = new XGrid(512, 512, eDataType.SINT16);
dem.CopySubset(File.ReadAllBytes(Path.Combine(data, "srtm30m_tujunga_int16.raw")), 0, 0, 511, 0, 511, eDataType.SINT16);
var (low, high) = PrintStatistics("elevation", dem, XGrid.NAN_REAL64);
using (XGrid coloured = Xfn.Colorize(dem, eColorTable.Elevation, low, high))
    WritePng(Path.Combine(output, "tujunga_elevation.png"), coloured);
return 0;

static double Sq(double v) => v * v;

static int Fail(string message)
{
    Console.Error.WriteLine($"rectify: {message}");
    return 1;
}

// Samples of value noData are left out.
static (double Min, double Max) PrintStatistics(string name, XGrid grid, double noData)
{
    grid.GetStatistics(0, -1, 0, -1, noData, out ulong count, out double min, out double max, out double mean, out double sd);
    Console.WriteLine($"{name,-9} {count} samples, min {min:G6}, max {max:G6}, mean {mean:G6}, standard deviation {sd:G6}");
    return (min, max);
}

static XGrid[] ReadPngBands(string path)
{
    using var codec = SKCodec.Create(path) ?? throw new IOException($"{path}: not an image SkiaSharp can decode");
    var info = new SKImageInfo(codec.Info.Width, codec.Info.Height, SKColorType.Rgba8888, SKAlphaType.Unpremul);
    byte[] rgba = new byte[info.BytesSize];
    unsafe
    {
        fixed (byte* p = rgba)
            if (codec.GetPixels(info, (IntPtr)p) != SKCodecResult.Success) throw new IOException($"{path}: decoding failed");
    }
    var bands = new XGrid[3];
    byte[] band = new byte[info.Width * info.Height];
    for (int b = 0; b < 3; ++b)
    {
        for (int i = 0; i < band.Length; ++i) band[i] = rgba[4 * i + b];
        bands[b] = new XGrid(info.Height, info.Width, eDataType.UINT08);
        bands[b].CopyFrom(band);
    }
    return bands;
}

// One RGB grid, or three grey grids as the red, green and blue bands; written opaque.
static void WritePng(string path, params XGrid[] grids)
{
    XGrid first = grids[0];
    int n = first.RSize * first.CSize;
    byte[][] planes = grids.Select(g =>
    {
        byte[] bytes = new byte[g.ByteCount];
        g.CopyTo(bytes);
        return bytes;
    }).ToArray();
    byte[] rgba = new byte[4 * n];
    for (int i = 0; i < n; ++i)
    {
        for (int c = 0; c < 3; ++c) rgba[4 * i + c] = grids.Length == 1 ? planes[0][3 * i + c] : planes[c][i];
        rgba[4 * i + 3] = 255;
    }
    var info = new SKImageInfo(first.CSize, first.RSize, SKColorType.Rgba8888, SKAlphaType.Unpremul);
    using SKImage picture = SKImage.FromPixelCopy(info, rgba);
    using SKData png = picture.Encode(SKEncodedImageFormat.Png, 100);
    using (FileStream file = File.Create(path)) png.SaveTo(file);
    Console.WriteLine($"wrote     {path}");
}

// The CSV layout of the tivra program: id,used,img_x,img_y,ref_x,ref_y. Image positions count
// from the outer corner of the first pixel; the library's pixel centres are whole numbers.
static List<XGCP> ReadGcps(string path)
{
    var points = new List<XGCP>();
    foreach (string line in File.ReadLines(path).Skip(1))
    {
        if (line.Length == 0 || line.StartsWith('#')) continue;
        double[] f = line.Split(',').Select(s => double.Parse(s, CultureInfo.InvariantCulture)).ToArray();
        points.Add(new XGCP
        {
            ID = (int)f[0], Used = f[1] != 0,
            imgCoord = new XVertex2d(f[2] - 0.5, f[3] - 0.5), refCoord = new XVertex3d(f[4], f[5], 0),
        });
    }
    return points;
}

/// <summary>A progress line on the console, redrawn from the resampler's worker thread.</summary>
sealed class ConsoleProgress(string label) : IProgress<int>
{
    private readonly object m_lock = new();

    public void Report(int percent)
    {
        lock (m_lock) Console.Write($"\r{label,-16} {new string('#', percent / 5),-20} {percent,3} %");
    }

    public void End()
    {
        lock (m_lock) Console.WriteLine();
    }
}
