// Statistics, histograms, palettes, colourising, the colour transform and the
// camera fit.
#include "common.h"
#include "Stats.h"
#include <tivra/grid/XColorTransform.h>
#include <tivra/grid/XColorize.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/mt/XCameraModel.h>
#include <cmath>
#include <mutex>

namespace Pelmora::Tivra::Python {

using namespace py::literals;

namespace {

/// A 2-D band of a statistics type.
void Band(const py::array& a, XGrid& grid)
{
    const Image im = DescribeImage(a, "band");
    if (im.interleaved) throw py::value_error("band must be 2-D (rows, columns); take one band of a 3-D image");
    BandGrid(a, im, 0, grid);
}

double NoData(const std::optional<double>& v) { return v ? *v : NAN_REAL64; }

int StatOptions(bool skipNan, bool samplePrecision)
{
    return (skipNan ? XSTAT_SKIP_NAN : 0) | (samplePrecision ? XSTAT_NODATA_IN_SAMPLE_PRECISION : 0);
}

py::dict Statistics(const py::array& band, std::optional<double> nodata, bool histogram, bool skipNan,
                    bool samplePrecision)
{
    XGrid g;
    Band(band, g);
    uint64_t count = 0;
    double mn, mx, mean, sd;
    py::array_t<uint64_t> bins(256);
    {
        py::gil_scoped_release release;
        Xfn::GetStatistics(g, 1, 0, 1, 0, NoData(nodata), StatOptions(skipNan, samplePrecision), count, mn, mx, mean,
                           sd, histogram ? bins.mutable_data() : nullptr);
    }
    py::dict d("count"_a = count, "min"_a = mn, "max"_a = mx, "mean"_a = mean, "std"_a = sd);
    if (histogram) d["histogram"] = bins;
    return d;
}

py::dict BandStatistics(const py::array& band, std::optional<double> nodata)
{
    XGrid g;
    Band(band, g);
    Tool::BandStats s;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = Tool::ComputeBandStats(g, NoData(nodata), s);
    }
    if (!ok) throw py::value_error("the band holds no valid sample");
    py::array_t<uint64_t> bins(256);
    std::copy(s.bins, s.bins + 256, bins.mutable_data());
    return py::dict("count"_a = s.count, "min"_a = s.min, "max"_a = s.max, "mean"_a = s.mean, "std"_a = s.stdDev,
                    "stretch"_a = py::make_tuple(s.stretchLow, s.stretchHigh), "histogram"_a = bins);
}

/// The mergeable partial sums of the statistics of one or more bands.
struct PartialStats {
    XStatAccum acc{};
    void Add(const py::array& band, std::optional<double> nodata, bool skipNan, bool samplePrecision)
    {
        XGrid g;
        Band(band, g);
        // The band's own record is made without the GIL and merged with it
        // held, so threads may add to one record at the same time.
        XStatAccum part{};
        {
            py::gil_scoped_release release;
            Xfn::AccumulateGridStatistics(part, g, 1, 0, 1, 0, NoData(nodata), StatOptions(skipNan, samplePrecision));
        }
        Xfn::MergeStatistics(acc, part);
    }
    py::dict Result() const
    {
        double mn = NAN_REAL64, mx = -NAN_REAL64, mean = NAN, sd = NAN;
        if (acc.count) Xfn::FinishStatistics(acc, mx, mn, mean, sd);
        return py::dict("count"_a = acc.count, "min"_a = mn, "max"_a = mx, "mean"_a = mean, "std"_a = sd);
    }
    py::tuple State() const
    {
        return py::make_tuple(acc.count, acc.min0, acc.max0, acc.sum0, acc.sumSq0, acc.min1, acc.max1, acc.sum1,
                              acc.sumSq1, acc.sumProd);
    }
    static PartialStats FromState(const py::tuple& t)
    {
        if (t.size() != 10) throw py::value_error("a PartialStats state has 10 fields");
        PartialStats p;
        p.acc.count = t[0].cast<uint64_t>();
        double* f[] = {&p.acc.min0, &p.acc.max0, &p.acc.sum0, &p.acc.sumSq0, &p.acc.min1,
                       &p.acc.max1, &p.acc.sum1, &p.acc.sumSq1, &p.acc.sumProd};
        for (int i = 0; i < 9; ++i) *f[i] = t[i + 1].cast<double>();
        return p;
    }
};

/// A histogram record that grows band by band: the first band sets the
/// range, later ones widen it and rebin the counts. Threads adding to one
/// record take turns.
struct PartialHistogram {
    XHistAccum acc{};
    std::mutex lock;
    void Add(const py::array& band, std::optional<double> lo, std::optional<double> hi, std::optional<double> nodata)
    {
        XGrid g;
        Band(band, g);
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> hold(lock);
        Xfn::AccumulateHistogram(g.GetData(), int64_t(g.GetRSize()) * g.GetCSize(), acc, g.GetDataType(),
                                 NoData(nodata), lo ? *lo : NAN_REAL64, hi ? *hi : NAN_REAL64);
    }
};

py::tuple Histogram(const py::array& band, std::optional<double> lo, std::optional<double> hi,
                    std::optional<double> nodata)
{
    XGrid g;
    Band(band, g);
    XHistAccum h{};
    {
        py::gil_scoped_release release;
        Xfn::AccumulateHistogram(g.GetData(), int64_t(g.GetRSize()) * g.GetCSize(), h, g.GetDataType(),
                                 NoData(nodata), lo ? *lo : NAN_REAL64, hi ? *hi : NAN_REAL64);
    }
    py::array_t<uint64_t> bins(256);
    std::copy(h.bins, h.bins + 256, bins.mutable_data());
    return py::make_tuple(bins, h.lo, h.hi);
}

_XCOLORTABLE PaletteOf(const py::handle& p)
{
    _XCOLORTABLE t;
    const std::string text = py::str(p);
    if (!Tool::FindPalette(text, t))
        throw py::value_error("unknown palette '" + text + "': give a name of palette_names() or its 1-based index");
    return t;
}

py::array Palette(const py::handle& p)
{
    py::array_t<uint8_t> rgb({256, 3});
    uint8_t r[256], g[256], b[256];
    Xfn::GetPalette(PaletteOf(p), r, g, b);
    for (int i = 0; i < 256; ++i) rgb.mutable_at(i, 0) = r[i], rgb.mutable_at(i, 1) = g[i], rgb.mutable_at(i, 2) = b[i];
    return rgb;
}

py::array Colorize(const py::array& band, const py::handle& palette, std::optional<double> low,
                   std::optional<double> high, std::optional<double> nodata)
{
    XGrid g;
    Band(band, g);
    const _XCOLORTABLE table = PaletteOf(palette);
    if (!low || !high) {
        Tool::BandStats s;
        bool ok;
        {
            py::gil_scoped_release release;
            ok = Tool::ComputeBandStats(g, NoData(nodata), s);
        }
        if (!ok) throw py::value_error("the band holds no valid sample to stretch over; give low and high");
        if (!low) low = s.stretchLow;
        if (!high) high = s.stretchHigh;
    }
    XGrid rgb;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = Xfn::Colorize(g, table, *low, *high, NoData(nodata), rgb);
    }
    if (!ok) throw py::value_error("colourising failed (out of memory?)");
    py::array_t<uint8_t> out({g.GetRSize(), g.GetCSize(), 3});
    std::copy(rgb.GetData(), rgb.GetData() + size_t(g.GetRSize()) * g.GetCSize() * 3, out.mutable_data());
    return out;
}

/// The colour transform over the first three components of every pixel of a
/// (..., k) array, k >= 3, uint8 or int16; a new array is returned.
py::array ColorTransform(const py::array& pixels, bool decode, bool yLast)
{
    const bool bytes = pixels.dtype().equal(py::dtype::of<uint8_t>());
    if (!bytes && !pixels.dtype().equal(py::dtype::of<int16_t>()))
        throw py::type_error("the colour transform takes uint8 or int16 pixels");
    if (pixels.ndim() < 1 || pixels.shape(pixels.ndim() - 1) < 3)
        throw py::value_error("pixels must have a last axis of at least 3 components");
    if (yLast && !bytes) throw py::value_error("y_last applies to uint8 pixels only");
    py::array out = py::array::ensure(pixels.attr("copy")(), py::array::c_style);
    const int stride = static_cast<int>(pixels.shape(pixels.ndim() - 1));
    const int64_t n = out.size() / stride;
    py::gil_scoped_release release;
    if (bytes) {
        auto* p = static_cast<uint8_t*>(out.mutable_data());
        if (yLast) decode ? Xfn::DecodeColorPixels8YLast(p, n, stride) : Xfn::EncodeColorPixels8YLast(p, n, stride);
        else decode ? Xfn::DecodeColorPixels8(p, n, stride) : Xfn::EncodeColorPixels8(p, n, stride);
    } else {
        auto* p = static_cast<int16_t*>(out.mutable_data());
        decode ? Xfn::DecodeColorPixels16(p, n, stride) : Xfn::EncodeColorPixels16(p, n, stride);
    }
    return out;
}

py::dict FitCamera(const py::handle& ground, const py::handle& image, const py::object& used, int maxIterations)
{
    using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const Array g = Array::ensure(ground), im = Array::ensure(image);
    if (!g || g.ndim() != 2 || g.shape(1) != 3) throw py::value_error("ground must be an (n, 3) array of X, Y, Z");
    if (!im || im.ndim() != 2 || im.shape(1) != 2 || im.shape(0) != g.shape(0))
        throw py::value_error("image must be an (n, 2) array of x, y with one row per ground point");
    if (maxIterations < 1) throw py::value_error("max_iterations must be positive");
    const int n = static_cast<int>(g.shape(0));
    for (py::ssize_t i = 0; i < g.size(); ++i)
        if (!std::isfinite(g.data()[i])) throw py::value_error("ground holds a non-finite coordinate");
    for (py::ssize_t i = 0; i < im.size(); ++i)
        if (!std::isfinite(im.data()[i])) throw py::value_error("image holds a non-finite coordinate");
    XVector X(n), Y(n), Z(n), x(n), y(n);
    std::vector<int32_t> use(n, 1);
    std::vector<uint8_t> use8(n, 1);
    if (!used.is_none()) {
        auto u = py::array_t<bool, py::array::c_style | py::array::forcecast>::ensure(used);
        if (!u || u.ndim() != 1 || u.shape(0) != n)
            throw py::value_error("used must be a 1-D array of " + std::to_string(n) + " booleans");
        for (int i = 0; i < n; ++i) use[i] = use8[i] = u.data()[i] ? 1 : 0;
    }
    int count = 0;
    for (int i = 0; i < n; ++i) {
        X[i] = g.at(i, 0), Y[i] = g.at(i, 1), Z[i] = g.at(i, 2), x[i] = im.at(i, 0), y[i] = im.at(i, 1);
        count += use[i];
    }
    // The direct linear start has 11 unknowns and each point gives two equations.
    constexpr int kMinPoints = 6;
    if (count < kMinPoints)
        throw py::value_error("a frame camera needs at least 6 used control points, got " + std::to_string(count));
    XVector a(XCAMERA_FRAME_PARAMS);
    for (int j = 0; j < XCAMERA_FRAME_PARAMS; ++j) a[j] = 0.0;
    tagXCameraFit fit;
    int dlt, result = XCAMERA_SINGULAR;
    {
        py::gil_scoped_release release;
        dlt = Xfn::EstimateCameraByDlt(a, nullptr, X, Y, Z, x, y, use8.data());
        if (dlt == XCAMERA_DLT_OK)
            result = Xfn::RefineCameraModel(a, nullptr, X, Y, Z, x, y, use.data(), 0.0, maxIterations, &fit);
    }
    if (dlt != XCAMERA_DLT_OK)
        throw py::value_error("the used ground points lie in one plane or do not determine a camera (points at "
                              "different heights are needed)");
    if (result == XCAMERA_SINGULAR) throw py::value_error("the control points do not determine all nine parameters");
    // The a-posteriori variance of an image coordinate scales the covariance.
    const int dof = 2 * count - XCAMERA_FRAME_PARAMS;
    const double variance = dof > 0 ? fit.m_dChi2 / dof : 0.0;
    Array params(XCAMERA_FRAME_PARAMS), sd(XCAMERA_FRAME_PARAMS), res({n, 2});
    for (int j = 0; j < XCAMERA_FRAME_PARAMS; ++j) {
        params.mutable_at(j) = a[j];
        sd.mutable_at(j) = std::sqrt(fit.m_Covar(j, j) * variance);
    }
    // Residuals: the projected position minus the point's own, for check points too.
    XMatrix row(1, 4);
    XVector d;
    for (int i = 0; i < n; ++i) {
        row(0, 0) = X[i], row(0, 1) = Y[i], row(0, 2) = Z[i], row(0, 3) = y[i];
        res.mutable_at(i, 0) = Xfn::EvalCollinearity(0, row, a, d) - x[i];
        res.mutable_at(i, 1) = Xfn::EvalCollinearity(1, row, a, d) - y[i];
    }
    const bool converged = result == XCAMERA_CONVERGED || fit.m_dLambda >= XCAMERA_LAMBDA_LIMIT;
    return py::dict("params"_a = params, "std"_a = sd, "residuals"_a = res, "sigma0"_a = std::sqrt(variance),
                    "dof"_a = dof, "iterations"_a = fit.m_nIterations, "converged"_a = converged);
}

} // namespace

void RegisterGrids(py::module_& m)
{
    m.def("_statistics", &Statistics, "band"_a, "nodata"_a, "histogram"_a, "skip_nan"_a, "sample_precision"_a);
    m.def("_band_statistics", &BandStatistics, "band"_a, "nodata"_a);
    m.def("_histogram", &Histogram, "band"_a, "lo"_a, "hi"_a, "nodata"_a);
    py::class_<PartialStats>(m, "PartialStats",
                             "Mergeable partial sums of the statistics of bands: add bands or parts of them, merge "
                             "records made elsewhere (they pickle), and read the result.")
        .def(py::init<>(), "An empty record.")
        .def("add", &PartialStats::Add, "band"_a, py::kw_only(), "nodata"_a = py::none(), "skip_nan"_a = true,
             "nodata_in_sample_precision"_a = true,
             "Adds the samples of a 2-D band (read in place when C-contiguous, else one copy), leaving out NaN "
             "(skip_nan) and no-data samples (compared in the band's precision when "
             "nodata_in_sample_precision). Returns None; the GIL is released.")
        .def(
            "merge", [](PartialStats& p, const PartialStats& o) { Xfn::MergeStatistics(p.acc, o.acc); return &p; },
            "other"_a, py::return_value_policy::reference,
            "Merges another record into this one, as if its samples had been added here; returns self.")
        .def_property_readonly("count", [](const PartialStats& p) { return p.acc.count; }, "Samples accepted.")
        .def("result", &PartialStats::Result,
             "{'count', 'min', 'max', 'mean', 'std'} of the samples so far (the sample standard deviation).")
        .def(py::pickle([](const PartialStats& p) { return p.State(); },
                        [](const py::tuple& t) { return PartialStats::FromState(t); }));
    py::class_<PartialHistogram>(m, "PartialHistogram",
                                 "A 256-bin histogram record that grows band by band (or part by part).")
        .def(py::init<>(), "An empty record.")
        .def("add", &PartialHistogram::Add, "band"_a, py::kw_only(), "lo"_a = py::none(), "hi"_a = py::none(),
             "nodata"_a = py::none(),
             "Counts the samples of a 2-D band (read in place when C-contiguous). The first band sets the range: "
             "[lo, hi] when given, else [0, 255] for uint8, [-128, 127] for int8 and the band's extremes "
             "otherwise; later bands outside it widen the range and the counts so far are rebinned.")
        .def_property_readonly("total", [](const PartialHistogram& h) { return h.acc.total; }, "Samples counted.")
        .def_property_readonly(
            "counts",
            [](const PartialHistogram& h) {
                py::array_t<uint64_t> bins(256);
                std::copy(h.acc.bins, h.acc.bins + 256, bins.mutable_data());
                return bins;
            },
            "The 256 counts; bin k covers [lo + k w, lo + (k + 1) w), w = (hi - lo) / 256.")
        .def_property_readonly("range", [](const PartialHistogram& h) { return py::make_tuple(h.acc.lo, h.acc.hi); },
                               "(lo, hi) of the bins.");
    m.def("palette_names", [] {
        py::list names;
        for (int i = 1; i <= Xfn::GetNumberOfPalette(); ++i)
            names.append(std::string(static_cast<const char*>(Xfn::GetPaletteName(static_cast<_XCOLORTABLE>(i)))));
        return names;
    }, "The names of the palettes, index 1 first.");
    m.def("palette", &Palette, "palette"_a,
          "The 256 x 3 uint8 colour table of a palette given by name (case, spaces and punctuation ignored) or "
          "1-based index.");
    m.def("_colorize", &Colorize, "band"_a, "palette"_a, "low"_a, "high"_a, "nodata"_a);
    m.def("_color_transform", &ColorTransform, "pixels"_a, "decode"_a, "y_last"_a);
    m.def("_fit_camera", &FitCamera, "ground"_a, "image"_a, "used"_a, "max_iterations"_a);
}

} // namespace Pelmora::Tivra::Python
