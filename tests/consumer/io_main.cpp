// Uses the installed GDAL module: a grid written into an in-memory GDAL band
// reads back the same.
#include <tivra/io/XGdalGrid.h>

#include <gdal_priv.h>

#include <cstdio>

int main()
{
    using namespace Pelmora::Tivra;
    GDALAllRegister();
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("MEM")->Create("", 6, 4, 1, GDT_Int16, nullptr);
    if (!ds) return 1;
    XGrid grid(4, 6, XDT_SINT16);
    grid.Fill(-1234, NAN_REAL64, NAN_REAL64, NAN_REAL64);
    std::string error;
    XGrid back;
    const bool ok = IO::WriteGrid(grid, ds->GetRasterBand(1), error) && IO::ReadGrid(ds->GetRasterBand(1), back, error);
    GDALClose(ds);
    if (!ok || back.GetAsREAL64(3, 5) != -1234.0) return 2;
    std::printf("consumer_io: %dx%d through GDAL\n", back.GetRSize(), back.GetCSize());
    return 0;
}
