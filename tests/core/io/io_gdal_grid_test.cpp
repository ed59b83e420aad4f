// Tivra::io: grids to and from GDAL bands, against GDAL's own RasterIO as
// the independent reference, in memory datasets.
#include <tivra/io/XGdalGrid.h>

#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

using Dataset = std::unique_ptr<GDALDataset, void (*)(GDALDataset*)>;

Dataset Memory(int cols, int rows, GDALDataType type, int bands = 1)
{
    GDALAllRegister();
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    return Dataset(mem->Create("", cols, rows, bands, type, nullptr), [](GDALDataset* d) { GDALClose(d); });
}

/// v(c, r) = (c * 7 + r * 13) mod 97 - 40, a value every type holds (as
/// its own value, or wrapped for unsigned ones), written through GDAL.
double Pattern(int c, int r) { return std::fmod(c * 7 + r * 13, 97) - 40; }

} // namespace

TEST(IoGdalGrid, RoundTripsEveryTypeAndWindowThroughGdal)
{
    const GDALDataType types[] = {GDT_Byte,  GDT_UInt16, GDT_Int16,   GDT_UInt32,   GDT_Int32,   GDT_UInt64,
                                  GDT_Int64, GDT_Float32, GDT_Float64, GDT_CInt16, GDT_CFloat64};
    for (const GDALDataType t : types) {
        SCOPED_TRACE(GDALGetDataTypeName(t));
        const int cols = 37, rows = 23;
        Dataset ds = Memory(cols, rows, t);
        ASSERT_TRUE(ds);
        std::vector<double> ref(static_cast<size_t>(cols) * rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) ref[static_cast<size_t>(r) * cols + c] = Pattern(c, r) + 40;
        ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, cols, rows, ref.data(), cols, rows, GDT_Float64, 0, 0),
                  CE_None);

        // A window that touches the last row and column.
        const IO::XWindow w{5, 9, cols - 5, rows - 9};
        XGrid grid;
        std::string error;
        ASSERT_TRUE(IO::ReadGrid(ds->GetRasterBand(1), grid, error, &w)) << error;
        EXPECT_EQ(grid.GetDataType(), IO::DataTypeFromGdal(t));
        EXPECT_EQ(IO::GdalFromDataType(grid.GetDataType()), t);
        ASSERT_EQ(grid.GetRSize(), w.ySize);
        ASSERT_EQ(grid.GetCSize(), w.xSize);
        for (int r = 0; r < w.ySize; ++r)
            for (int c = 0; c < w.xSize; ++c)
                ASSERT_EQ(grid.GetAsREAL64(r, c), ref[static_cast<size_t>(r + w.yOff) * cols + c + w.xOff])
                    << "at " << r << ", " << c;

        // Written back at another place of a fresh band, the samples land
        // there unchanged.
        Dataset out = Memory(cols, rows, t);
        ASSERT_TRUE(IO::WriteGrid(grid, out->GetRasterBand(1), error, 0, 0)) << error;
        std::vector<double> back(static_cast<size_t>(w.xSize) * w.ySize);
        ASSERT_EQ(out->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, w.xSize, w.ySize, back.data(), w.xSize, w.ySize,
                                                  GDT_Float64, 0, 0),
                  CE_None);
        for (int r = 0; r < w.ySize; ++r)
            for (int c = 0; c < w.xSize; ++c)
                ASSERT_EQ(back[static_cast<size_t>(r) * w.xSize + c], ref[static_cast<size_t>(r + w.yOff) * cols + c + w.xOff]);
    }
}

TEST(IoGdalGrid, GeoReferenceOfAWindowAndRefusals)
{
    Dataset ds = Memory(100, 80, GDT_Int16);
    double t[6] = {1000.5, 30, 0, 5000.25, 0, -20};
    ds->SetGeoTransform(t);
    XGrid grid;
    std::string error;
    const IO::XWindow w{10, 4, 20, 30};
    ASSERT_TRUE(IO::ReadGrid(ds->GetRasterBand(1), grid, error, &w)) << error;
    EXPECT_DOUBLE_EQ(grid.GetGeoLeft(), 1000.5 + 10 * 30);
    EXPECT_DOUBLE_EQ(grid.GetGeoTop(), 5000.25 - 4 * 20);
    EXPECT_DOUBLE_EQ(grid.GetColSpacing(), 30);
    EXPECT_DOUBLE_EQ(grid.GetRowSpacing(), 20);

    // Windows reaching outside the band, or empty, are refused.
    for (const IO::XWindow bad : {IO::XWindow{-1, 0, 10, 10}, IO::XWindow{91, 0, 10, 10}, IO::XWindow{0, 71, 10, 10},
                                  IO::XWindow{0, 0, 0, 10}}) {
        error.clear();
        EXPECT_FALSE(IO::ReadGrid(ds->GetRasterBand(1), grid, error, &bad));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(IO::WriteGrid(grid, ds->GetRasterBand(1), error, 90, 0));
    EXPECT_FALSE(IO::ReadGrid(nullptr, grid, error));

    // A rotated geo-transform has no grid equivalent: the geo-reference is
    // left alone.
    double rotated[6] = {0, 30, 5, 0, 5, -30};
    ds->SetGeoTransform(rotated);
    XGrid plain;
    EXPECT_FALSE(IO::ApplyGeoTransform(ds.get(), plain));

    // Types without a GDAL counterpart, and the reverse.
    EXPECT_EQ(IO::GdalFromDataType(XDT_RGB), GDT_Unknown);
    EXPECT_EQ(IO::DataTypeFromGdal(GDT_Unknown), XDT_NONE);
}
