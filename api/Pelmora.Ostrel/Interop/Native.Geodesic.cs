using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the geodesics on the default earth (ostrel_geodesic_*).</summary>
    /// <remarks>Plain doubles and <see cref="XVertex3d.Unmanaged"/> values on the caller's stack;
    /// the single calls are short (the inverse problem's iterations are bounded), never block and never
    /// call back, so they run without a GC transition.</remarks>
    internal static unsafe partial class Geodesic
    {
        [LibraryImport(Library, EntryPoint = "ostrel_geodesic_inverse"), SuppressGCTransition]
        internal static partial int Inverse(double lon1, double lat1, double lon2, double lat2, double* dist,
                                            double* fwdAz, double* revAz);

        [LibraryImport(Library, EntryPoint = "ostrel_geodesic_inverse_robust"), SuppressGCTransition]
        internal static partial int InverseRobust(double lon1, double lat1, double lon2, double lat2, double* dist,
                                                  double* fwdAz, double* revAz);

        [LibraryImport(Library, EntryPoint = "ostrel_geodesic_direct"), SuppressGCTransition]
        internal static partial double Direct(double lon1, double lat1, double bearing, double dist, double* lon2,
                                              double* lat2);

        // The batches run long and wait for their workers: they keep the GC transition.
        [LibraryImport(Library, EntryPoint = "ostrel_geodesic_inverse_robust_batch")]
        internal static partial long InverseRobustBatch(double* lon1, double* lat1, double* lon2, double* lat2, long n,
                                                        double* dist, double* fwdAz, double* revAz, int workers);

        [LibraryImport(Library, EntryPoint = "ostrel_geodesic_direct_batch")]
        internal static partial long DirectBatch(double* lon1, double* lat1, double* bearing, double* dist, long n,
                                                 double* lon2, double* lat2, double* az2, int workers);

        [LibraryImport(Library, EntryPoint = "ostrel_geodesic_azimuth_elevation"), SuppressGCTransition]
        internal static partial void AzimuthElevation(XVertex3d.Unmanaged* pos, double yaw, double pitch, double roll,
                                                      XVertex3d.Unmanaged* target, double* azimuth, double* elev);
    }
}
