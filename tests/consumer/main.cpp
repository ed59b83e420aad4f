// Uses the installed headers and library the way an outside program would.
#include <tivra/tivra.h>

#include <cstdio>

int main()
{
    using namespace Pelmora::Tivra;
    XGrid grid(4, 6, XDT_UINT16);
    grid.Fill(70000, NAN_REAL64, NAN_REAL64, NAN_REAL64);  // clamps to 65535
    grid.SetGeoOrigin(100.0, 50.0).SetGeoSpacing(2.0, 3.0);
    XGrid half;
    if (!grid.GetHalfSize(&half) || half.GetRSize() != 2 || half.GetCSize() != 3) return 1;
    if (half.GetAsREAL64(1, 2) != 65535.0) return 2;
    if (grid.XFromCol(2) != 56.0) return 3;
    std::printf("consumer: %s grid %dx%d, half %dx%d\n", Xfn::GetDataTypeString(grid.GetDataType()),
                grid.GetRSize(), grid.GetCSize(), half.GetRSize(), half.GetCSize());
    return 0;
}
