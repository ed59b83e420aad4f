using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the geomagnetic field model (ostrel_magnetic_*).</summary>
    /// <remarks>Plain doubles on the caller's stack. A call may read the coefficient file (the
    /// first time, and after the file changes), so it keeps the normal GC transition.</remarks>
    internal static unsafe partial class Magnetic
    {
        [LibraryImport(Library, EntryPoint = "ostrel_magnetic_declination")]
        internal static partial int Declination(double lat, double lon, double alt, int year, int month, int day,
                                                double* decl, double* ddot);

        [LibraryImport(Library, EntryPoint = "ostrel_magnetic_declination_decimal")]
        internal static partial int DeclinationDecimal(double lat, double lon, double alt, double year, double* decl,
                                                       double* ddot);
    }
}
