using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of the camera model fits (ostrel_camera_*).</summary>
    /// <remarks>Arrays are pinned by the caller for the duration of a call. The rotation and a
    /// single collinearity evaluation are a few dozen operations and run without a GC
    /// transition; the refinement and the DLT work over all points and keep the ordinary
    /// transition.</remarks>
    internal static unsafe partial class Camera
    {
        [LibraryImport(Library, EntryPoint = "ostrel_camera_build_rotation"), SuppressGCTransition]
        internal static partial void BuildRotation(double omega, double phi, double kappa, double* m);

        [LibraryImport(Library, EntryPoint = "ostrel_camera_eval_collinearity"), SuppressGCTransition]
        internal static partial double EvalCollinearity(int k, int n, double* X, double* Y, double* Z, double* y,
                                                        double* parameters, int nParams, double* dyda);

        [LibraryImport(Library, EntryPoint = "ostrel_camera_refine")]
        internal static partial int Refine(double* parameters, int nParams, byte* freeMask, int n, double* X,
                                           double* Y, double* Z, double* x, double* y, int* use, double tolerance,
                                           int maxIterations, double* chi2, int* iterations, double* lambda,
                                           double* covar);

        [LibraryImport(Library, EntryPoint = "ostrel_camera_estimate_dlt")]
        internal static partial int EstimateDlt(double* parameters, byte* mask, int n, double* X, double* Y,
                                                double* Z, double* x, double* y, byte* use);
    }
}
