namespace Pelmora.Ostrel;

/// <summary>
/// The built-in colour palettes, by index. Each value names the palette that
/// <see cref="XColorTable.LoadColorTable"/> loads; <see cref="Default"/> names none and leaves a
/// table unchanged. The native names of the palettes (<see cref="Xfn.GetPaletteName"/>) are spelled
/// differently: with spaces and dashes, and "Grey" where these names say Gray.
/// </summary>
public enum eColorTable : int
{
    /// <summary>Palette 1, "Grey".</summary>
    Gray = 1,

    /// <summary>Palette 2, "RainBow".</summary>
    Rainbow = 2,

    /// <summary>Palette 3, "RainBow_Reversed".</summary>
    RainbowReversed = 3,

    /// <summary>Palette 4, "RainBow1".</summary>
    Rainbow1 = 4,

    /// <summary>Palette 5, "RainBow2".</summary>
    Rainbow2 = 5,

    /// <summary>Palette 6, "Black + Rainbow".</summary>
    BlackRainbow = 6,

    /// <summary>Palette 7, "Rainbow + Black".</summary>
    RainbowBlack = 7,

    /// <summary>Palette 8, "White + Rainbow".</summary>
    WhiteRainbow = 8,

    /// <summary>Palette 9, "Rainbow + White".</summary>
    RainbowWhite = 9,

    /// <summary>Palette 10, "Black - Red".</summary>
    BlackRed = 10,

    /// <summary>Palette 11, "Black - Green".</summary>
    BlackGreen = 11,

    /// <summary>Palette 12, "Black - Blue".</summary>
    BlackBlue = 12,

    /// <summary>Palette 13, "Red - White".</summary>
    RedWhite = 13,

    /// <summary>Palette 14, "Green - White".</summary>
    GreenWhite = 14,

    /// <summary>Palette 15, "Blue - White".</summary>
    BlueWhite = 15,

    /// <summary>Palette 16, "Dark - Blue - White".</summary>
    DarkBlueWhite = 16,

    /// <summary>Palette 17, "Dark - Red - White".</summary>
    DarkRedWhite = 17,

    /// <summary>Palette 18, "Green - Red - Blue - White".</summary>
    GreenRedBlueWhite = 18,

    /// <summary>Palette 19, "Blue - Green - Red - Yellow".</summary>
    BlueGreenRedYellow = 19,

    /// <summary>Palette 20, "Standard GAMMA-II".</summary>
    StandardGammaII = 20,

    /// <summary>Palette 21, "Prism".</summary>
    Prism = 21,

    /// <summary>Palette 22, "Dark - Purple - White".</summary>
    DarkPurpleWhite = 22,

    /// <summary>Palette 23, "Dark - Green - White".</summary>
    DarkGreenWhite = 23,

    /// <summary>Palette 24, "Green - Pink".</summary>
    GreenPink = 24,

    /// <summary>Palette 25, "Blue - Red".</summary>
    BlueRed = 25,

    /// <summary>Palette 26, "16 LEVEL".</summary>
    Level16 = 26,

    /// <summary>Palette 27, "Steps".</summary>
    Steps = 27,

    /// <summary>Palette 28, "Haze".</summary>
    Haze = 28,

    /// <summary>Palette 29, "Blue - Pastel - Red".</summary>
    BluePastelRed = 29,

    /// <summary>Palette 30, "Pastels".</summary>
    Pastels = 30,

    /// <summary>Palette 31, "Hue Sat Lightness 1". The spelling of this name is established and kept.</summary>
    HueSatLightenss1 = 31,

    /// <summary>Palette 32, "Hue Sat Lightness 2".</summary>
    HueSatLightness2 = 32,

    /// <summary>Palette 33, "Hue Sat Value 1".</summary>
    HueSatValue1 = 33,

    /// <summary>Palette 34, "Hue Sat Value 2".</summary>
    HueSatValue2 = 34,

    /// <summary>Palette 35, "Stripy Purple - Red".</summary>
    StripyPurpleRed = 35,

    /// <summary>Palette 36, "Beach".</summary>
    Beach = 36,

    /// <summary>Palette 37, "Mac Style".</summary>
    MacStyle = 37,

    /// <summary>Palette 38, "Eos A".</summary>
    EosA = 38,

    /// <summary>Palette 39, "Eos B".</summary>
    EosB = 39,

    /// <summary>Palette 40, "Dark - Rainbow".</summary>
    DarkRainbow = 40,

    /// <summary>Palette 41, "Hard Candy".</summary>
    HardCandy = 41,

    /// <summary>Palette 42, "Nature".</summary>
    Nature = 42,

    /// <summary>Palette 43, "Ocean".</summary>
    Ocean = 43,

    /// <summary>Palette 44, "Peppermint".</summary>
    Peppermint = 44,

    /// <summary>Palette 45, "Plasma".</summary>
    Plasma = 45,

    /// <summary>Palette 46, "Volcano".</summary>
    Volcano = 46,

    /// <summary>Palette 47, "Waves".</summary>
    Waves = 47,

    /// <summary>Palette 48, "Blue Waves".</summary>
    BlueWaves = 48,

    /// <summary>Palette 49, "Amp phase".</summary>
    AmpPhase = 49,

    /// <summary>Palette 50, "Azimuth".</summary>
    Azimuth = 50,

    /// <summary>Palette 51, "Brown - Green".</summary>
    BrownGreen = 51,

    /// <summary>Palette 52, "Contour".</summary>
    Contour = 52,

    /// <summary>Palette 53, "Elevation".</summary>
    Elevation = 53,

    /// <summary>Palette 54, "Hue".</summary>
    Hue = 54,

    /// <summary>Palette 55, "Lutramp".</summary>
    Lutramp = 55,

    /// <summary>Palette 56, "New Grey".</summary>
    NewGray = 56,

    /// <summary>Palette 57, "PseudoColor".</summary>
    PseudoColor = 57,

    /// <summary>Palette 58, "Red - Blue".</summary>
    RedBlue = 58,

    /// <summary>Palette 59, "Red - Yellow - SAR".</summary>
    RedYellowSar = 59,

    /// <summary>Palette 60, "RGB".</summary>
    Rgb = 60,

    /// <summary>Palette 61, "RGB_Reduce".</summary>
    RgbReduce = 61,

    /// <summary>Palette 62, "Rt - Shade".</summary>
    RtShade = 62,

    /// <summary>Palette 63, "SAW".</summary>
    Saw = 63,

    /// <summary>Palette 64, "Spectrum".</summary>
    Spectrum = 64,

    /// <summary>Palette 65, "Step".</summary>
    Step = 65,

    /// <summary>Palette 66, "Unique".</summary>
    Unique = 66,

    /// <summary>Palette 67, "Waterlevel".</summary>
    WaterLevel = 67,

    /// <summary>Palette 68, "Yellow - Blue".</summary>
    YellowBlue = 68,

    /// <summary>No palette: loading it leaves a colour table unchanged.</summary>
    Default = 69,
}
