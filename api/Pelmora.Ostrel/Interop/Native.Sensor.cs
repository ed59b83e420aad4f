using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of platform attitude and sensor pointing (ostrel_sensor_*).</summary>
    /// <remarks>Plain doubles and <see cref="XVertex3d.Unmanaged"/> values on the caller's stack.
    /// The attitude functions are a few dozen operations and run without a GC transition; the
    /// target search meets some hundred lines of sight with the ellipsoid and keeps the ordinary
    /// transition.</remarks>
    internal static unsafe partial class Sensor
    {
        [LibraryImport(Library, EntryPoint = "ostrel_sensor_frame"), SuppressGCTransition]
        internal static partial int Frame(XVertex3d.Unmanaged* pos, XVertex3d.Unmanaged* vel, int frame,
                                          XVertex3d.Unmanaged* x, XVertex3d.Unmanaged* y, XVertex3d.Unmanaged* z);

        [LibraryImport(Library, EntryPoint = "ostrel_sensor_pointing_vector"), SuppressGCTransition]
        internal static partial void PointingVector(XVertex3d.Unmanaged* xsf, XVertex3d.Unmanaged* ysf,
                                                    XVertex3d.Unmanaged* zsf, double yaw, double pitch, double roll,
                                                    XVertex3d.Unmanaged* result);

        [LibraryImport(Library, EntryPoint = "ostrel_sensor_global_attitude"), SuppressGCTransition]
        internal static partial void GlobalAttitude(XVertex3d.Unmanaged* pos, double yawPlatform, double pitchPlatform,
                                                    double rollPlatform, double azimuth, double elev,
                                                    double topToHeading, double* yaw, double* pitch, double* roll,
                                                    XVertex3d.Unmanaged* result);

        [LibraryImport(Library, EntryPoint = "ostrel_sensor_global_attitude_uas"), SuppressGCTransition]
        internal static partial void GlobalAttitudeUAS(XVertex3d.Unmanaged* pos, double yawPlatform,
                                                       double pitchPlatform, double rollPlatform,
                                                       double azimuthRelative, double elevRelative,
                                                       double rollRelative, double* yaw, double* pitch, double* roll,
                                                       XVertex3d.Unmanaged* result);

        [LibraryImport(Library, EntryPoint = "ostrel_sensor_target_on_earth")]
        internal static partial int TargetOnEarth(XVertex3d.Unmanaged* pos, XVertex3d.Unmanaged* vel, double dist,
                                                  XVertex3d.Unmanaged* tar, double* incidence, int llhOut, int frame);
    }
}
