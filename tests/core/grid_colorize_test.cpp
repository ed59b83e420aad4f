// Pseudo-colouring a grid through a palette.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <tivra/grid/XColorize.h>

using namespace Pelmora::Tivra;

namespace {

/// Reads every value doubled through GetValue, so that Colorize must take the
/// grid's own accessor instead of its sample block.
class DoublingGrid : public XGrid {
public:
    using XGrid::XGrid;
    bool GetValue(int r, int c, double& a, double& b, double& cc, double& d) const override
    {
        const bool ok = XGrid::GetValue(r, c, a, b, cc, d);
        a *= 2;
        return ok;
    }
};

} // namespace

TEST(GridColorize, StretchRoundingNoDataAndAccessors)
{
    uint8_t lut[3][256];
    ASSERT_TRUE(Xfn::GetPalette(XCT_RAINBOW, lut[0], lut[1], lut[2]));
    const double values[] = {-5, 0, 0.5, 1.5, 10, 255, 300, std::numeric_limits<double>::quiet_NaN(), -1};
    const int entries[] = {0, 0, 1, 2, 10, 255, 255, -1, -1};  // -1 is no data (black)
    constexpr int n = sizeof values / sizeof values[0];

    XGrid plain(1, n, XDT_REAL64);
    DoublingGrid doubled(1, n, XDT_REAL64);
    for (int c = 0; c < n; ++c) {
        plain.SetFromREAL64(0, c, values[c]);
        doubled.XGrid::SetValue(0, c, values[c] / 2, NAN_REAL64, NAN_REAL64, NAN_REAL64);
    }
    plain.SetGeoOrigin(50, 7).SetGeoSpacing(-2, 3);
    for (const XGrid* src : {static_cast<const XGrid*>(&plain), static_cast<const XGrid*>(&doubled)}) {
        XGrid rgb;
        ASSERT_TRUE(Xfn::Colorize(*src, XCT_RAINBOW, 0, 255, -1, rgb));
        ASSERT_EQ(rgb.GetDataType(), XDT_RGB);
        for (int c = 0; c < n; ++c)
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_EQ(rgb.GetData()[3 * c + ch], entries[c] < 0 ? 0 : lut[ch][entries[c]]) << c << " " << ch;
        EXPECT_TRUE(src != &plain || rgb.GetGeoTop() == 50);
    }

    XGrid rgb, empty;
    EXPECT_FALSE(Xfn::Colorize(empty, XCT_RAINBOW, 0, 1, NAN_REAL64, rgb));
    EXPECT_FALSE(Xfn::Colorize(plain, static_cast<_XCOLORTABLE>(0), 0, 1, NAN_REAL64, rgb));
    EXPECT_FALSE(Xfn::Colorize(plain, XCT_RAINBOW, 0, 1, NAN_REAL64, plain));
    EXPECT_EQ(rgb.GetRSize(), 0);
}
