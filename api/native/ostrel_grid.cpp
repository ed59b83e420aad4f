// The raster grid through the C surface. The accessors that take a position
// check it here, so a .NET caller can never make the native hot paths read or
// write outside the block; every other argument is passed through unchanged.
#include "ostrel_grid.h"
#include "ostrel_internal.h"

#include <tivra/grid/XGrid.h>

using Pelmora::Tivra::XGrid;
using namespace Pelmora::Ostrel::Native;

namespace {

XGrid* G(ostrel_grid* p) { return reinterpret_cast<XGrid*>(p); }
const XGrid* G(const ostrel_grid* p) { return reinterpret_cast<const XGrid*>(p); }
ostrel_grid* H(XGrid* p) { return reinterpret_cast<ostrel_grid*>(p); }

bool Inside(const XGrid* g, int32_t row, int32_t col)
{
    return g->IsValid() && row >= 0 && row < g->GetRSize() && col >= 0 && col < g->GetCSize();
}

} // namespace

extern "C" {

ostrel_grid* ostrel_grid_new(void) { return H(NewCounted<XGrid>()); }

ostrel_grid* ostrel_grid_new_sized(int32_t rows, int32_t cols, int32_t type)
{
    return H(NewCounted<XGrid>(rows, cols, type));
}

ostrel_grid* ostrel_grid_new_assigned(const ostrel_grid* src)
{
    XGrid* g = NewCounted<XGrid>();
    if (g && src) *g = *G(src);
    return H(g);
}

ostrel_grid* ostrel_grid_new_copy(const ostrel_grid* src)
{
    return src ? H(NewCounted<XGrid>(*G(src))) : H(NewCounted<XGrid>());
}

void ostrel_grid_delete(ostrel_grid* grid) { DeleteCounted(G(grid)); }

void ostrel_grid_free(ostrel_grid* grid) { G(grid)->Free(); }

int32_t ostrel_grid_alloc(ostrel_grid* grid, int32_t rows, int32_t cols, int32_t type)
{
    return G(grid)->Alloc(rows, cols, type);
}

int32_t ostrel_grid_alloc_exact(ostrel_grid* grid, int32_t rows, int32_t cols, int32_t type)
{
    return G(grid)->AllocExact(rows, cols, type);
}

int32_t ostrel_grid_reform(ostrel_grid* grid, int32_t rows, int32_t cols) { return G(grid)->Reform(rows, cols); }

int32_t ostrel_grid_is_valid(const ostrel_grid* grid) { return G(grid)->IsValid(); }
int32_t ostrel_grid_rsize(const ostrel_grid* grid) { return G(grid)->GetRSize(); }
int32_t ostrel_grid_csize(const ostrel_grid* grid) { return G(grid)->GetCSize(); }
int32_t ostrel_grid_datatype(const ostrel_grid* grid) { return G(grid)->GetDataType(); }
int32_t ostrel_grid_datasize(const ostrel_grid* grid) { return G(grid)->GetDataSize(); }
int32_t ostrel_grid_alloc_size(const ostrel_grid* grid) { return G(grid)->GetAllocSize(); }
void* ostrel_grid_data(const ostrel_grid* grid) { return G(grid)->GetData(); }

int32_t ostrel_grid_get_value(const ostrel_grid* grid, int32_t row, int32_t col, double* abcd)
{
    const XGrid* g = G(grid);
    if (!Inside(g, row, col)) return OSTREL_OUT_OF_RANGE;
    double a, b, c, d;
    if (!g->GetValue(row, col, a, b, c, d)) return 0;
    abcd[0] = a;
    abcd[1] = b;
    abcd[2] = c;
    abcd[3] = d;
    return 1;
}

int32_t ostrel_grid_set_value(ostrel_grid* grid, int32_t row, int32_t col, double a, double b, double c, double d)
{
    XGrid* g = G(grid);
    if (!Inside(g, row, col)) return OSTREL_OUT_OF_RANGE;
    g->SetValue(row, col, a, b, c, d);
    return 0;
}

void ostrel_grid_zerorize(ostrel_grid* grid) { G(grid)->Zerorize(); }

void ostrel_grid_fill(ostrel_grid* grid, double a, double b, double c, double d) { G(grid)->Fill(a, b, c, d); }

int32_t ostrel_grid_get_subset(const ostrel_grid* grid, ostrel_grid* dst, int32_t r1, int32_t r2, int32_t c1,
                               int32_t c2)
{
    return G(grid)->GetSubset(G(dst), r1, r2, c1, c2);
}

int32_t ostrel_grid_set_subset_memory(ostrel_grid* grid, const void* src, int32_t type, int32_t r1, int32_t r2,
                                      int32_t c1, int32_t c2, double no_data)
{
    return G(grid)->SetSubset(src, type, r1, r2, c1, c2, no_data);
}

int32_t ostrel_grid_flip_vert(const ostrel_grid* grid, ostrel_grid* dst) { return G(grid)->FlipVert(G(dst)); }
int32_t ostrel_grid_flip_horz(const ostrel_grid* grid, ostrel_grid* dst) { return G(grid)->FlipHorz(G(dst)); }

} // extern "C"
