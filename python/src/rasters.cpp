// Rasters with geo-reference through GDAL, control points, and warp plans:
// the tivra program's own reading, writing, planning and fit-file code, so
// that a warp made here is the program's warp, sample for sample.
#include "common.h"
#include "Gcps.h"
#include "RasterIO.h"
#include "Warp.h"
#include <ogr_spatialref.h>
#include <cmath>

namespace Pelmora::Tivra::Python {

using namespace py::literals;

namespace {

[[noreturn]] void Fail(const std::string& error) { throw py::value_error(error); }

/// GDAL's (left, column spacing, 0, top, 0, -row spacing) of a north-up raster.
py::tuple Transform(const Tool::Raster& r)
{
    return py::make_tuple(r.left, r.colSpacing, 0.0, r.top, 0.0, -r.rowSpacing);
}

py::dict GeoInfo(const Tool::Raster& r)
{
    py::list noData;
    for (int b = 0; b < r.BandCount(); ++b) noData.append(r.NoData(b) ? py::cast(*r.NoData(b)) : py::none());
    return py::dict("transform"_a = r.hasGeo ? py::object(Transform(r)) : py::object(py::none()),
                    "crs"_a = r.crs.empty() ? py::object(py::none()) : py::object(py::str(r.crs)), "nodata"_a = noData);
}

/// The bands of a raster as one array: (rows, columns) for one band, else
/// (rows, columns, bands) interleaved; one copy.
py::array ToArray(const Tool::Raster& r)
{
    Image im;
    im.type = r.DataType();
    im.rows = r.Rows();
    im.cols = r.Cols();
    im.bands = r.BandCount();
    im.interleaved = im.bands > 1;
    py::array out = NewImage(im, im.rows, im.cols);
    for (int b = 0; b < im.bands; ++b) StoreBand(r.bands[b], out, im, b);
    return out;
}

/// A raster over the bands of an image array (in place for one C-contiguous
/// band, else one copy of each band).
void FromArray(const py::array& a, Tool::Raster& r, const py::object& nodata)
{
    const Image im = DescribeImage(a, "image");
    r.bands.resize(im.bands);
    for (int b = 0; b < im.bands; ++b) BandGrid(a, im, b, r.bands[b]);
    r.width = im.cols, r.height = im.rows, r.bandCount = im.bands, r.dataType = im.type;
    r.noData.assign(im.bands, std::nullopt);
    if (nodata.is_none()) return;
    if (py::isinstance<py::sequence>(nodata)) {
        const auto list = nodata.cast<std::vector<std::optional<double>>>();
        if (static_cast<int>(list.size()) != im.bands)
            Fail("nodata lists one value per band: " + std::to_string(im.bands) + " expected");
        r.noData = list;
    } else {
        r.noData.assign(im.bands, nodata.cast<double>());
    }
}

py::tuple ReadRaster(const std::string& path, std::optional<std::tuple<int, int, int, int>> window)
{
    Tool::RasterReader reader;
    Tool::Raster r;
    std::string error;
    {
        py::gil_scoped_release release;
        if (reader.Open(path, error)) {
            IO::XWindow w;
            if (window) std::tie(w.xOff, w.yOff, w.xSize, w.ySize) = *window;
            if (!reader.Read(r, error, window ? &w : nullptr)) error = error.empty() ? "read failed" : error;
        }
    }
    if (!error.empty()) Fail(error);
    if (r.BandCount() == 0) Fail(path + ": the raster has no band");
    return py::make_tuple(ToArray(r), GeoInfo(r));
}

std::string CrsWkt(const std::string& text)
{
    OGRSpatialReference srs;
    char* wkt = nullptr;
    const char* options[] = {"FORMAT=WKT2", nullptr};
    if (srs.SetFromUserInput(text.c_str()) != OGRERR_NONE || srs.exportToWkt(&wkt, options) != OGRERR_NONE)
        Fail("crs '" + text + "' is not a reference system GDAL knows");
    std::string out = wkt;
    CPLFree(wkt);
    return out;
}

void WriteRaster(const std::string& path, const py::array& image, const py::object& transform,
                 std::optional<std::string> crs, const py::object& nodata, const std::string& format,
                 const std::vector<std::string>& creationOptions)
{
    Tool::Raster r;
    FromArray(image, r, nodata);
    if (!transform.is_none()) {
        const auto t = transform.cast<std::vector<double>>();
        if (t.size() != 6 || t[2] != 0 || t[4] != 0 || !(t[1] > 0) || !(t[5] < 0))
            Fail("transform must be a north-up GDAL geo-transform (left, width, 0, top, 0, -height)");
        r.hasGeo = true;
        r.left = t[0], r.colSpacing = t[1], r.top = t[3], r.rowSpacing = -t[5];
        r.ApplyGeo();
    }
    if (crs) r.crs = CrsWkt(*crs);
    Tool::WriteOptions options{format, creationOptions};
    std::string error;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = Tool::CheckOutput(path, options, r.DataType(), error) && Tool::WriteRaster(path, r, options, error);
    }
    if (!ok) Fail(error);
}

/// Control points as the program reads them: (ids, used, image (n, 2), reference (n, 3)).
py::tuple ReadGcps(const std::string& path)
{
    std::vector<tagXGCP> gcps;
    std::string error;
    if (!Tool::ReadGcps(path, gcps, error)) Fail(error);
    const py::ssize_t n = static_cast<py::ssize_t>(gcps.size());
    py::array_t<int32_t> ids(n);
    py::array_t<bool> used(n);
    py::array_t<double> img({n, py::ssize_t(2)}), ref({n, py::ssize_t(3)});
    for (py::ssize_t i = 0; i < n; ++i) {
        ids.mutable_at(i) = gcps[i].ID;
        used.mutable_at(i) = gcps[i].Used;
        img.mutable_at(i, 0) = gcps[i].imgCoord.x, img.mutable_at(i, 1) = gcps[i].imgCoord.y;
        ref.mutable_at(i, 0) = gcps[i].refCoord.x, ref.mutable_at(i, 1) = gcps[i].refCoord.y;
        ref.mutable_at(i, 2) = gcps[i].refCoord.z;
    }
    return py::make_tuple(ids, used, img, ref);
}

/// A planned warp: the fitted mapping from output pixels to source pixels,
/// the output grid and the window of it to compute.
struct Plan {
    Tool::WarpPlan plan;
    Tool::WarpOptions options;
    Tool::WarpResult result;
    int points = 0;
    int srcCols = 0, srcRows = 0;

    Tool::Raster Header() const
    {
        Tool::Raster h;
        h.width = srcCols, h.height = srcRows;
        return h;
    }
};

void SetWindow(Tool::WarpOptions& o, const std::optional<std::tuple<int, int, int, int>>& window)
{
    if (!window) return;
    o.hasWindow = true;
    std::tie(o.window.xOff, o.window.yOff, o.window.xSize, o.window.ySize) = *window;
}

std::unique_ptr<Plan> PlanWarp(const py::handle& ids, const py::handle& used, const py::handle& image,
                               const py::handle& reference, std::pair<int, int> sourceShape,
                               const std::string& method, std::pair<int, int> cells, const std::string& interpolation,
                               std::optional<double> pixelSize, std::optional<std::pair<int, int>> size,
                               std::optional<std::tuple<double, double, double, double>> extent,
                               std::optional<std::tuple<int, int, int, int>> window)
{
    using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const auto id = py::array_t<int32_t, py::array::c_style | py::array::forcecast>::ensure(ids);
    const auto use = py::array_t<bool, py::array::c_style | py::array::forcecast>::ensure(used);
    const Array img = Array::ensure(image), ref = Array::ensure(reference);
    if (!img || img.ndim() != 2 || img.shape(1) != 2) Fail("image points must be an (n, 2) array of column, row");
    const py::ssize_t n = img.shape(0);
    if (!ref || ref.ndim() != 2 || (ref.shape(1) != 2 && ref.shape(1) != 3) || ref.shape(0) != n)
        Fail("reference points must be an (n, 2) or (n, 3) array, one row per image point");
    if (!id || id.ndim() != 1 || id.shape(0) != n || !use || use.ndim() != 1 || use.shape(0) != n)
        Fail("ids and used need one entry per point");
    for (py::ssize_t i = 0; i < img.size(); ++i)
        if (!std::isfinite(img.data()[i])) Fail("image points hold a non-finite coordinate");
    for (py::ssize_t i = 0; i < ref.size(); ++i)
        if (!std::isfinite(ref.data()[i])) Fail("reference points hold a non-finite coordinate");
    if (sourceShape.first < 1 || sourceShape.second < 1) Fail("the source shape is (rows, columns), both positive");
    std::vector<tagXGCP> gcps(n);
    for (py::ssize_t i = 0; i < n; ++i) {
        gcps[i].ID = id.at(i);
        gcps[i].Used = use.at(i);
        gcps[i].imgCoord = XVertex2<double>(img.at(i, 0), img.at(i, 1));
        gcps[i].refCoord = XVertex3<double>(ref.at(i, 0), ref.at(i, 1), ref.shape(1) == 3 ? ref.at(i, 2) : 0.0);
    }
    auto p = std::make_unique<Plan>();
    p->srcRows = sourceShape.first, p->srcCols = sourceShape.second;
    Tool::WarpOptions& o = p->options;
    o.method = WarpMethodCode(method);
    o.interpolation = InterpolationCode(interpolation);
    if (cells.first < 1 || cells.second < 1) Fail("cells=(columns, rows) are at least (1, 1)");
    o.cellCols = cells.first, o.cellRows = cells.second;
    if (pixelSize) {
        if (!(*pixelSize > 0)) Fail("pixel_size must be positive");
        o.pixelSize = *pixelSize;
    }
    if (size) {
        if (size->first < 1 || size->second < 1) Fail("size=(width, height) must be positive");
        std::tie(o.width, o.height) = *size;
    }
    if (extent) {
        o.hasExtent = true;
        std::tie(o.xmin, o.ymin, o.xmax, o.ymax) = *extent;
    }
    SetWindow(o, window);
    p->points = static_cast<int>(n);
    std::string error;
    if (!Tool::PlanWarp(p->Header(), gcps, o, p->plan, p->result, error)) Fail(error);
    return p;
}

std::unique_ptr<Plan> LoadPlan(const std::string& path, std::pair<int, int> sourceShape,
                               std::optional<std::tuple<int, int, int, int>> window)
{
    auto p = std::make_unique<Plan>();
    p->srcRows = sourceShape.first, p->srcCols = sourceShape.second;
    SetWindow(p->options, window);
    std::string error;
    if (!Tool::LoadWarpFit(path, p->Header(), p->options, p->plan, p->result, p->points, error)) Fail(error);
    return p;
}

py::tuple WarpRaster(const py::array& image, const Plan& p, const py::object& nodata, std::optional<double> background,
                     bool rounding, bool windowed)
{
    const Image im = DescribeImage(image, "image");
    // The source window the plan's output window reads, as the program reads it:
    // cut from the whole source, or given alone by a caller that read only it.
    const IO::XWindow& s = p.plan.srcWindow;
    const int rows = windowed ? s.ySize : p.srcRows, cols = windowed ? s.xSize : p.srcCols;
    if (im.rows != rows || im.cols != cols)
        Fail(std::string(windowed ? "the plan's source window is " : "the plan was made for a source of ") +
             std::to_string(rows) + " x " + std::to_string(cols) + " (rows x columns), this image has " +
             std::to_string(im.rows) + " x " + std::to_string(im.cols));
    const py::array part = windowed ? image
                                    : py::array(image[py::make_tuple(py::slice(s.yOff, s.yOff + s.ySize, 1),
                                                                     py::slice(s.xOff, s.xOff + s.xSize, 1))]);
    Tool::Raster in, out;
    FromArray(part, in, nodata);
    Tool::WarpOptions o = p.options;
    o.rounding = rounding;
    if (background) {
        if (std::isnan(*background) && !Tool::IsRealSampleType(im.type)) Fail("integer samples cannot hold NaN");
        o.hasBackground = true;
        o.background = *background;
    }
    Tool::WarpResult result = p.result;
    std::string error;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = Tool::ResampleWarp(in, p.plan, o, out, result, error);
    }
    if (!ok) Fail(error);
    return py::make_tuple(ToArray(out), GeoInfo(out));
}

} // namespace

void RegisterRasters(py::module_& m)
{
    m.def("_read_raster", &ReadRaster, "path"_a, "window"_a);
    m.def("_write_raster", &WriteRaster, "path"_a, "image"_a, "transform"_a, "crs"_a, "nodata"_a, "format"_a,
          "options"_a);
    m.def("_read_gcps", &ReadGcps, "path"_a);
    m.def("_plan_warp", &PlanWarp, "ids"_a, "used"_a, "image"_a, "reference"_a, "source_shape"_a, "method"_a,
          "cells"_a, "interpolation"_a, "pixel_size"_a, "size"_a, "extent"_a, "window"_a);
    py::class_<Plan>(m, "WarpPlan",
                     "A planned rectification: the mapping fitted from output pixels to source pixels, the output "
                     "grid in reference coordinates and the window of it to compute. Made by plan_warp or "
                     "WarpPlan.load; applied by warp_raster.")
        .def_static("load", &LoadPlan, "path"_a, "source_shape"_a, py::kw_only(), "window"_a = py::none(),
                    "Reads a fit file (as `tivra warp --save-fit` or WarpPlan.save writes) for a source of "
                    "source_shape = (rows, columns), with an optional output window (x_offset, y_offset, width, "
                    "height).")
        .def(
            "save",
            [](const Plan& p, const std::string& path) {
                std::string error;
                if (!Tool::SaveWarpFit(path, p.Header(), p.options, p.plan, p.result, p.points, error)) Fail(error);
            },
            "path"_a, "Writes the fit file `tivra warp --load-fit` and WarpPlan.load read.")
        .def_property_readonly(
            "source_window",
            [](const Plan& p) {
                const IO::XWindow& w = p.plan.srcWindow;
                return py::make_tuple(w.xOff, w.yOff, w.xSize, w.ySize);
            },
            "The part of the source the computed window reads (x_offset, y_offset, width, height): its "
            "border mapped densely, widened by the interpolation's reach and clipped to the source.")
        .def_property_readonly("shape", [](const Plan& p) { return py::make_tuple(p.plan.height, p.plan.width); },
                               "(rows, columns) of the whole output grid.")
        .def_property_readonly(
            "window",
            [](const Plan& p) {
                const IO::XWindow& w = p.plan.outWindow;
                return py::make_tuple(w.xOff, w.yOff, w.xSize, w.ySize);
            },
            "(x_offset, y_offset, width, height) of the output computed.")
        .def_property_readonly(
            "transform",
            [](const Plan& p) {
                const IO::XWindow& w = p.plan.outWindow;
                return py::make_tuple(p.plan.left + w.xOff * p.plan.colSpacing, p.plan.colSpacing, 0.0,
                                      p.plan.top - w.yOff * p.plan.rowSpacing, 0.0, -p.plan.rowSpacing);
            },
            "GDAL geo-transform of the computed window: (left, pixel width, 0, top, 0, -pixel height).")
        .def_property_readonly("method", [](const Plan& p) { return Tool::WarpMethodName(p.options.method); },
                               "The warp method name.")
        .def_property_readonly("interpolation",
                               [](const Plan& p) { return Tool::InterpolationName(p.options.interpolation); },
                               "The interpolation the mapping was fitted for.")
        .def_property_readonly("rms", [](const Plan& p) { return py::make_tuple(p.result.rmsX, p.result.rmsY); },
                               "RMS of the x and y residuals over the used points, in source pixels.")
        .def_property_readonly(
            "residuals",
            [](const Plan& p) {
                const py::ssize_t n = static_cast<py::ssize_t>(p.result.residuals.size());
                py::array_t<double> r({n, py::ssize_t(2)});
                for (py::ssize_t i = 0; i < n; ++i)
                    r.mutable_at(i, 0) = p.result.residuals[i].dx, r.mutable_at(i, 1) = p.result.residuals[i].dy;
                return r;
            },
            "(n, 2) residuals in source pixels (fitted source position minus the point's own), check points "
            "included; empty for a loaded plan.");
    m.def("_warp_raster", &WarpRaster, "image"_a, "plan"_a, "nodata"_a, "background"_a, "rounding"_a, "windowed"_a);
}

} // namespace Pelmora::Tivra::Python
