// Warps: polynomial and projective mappings fitted to control points, built
// from coefficients, and evaluated over point arrays.
#include "common.h"
#include "Warp.h"
#include <cmath>
#include <limits>

namespace Pelmora::Tivra::Python {

namespace {

using Points = py::array_t<double, py::array::c_style | py::array::forcecast>;

/// An (n, 2) array of points (one copy when it is not contiguous float64).
Points PointArray(const py::handle& h, const char* name)
{
    Points a = Points::ensure(h);
    if (!a || a.ndim() != 2 || a.shape(1) != 2)
        throw py::value_error(std::string(name) + " must be an array of shape (n, 2) holding (x, y) pairs");
    const double* p = a.data();
    for (py::ssize_t i = 0; i < a.size(); ++i)
        if (!std::isfinite(p[i]))
            throw py::value_error(std::string(name) + " holds a non-finite coordinate at point " +
                                  std::to_string(i / 2));
    return a;
}

/// Maps each point of xy (n, 2); undefined positions become NaN.
py::array MapPoints(Warp& warp, const Points& xy, int workers)
{
    const int64_t n = xy.shape(0);
    Points out({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(2)});
    const double* in = xy.data();
    double* o = out.mutable_data();
    ParallelFor(n, workers, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            double x = in[2 * i], y = in[2 * i + 1];
            if (!warp.Map(x, y)) x = y = std::numeric_limits<double>::quiet_NaN();
            o[2 * i] = x;
            o[2 * i + 1] = y;
        }
    });
    return out;
}

std::unique_ptr<Warp> FitWarp(const py::handle& src, const py::handle& dst, const std::string& method,
                              std::pair<int, int> cells, const py::object& used)
{
    const Points s = PointArray(src, "src"), d = PointArray(dst, "dst");
    const int n = static_cast<int>(s.shape(0));
    if (d.shape(0) != n)
        throw py::value_error("src and dst must hold the same number of points (" + std::to_string(n) + " and " +
                              std::to_string(d.shape(0)) + ")");
    const int code = WarpMethodCode(method);
    if (cells.first < 1 || cells.second < 1) throw py::value_error("cells=(columns, rows) are at least (1, 1)");
    if (code == Tool::kWarpProjective && (cells.first > 1 || cells.second > 1))
        throw py::value_error("a projective warp has no cells");
    std::vector<uint8_t> mask(n, 1);
    if (!used.is_none()) {
        auto u = py::array_t<bool, py::array::c_style | py::array::forcecast>::ensure(used);
        if (!u || u.ndim() != 1 || u.shape(0) != n)
            throw py::value_error("used must be a 1-D array of " + std::to_string(n) + " booleans");
        for (int i = 0; i < n; ++i) mask[i] = u.data()[i] ? 1 : 0;
    }
    int count = 0;
    for (uint8_t b : mask) count += b;
    const int needed = Tool::WarpPointsNeeded(code);
    if (count < needed)
        throw py::value_error("the " + method + " warp needs at least " + std::to_string(needed) +
                              " used control points, got " + std::to_string(count));
    auto warp = std::make_unique<Warp>();
    const auto* ps = reinterpret_cast<const XVertex2<double>*>(s.data());
    const auto* pd = reinterpret_cast<const XVertex2<double>*>(d.data());
    bool ok;
    {
        py::gil_scoped_release release;
        if (code == Tool::kWarpProjective) {
            warp->projective = true;
            double cx, cy, sc, cx2, cy2, sc2;
            MT::XProjectiveWarp::GetNormalization(ps, n, mask.data(), cx, cy, sc);
            MT::XProjectiveWarp::GetNormalization(pd, n, mask.data(), cx2, cy2, sc2);
            ok = warp->proj.Fit(ps, pd, n, cx, cy, sc, cx2, cy2, sc2, mask.data());
        } else {
            ok = warp->poly.Fit(code, n, ps, pd, mask.data(), cells.first, cells.second);
        }
    }
    if (!ok) throw py::value_error("the " + method + " fit failed: the control points are degenerate for it");
    // Residuals: each mapped source point minus its target; the RMS over the used ones.
    py::array mapped = MapPoints(*warp, s, 1);
    auto r = mapped.mutable_unchecked<double, 2>();
    double sx = 0, sy = 0;
    for (int i = 0; i < n; ++i) {
        r(i, 0) -= pd[i].x;
        r(i, 1) -= pd[i].y;
        if (mask[i]) sx += r(i, 0) * r(i, 0), sy += r(i, 1) * r(i, 1);
    }
    if (warp->projective) {
        warp->rmsX = std::sqrt(sx / count);
        warp->rmsY = std::sqrt(sy / count);
    } else {
        MT::XWarp2D::CalcRms(warp->poly, n, ps, pd, mask.data(), warp->rmsX, warp->rmsY);
    }
    warp->residuals = mapped;
    return warp;
}

std::unique_ptr<Warp> Polynomial(const std::string& method, const py::handle& cx, const py::handle& cy)
{
    const int code = WarpMethodCode(method);
    if (code == Tool::kWarpProjective) throw py::value_error("use Warp.projective for a projective warp");
    const auto x = Doubles(cx, "x coefficients"), y = Doubles(cy, "y coefficients");
    const int terms = GetWarpTermCount(code);
    if (x.shape(0) != terms || y.shape(0) != terms)
        throw py::value_error("the " + method + " warp has " + std::to_string(terms) + " coefficients per axis");
    auto warp = std::make_unique<Warp>();
    warp->poly.m_nMethod = code;
    for (int i = 0; i < terms; ++i) warp->poly.m_CoeffX[i] = x.data()[i], warp->poly.m_CoeffY[i] = y.data()[i];
    return warp;
}

std::unique_ptr<Warp> Projective(const py::handle& matrix)
{
    auto h = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(matrix);
    if (!h || h.ndim() != 2 || h.shape(0) != 3 || h.shape(1) != 3)
        throw py::value_error("a projective warp is a 3 x 3 matrix");
    auto warp = std::make_unique<Warp>();
    warp->projective = true;
    warp->proj.m_H = XMatrix(3, 3);
    for (int i = 0; i < 9; ++i) warp->proj.m_H.GetData()[i] = h.data()[i];
    return warp;
}

py::dict Coefficients(const Warp& w)
{
    py::dict d;
    if (w.projective) {
        Points h({3, 3});
        for (int i = 0; i < 9; ++i) h.mutable_data()[i] = w.proj.m_H.GetRows() == 3 ? w.proj.m_H.GetData()[i] : 0.0;
        d["matrix"] = h;
        return d;
    }
    const auto set = [](const XWarpCoeff& c) {
        const int terms = GetWarpTermCount(c.m_nMethod);
        Points x(terms), y(terms);
        for (int i = 0; i < terms; ++i) x.mutable_data()[i] = c.m_CoeffX[i], y.mutable_data()[i] = c.m_CoeffY[i];
        return py::make_tuple(x, y);
    };
    d["global"] = set(w.poly);
    py::list cells;
    for (int j = 0; j < w.poly.GetCellRows(); ++j)
        for (int i = 0; i < w.poly.GetCellCols(); ++i) cells.append(set(w.poly.GetCell(j, i)));
    d["cells"] = cells;
    d["cell_shape"] = py::make_tuple(w.poly.GetCellRows(), w.poly.GetCellCols());
    return d;
}

} // namespace

void RegisterWarps(py::module_& m)
{
    using namespace py::literals;
    py::class_<Warp>(m, "Warp",
                     "A mapping of plane points: a polynomial of the first to third order (optionally one per cell "
                     "of a grid over the source points) or a projective mapping. Made by fit_warp, "
                     "Warp.polynomial or Warp.projective.")
        .def_static("polynomial", &Polynomial, "method"_a, "x"_a, "y"_a,
                    "A polynomial warp of the given method (linear, affine, pseudoaffine, second, third) from its "
                    "coefficients per axis, highest degree first, pure powers of x then y before mixed terms, the "
                    "constant last (affine: x' = x[0] x + x[1] y + x[2]).")
        .def_static("projective", &Projective, "matrix"_a,
                    "A projective warp (x, y) -> (p / w, q / w) with (p, q, w) = H (x, y, 1) from the 3 x 3 matrix H.")
        .def_property_readonly("kind", [](const Warp& w) { return w.projective ? "projective" : Tool::WarpMethodName(w.poly.m_nMethod); },
                               "The method name: linear, affine, pseudoaffine, second, third or projective.")
        .def_property_readonly("rms", [](const Warp& w) { return py::make_tuple(w.rmsX, w.rmsY); },
                               "RMS of the x and y residuals over the used points of the fit (0 for a given warp).")
        .def_property_readonly("residuals", [](const Warp& w) { return w.residuals; },
                               "(n, 2) array: each control point's mapped source minus its target, check points "
                               "included; None for a warp that was not fitted.")
        .def_property_readonly("coefficients", &Coefficients,
                               "The coefficients: {'matrix'} for a projective warp; {'global': (x, y), 'cells': "
                               "[(x, y), ...] row by row, 'cell_shape': (rows, columns)} for a polynomial.")
        .def(
            "__call__",
            [](Warp& w, const py::handle& xy, int workers) {
                if (workers < 0) throw py::value_error("workers must be 0 (one per processor) or positive");
                auto a = Points::ensure(xy);
                if (!a || a.ndim() < 1 || a.shape(a.ndim() - 1) != 2)
                    throw py::value_error("points must be an array whose last axis holds (x, y)");
                py::array flat = a.reshape({a.size() / 2, py::ssize_t(2)});
                py::array out = MapPoints(w, Points::ensure(flat), workers);
                std::vector<py::ssize_t> shape(a.shape(), a.shape() + a.ndim());
                return out.reshape(shape);
            },
            "points"_a, py::kw_only(), "workers"_a = 0,
            "Maps an array of points whose last axis holds (x, y); returns an array of the same shape (float64), "
            "NaN where the mapping is undefined. One copy of the input at most (to contiguous float64); runs on "
            "'workers' threads (0: one per processor) without the GIL.");
    m.def("_fit_warp", &FitWarp, "src"_a, "dst"_a, "method"_a, "cells"_a, "used"_a);
}

} // namespace Pelmora::Tivra::Python
