// The native module tivra._tivra: array plumbing shared by every binding and
// the module's entry point.
#include "common.h"
#include "Warp.h"
#include <tivra/env/XPaths.h>
#include <tivra/grid/XDataType.h>
#include <algorithm>
#include <chrono>
#include <complex>
#include <cstring>
#include <future>
#include <thread>

namespace Pelmora::Tivra::Tool {
// The program's shared command-line helpers name a command's usage text in
// their usage errors; the module reports errors as exceptions and has none.
const char* CommandUsage(const std::string&) { return ""; }
} // namespace Pelmora::Tivra::Tool

namespace Pelmora::Tivra::Python {

namespace {

/// numpy dtype characters and their grid sample types.
struct TypePair {
    char kind;
    int size;
    int type;
};
constexpr TypePair kTypes[] = {
    {'u', 1, XDT_UINT08}, {'i', 1, XDT_SINT08}, {'u', 2, XDT_UINT16}, {'i', 2, XDT_SINT16},
    {'u', 4, XDT_UINT32}, {'i', 4, XDT_SINT32}, {'f', 4, XDT_REAL32}, {'f', 8, XDT_REAL64},
    {'c', 8, XDT_REAL32C}, {'c', 16, XDT_REAL64C}};

/// Copies a 2-D strided block of elements of size bytes between arrays.
void CopyStrided(const uint8_t* src, int64_t srcRow, int64_t srcCol, uint8_t* dst, int64_t dstRow, int64_t dstCol,
                 int rows, int cols, int size)
{
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) std::memcpy(dst + r * dstRow + c * dstCol, src + r * srcRow + c * srcCol, size);
}

} // namespace

int SampleTypeOf(const py::dtype& dtype)
{
    const char kind = dtype.kind();
    const int size = static_cast<int>(dtype.itemsize());
    if (dtype.attr("byteorder").cast<std::string>() != ">")
        for (const TypePair& t : kTypes)
            if (t.kind == kind && t.size == size) return t.type;
    throw py::type_error("arrays of dtype " + dtype.attr("name").cast<std::string>() +
                         " are not supported: expected uint8, int8, uint16, int16, uint32, int32, float32, float64, "
                         "complex64 or complex128 (native byte order)");
}

py::dtype DtypeOf(int type)
{
    switch (type) {
    case XDT_UINT08: return py::dtype::of<uint8_t>();
    case XDT_SINT08: return py::dtype::of<int8_t>();
    case XDT_UINT16: return py::dtype::of<uint16_t>();
    case XDT_SINT16: return py::dtype::of<int16_t>();
    case XDT_UINT32: return py::dtype::of<uint32_t>();
    case XDT_SINT32: return py::dtype::of<int32_t>();
    case XDT_REAL32: return py::dtype::of<float>();
    case XDT_REAL64: return py::dtype::of<double>();
    case XDT_REAL32C: return py::dtype::of<std::complex<float>>();
    case XDT_REAL64C: return py::dtype::of<std::complex<double>>();
    }
    throw py::type_error(std::string("the sample type ") + Xfn::GetDataTypeString(type) + " has no numpy dtype");
}

Image DescribeImage(const py::array& a, const char* name)
{
    Image im;
    im.type = SampleTypeOf(a.dtype());
    if (a.ndim() != 2 && a.ndim() != 3)
        throw py::value_error(std::string(name) + " must be a 2-D array (rows, columns) or a 3-D array (rows, "
                              "columns, bands), not " + std::to_string(a.ndim()) + "-D");
    if (a.shape(0) < 1 || a.shape(1) < 1 || (a.ndim() == 3 && a.shape(2) < 1))
        throw py::value_error(std::string(name) + " is empty");
    constexpr int64_t kMaxSide = 2147483647;
    if (a.shape(0) > kMaxSide || a.shape(1) > kMaxSide)
        throw py::value_error(std::string(name) + " has more than 2^31 - 1 rows or columns");
    im.rows = static_cast<int>(a.shape(0));
    im.cols = static_cast<int>(a.shape(1));
    im.interleaved = a.ndim() == 3;
    im.bands = im.interleaved ? static_cast<int>(a.shape(2)) : 1;
    if (static_cast<double>(im.rows) * im.cols * a.itemsize() > 2147483647.0)
        throw py::value_error(std::string(name) + ": a band of more than 2^31 - 1 bytes does not fit a grid");
    return im;
}

void BandGrid(const py::array& a, const Image& im, int b, XGrid& grid)
{
    const int size = static_cast<int>(a.itemsize());
    if (!im.interleaved && a.strides(1) == size && a.strides(0) == size * im.cols) {
        grid.Attach(const_cast<void*>(a.data()), im.rows, im.cols, im.type);
        return;
    }
    if (!grid.AllocExact(im.rows, im.cols, im.type)) throw std::bad_alloc();
    const auto* src = static_cast<const uint8_t*>(a.data()) + (im.interleaved ? b * a.strides(2) : 0);
    CopyStrided(src, a.strides(0), a.strides(1), grid.GetData(), int64_t(size) * im.cols, size, im.rows, im.cols,
                size);
}

void StoreBand(const XGrid& grid, py::array& a, const Image& im, int b)
{
    if (grid.GetData() == a.data()) return;
    const int size = static_cast<int>(a.itemsize());
    auto* dst = static_cast<uint8_t*>(a.mutable_data()) + (im.interleaved ? b * a.strides(2) : 0);
    CopyStrided(grid.GetData(), int64_t(size) * grid.GetCSize(), size, dst, a.strides(0), a.strides(1),
                grid.GetRSize(), grid.GetCSize(), size);
}

py::array NewImage(const Image& im, int rows, int cols)
{
    std::vector<py::ssize_t> shape{rows, cols};
    if (im.interleaved) shape.push_back(im.bands);
    return py::array(DtypeOf(im.type), shape);
}

py::array_t<double, py::array::c_style | py::array::forcecast> Doubles(const py::handle& h, const char* name)
{
    auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(h);
    if (!a) throw py::type_error(std::string(name) + " must be an array of numbers");
    if (a.ndim() != 1) throw py::value_error(std::string(name) + " must be 1-D");
    return a;
}

void ParallelFor(int64_t n, int workers, const std::function<void(int64_t, int64_t)>& fn)
{
    if (workers <= 0) workers = GetNumberOfProcessors();
    // Below this many elements per thread, starting threads costs more than it saves.
    constexpr int64_t kMinPerThread = 4096;
    const int64_t threads = std::max<int64_t>(1, std::min<int64_t>(workers, n / kMinPerThread));
    py::gil_scoped_release release;
    if (threads == 1) {
        fn(0, n);
        return;
    }
    std::vector<std::thread> pool;
    for (int64_t t = 0; t < threads; ++t)
        pool.emplace_back(fn, n * t / threads, n * (t + 1) / threads);
    for (std::thread& t : pool) t.join();
}

bool RunInterruptible(XParallelProcess& pool, const std::function<bool()>& job, const py::object& progress,
                      double base, double span)
{
    std::packaged_task<bool()> task(job);
    std::future<bool> done = task.get_future();
    std::thread worker;
    {
        py::gil_scoped_release release;
        worker = std::thread(std::move(task));
    }
    const auto stop = [&] {
        py::gil_scoped_release release;
        pool.Stop();
        worker.join();
    };
    for (;;) {
        bool ready;
        {
            py::gil_scoped_release release;
            ready = done.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready;
        }
        if (ready) break;
        if (PyErr_CheckSignals() != 0) {
            stop();
            throw py::error_already_set();
        }
        if (!progress.is_none()) {
            try {
                progress(base + span * pool.GetPercent() / 100.0);
            } catch (...) {
                stop();
                throw;
            }
        }
    }
    {
        py::gil_scoped_release release;
        worker.join();
    }
    if (!progress.is_none()) progress(base + span);
    return done.get();
}

int InterpolationCode(const std::string& name)
{
    int code = 0;
    if (!Tool::ParseInterpolation(name, code))
        throw py::value_error("unknown interpolation '" + name + "': expected nearest, bilinear, cubic or radial");
    return code;
}

int WarpMethodCode(const std::string& name)
{
    int code = 0;
    if (!Tool::ParseWarpMethod(name, code))
        throw py::value_error("unknown warp method '" + name +
                              "': expected linear, affine, pseudoaffine, second, third or projective");
    return code;
}

} // namespace Pelmora::Tivra::Python

PYBIND11_MODULE(_tivra, m)
{
    using namespace Pelmora::Tivra::Python;
    m.doc() = "Native part of tivra: raster resampling, warps, statistics, colour and geodesy over numpy arrays.";
    RegisterImages(m);
    RegisterWarps(m);
    RegisterGeo(m);
    RegisterGrids(m);
    RegisterRasters(m);
    // Python's own executable does not lie in an installation home, so the
    // package points the library at its resource files (the geomagnetic model).
    m.def("_set_resource_path", [](const std::string& path) { Pelmora::Tivra::Xfn::SetResourcePath(path.c_str()); });
    m.def("_resource_path", [] { return std::string(static_cast<const char*>(Pelmora::Tivra::Xfn::GetResourcePath())); });
}
