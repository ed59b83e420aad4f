#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra::Xfn {

int GetDataSize(int type) { return GetDataTypeRow(type).size; }

int GetChannelCount(int type) { return GetDataTypeRow(type).channels; }

void GetDataRange(int type, double& dMin, double& dMax)
{
    const tagXDataType& row = GetDataTypeRow(type);
    dMin = row.rangeMin;
    dMax = row.rangeMax;
}

const char* GetDataTypeString(int type) { return GetDataTypeRow(type).name; }

} // namespace Pelmora::Tivra::Xfn
