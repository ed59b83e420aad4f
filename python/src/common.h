// Shared parts of the native module: sample types of numpy arrays, grids over
// array memory, the worker split of element-wise functions and the runner
// that keeps a long pass interruptible from Python.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <tivra/grid/XGrid.h>
#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XWarp2D.h>
#include <tivra/runtime/XParallelProcess.h>
#include <functional>
#include <string>
#include <vector>

namespace py = pybind11;

namespace Pelmora::Tivra::Python {

/// The grid sample type of a numpy dtype; TypeError for a dtype the library
/// has no type for.
int SampleTypeOf(const py::dtype& dtype);
/// The numpy dtype of a grid sample type (scalars and the real complex pairs).
py::dtype DtypeOf(int type);

/// An image array seen as bands: a 2-D array (rows, columns) is one band, a
/// 3-D array (rows, columns, bands) holds interleaved bands.
struct Image {
    int rows = 0, cols = 0, bands = 1, type = 0;
    bool interleaved = false;
};
/// Checks the array's dtype and shape (name says which argument it is).
Image DescribeImage(const py::array& a, const char* name);
/// Band b of an image as a grid: the array's own memory when it is one
/// C-contiguous band (no copy), else a packed copy of the band.
void BandGrid(const py::array& a, const Image& im, int b, XGrid& grid);
/// Stores a band grid into band b of an interleaved array (the one copy out);
/// a no-op when the grid already wraps that array's memory.
void StoreBand(const XGrid& grid, py::array& a, const Image& im, int b);
/// A new C-contiguous array of the image's layout with the given rows and columns.
py::array NewImage(const Image& im, int rows, int cols);

/// A contiguous float64 view of a 1-D argument of length n (one copy when it
/// is not already such an array).
py::array_t<double, py::array::c_style | py::array::forcecast> Doubles(const py::handle& h, const char* name);

/// Runs fn(begin, end) over 0..n on the given number of threads (0: one per
/// processor), in contiguous parts, without the GIL.
void ParallelFor(int64_t n, int workers, const std::function<void(int64_t, int64_t)>& fn);

/// Runs job (a pass on pool) on a helper thread with the GIL released, and on
/// the calling thread every 50 ms checks for signals (Ctrl-C stops the pool
/// and raises KeyboardInterrupt once its workers are idle) and reports the
/// pool's progress, 0..1, to progress when it is not None.
bool RunInterruptible(XParallelProcess& pool, const std::function<bool()>& job, const py::object& progress,
                      double base, double span);

/// A fitted or given mapping of points: a polynomial (with an optional grid
/// of cells) or a projective one, with the residuals of its fit.
struct Warp {
    bool projective = false;
    MT::XWarp2D poly;
    MT::XProjectiveWarp proj;
    double rmsX = 0, rmsY = 0;
    py::object residuals = py::none();
    /// Maps (x, y) in place; false where the mapping is undefined.
    bool Map(double& x, double& y) { return projective ? proj.WarpPoint(x, y) : poly.WarpPoint(x, y); }
};

/// The name tables of the module: interpolation and warp method names.
int InterpolationCode(const std::string& name);
int WarpMethodCode(const std::string& name);

void RegisterImages(py::module_& m);
void RegisterWarps(py::module_& m);
void RegisterGeo(py::module_& m);
void RegisterGrids(py::module_& m);
void RegisterRasters(py::module_& m);

} // namespace Pelmora::Tivra::Python
