// Resampling and convolution of image arrays.
#include "common.h"
#include <tivra/grid/XDataType.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/mt/XResamplePixels.h>
#include <cmath>
#include <optional>

namespace Pelmora::Tivra::Python {

namespace {

/// A mapping of a destination window: window pixel (c, r) is mapped as pixel
/// (c + xOff, r + yOff) of the whole destination grid. Adding the integer
/// offsets is exact, so each pixel gets the position of the whole-grid run.
class WindowMapping : public XWarpCoeff {
public:
    WindowMapping(Warp& warp, int xOff, int yOff) : m_warp(warp), m_xOff(xOff), m_yOff(yOff)
    {
        m_nMethod = XWARP_AFFINE;  // anything but Null: the resampler then maps through WarpPoint
    }
    using XWarpCoeff::WarpPoint;
    bool WarpPoint(double& x, double& y) override
    {
        x += m_xOff;
        y += m_yOff;
        return m_warp.Map(x, y);
    }

private:
    Warp& m_warp;
    int m_xOff, m_yOff;
};

/// The options every resampling takes.
struct ResampleOptions {
    int interpolation;
    std::optional<double> noData;
    double background;
    bool rounding;
    int workers;
    py::object progress;
};

void Configure(MT::XResamplePixels& resampler, const ResampleOptions& o)
{
    if (o.workers < 0) throw py::value_error("workers must be 0 (one per processor) or positive");
    resampler.SetNumberOfThreads(o.workers);
    resampler.SetRounding(o.rounding);
    if (o.noData) resampler.SetSourceNoData(true, *o.noData);
}

/// Resamples every band of src into a new array of rows x cols with job(src
/// band, destination band); the destination band wraps the result's memory
/// for a 2-D image.
template <class Job>
py::array ResampleBands(const py::array& src, int rows, int cols, const ResampleOptions& o, Job job)
{
    const Image im = DescribeImage(src, "source");
    py::array out = NewImage(im, rows, cols);
    MT::XResamplePixels resampler;
    Configure(resampler, o);
    for (int b = 0; b < im.bands; ++b) {
        XGrid in, dst;
        BandGrid(src, im, b, in);
        // A 2-D output is written in place; a band of a 3-D one goes through a grid of its own.
        if (!im.interleaved) BandGrid(out, DescribeImage(out, "output"), 0, dst);
        else if (!dst.AllocExact(rows, cols, im.type)) throw std::bad_alloc();
        const bool ok = RunInterruptible(
            resampler, [&] { return job(resampler, in, dst); }, o.progress, double(b) / im.bands, 1.0 / im.bands);
        if (!ok) throw py::value_error("resampling failed");
        StoreBand(dst, out, im, b);
    }
    return out;
}

py::array ResampleWarp(const py::array& src, Warp& warp, std::optional<std::pair<int, int>> shape,
                       std::optional<std::tuple<int, int, int, int>> window, const std::string& interpolation,
                       std::optional<double> nodata, double background, bool rounding, int workers,
                       const py::object& progress)
{
    if (shape.has_value() == window.has_value())
        throw py::value_error("give either shape=(rows, columns) of the output or window=(x_offset, y_offset, "
                              "width, height) of a larger output grid");
    int rows, cols, xOff = 0, yOff = 0;
    if (shape) std::tie(rows, cols) = *shape;
    else std::tie(xOff, yOff, cols, rows) = *window;
    if (rows < 1 || cols < 1 || xOff < 0 || yOff < 0)
        throw py::value_error("the output needs at least one row and one column, and window offsets are >= 0");
    const ResampleOptions o{InterpolationCode(interpolation), nodata, background, rounding, workers, progress};
    WindowMapping shifted(warp, xOff, yOff);
    // A polynomial without cells maps through its global set alone. Handed to
    // the resampler as a plain XWarpCoeff (the base part, copied), an affine
    // one takes the row kernels with the mapping inlined, which the resampler
    // keeps for that exact class; the positions are the same either way.
    const MT::XWarpCellGrid& cells = warp.poly.m_Cells;
    const bool global = !warp.projective && !(cells.m_nRows >= 1 && cells.m_nCols >= 1 && cells.m_pData);
    XWarpCoeff globalSet = warp.poly;
    return ResampleBands(src, rows, cols, o, [&](MT::XResamplePixels& r, const XGrid& in, XGrid& dst) {
        // The whole grid takes the mapping's own kernels; a window maps through the shift.
        if (window) return r.ResampleByWarp(&in, &dst, &shifted, o.interpolation, o.background);
        if (warp.projective) return r.ResampleByProjective(&in, &dst, &warp.proj, o.interpolation, o.background);
        return r.ResampleByWarp(&in, &dst, global ? &globalSet : &warp.poly, o.interpolation, o.background);
    });
}

py::array ResampleMap(const py::array& src, const py::array& map, const std::string& interpolation,
                      std::optional<double> nodata, double background, bool rounding, int workers,
                      const py::object& progress)
{
    auto xy = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(map);
    if (!xy || xy.ndim() != 3 || xy.shape(2) != 2 || xy.shape(0) < 1 || xy.shape(1) < 1)
        throw py::value_error("map must be an array of shape (rows, columns, 2) holding source (x, y) = (column, "
                              "row) for every output pixel");
    const ResampleOptions o{InterpolationCode(interpolation), nodata, background, rounding, workers, progress};
    MT::XCoordMap coords;
    coords.m_pData = reinterpret_cast<const XVertex2<double>*>(xy.data());
    coords.m_nRows = static_cast<int32_t>(xy.shape(0));
    coords.m_nCols = static_cast<int32_t>(xy.shape(1));
    return ResampleBands(src, coords.m_nRows, coords.m_nCols, o,
                         [&](MT::XResamplePixels& r, const XGrid& in, XGrid& dst) {
                             return r.ResampleByCoordMap(&in, &dst, &coords, o.interpolation, o.background);
                         });
}

py::array Convolve(const py::array& src, const py::array& kernel, const std::string& edge, const py::object& dtype)
{
    const Image im = DescribeImage(src, "image");
    auto k = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(kernel);
    if (!k || k.ndim() != 2 || k.shape(0) < 1 || k.shape(1) < 1)
        throw py::value_error("kernel must be a non-empty 2-D array of numbers");
    int edgeMode;
    if (edge == "skip") edgeMode = MT::XCONV_EDGE_SKIP;
    else if (edge == "clamp") edgeMode = MT::XCONV_EDGE_CLAMP;
    else throw py::value_error("edge must be 'skip' or 'clamp', not '" + edge + "'");
    const int outType = SampleTypeOf(py::dtype::from_args(dtype));
    if (outType != XDT_SINT08 && outType != XDT_SINT16 && outType != XDT_SINT32 && outType != XDT_REAL32 &&
        outType != XDT_REAL64)
        throw py::type_error("the output dtype of a convolution is int8, int16, int32, float32 or float64");
    if (im.type == XDT_REAL32C || im.type == XDT_REAL64C)
        throw py::type_error("complex images cannot be convolved");
    XMatrix matrix(const_cast<double*>(k.data()), static_cast<int>(k.shape(0)), static_cast<int>(k.shape(1)));
    Image outIm = im;
    outIm.type = outType;
    py::array out = NewImage(outIm, im.rows, im.cols);
    for (int b = 0; b < im.bands; ++b) {
        XGrid in, dst;
        BandGrid(src, im, b, in);
        bool ok;
        {
            py::gil_scoped_release release;
            ok = MT::Convolve(&in, &matrix, &dst, edgeMode, outType);
        }
        if (!ok) throw py::value_error("the convolution failed (out of memory?)");
        StoreBand(dst, out, outIm, b);
    }
    return out;
}

} // namespace

void RegisterImages(py::module_& m)
{
    using namespace py::literals;
    m.def("resample_warp", &ResampleWarp, "image"_a, "warp"_a, py::kw_only(), "shape"_a = py::none(),
          "window"_a = py::none(), "interpolation"_a = "bilinear", "nodata"_a = py::none(), "background"_a = 0.0,
          "rounding"_a = false, "workers"_a = 0, "progress"_a = py::none());
    m.def("resample_map", &ResampleMap, "image"_a, "map"_a, py::kw_only(), "interpolation"_a = "bilinear",
          "nodata"_a = py::none(), "background"_a = 0.0, "rounding"_a = false, "workers"_a = 0,
          "progress"_a = py::none());
    m.def("convolve", &Convolve, "image"_a, "kernel"_a, py::kw_only(), "edge"_a = "skip", "dtype"_a = "float64");
}

} // namespace Pelmora::Tivra::Python
