using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

internal static partial class Native
{
    /// <summary>Bindings of angles, geographic points, the default earth and the hit-test record
    /// (ostrel_geo_*, ostrel_hitflag_*).</summary>
    /// <remarks>
    /// Values travel as blittable structures on the caller's stack (<see cref="XVertex3d.Unmanaged"/>,
    /// <see cref="XGeoPoint.Unmanaged"/>), so a conversion allocates nothing. The conversions are
    /// short, never block and never call back, so they run without a GC transition.
    /// </remarks>
    internal static unsafe partial class Geo
    {
        /// <summary>The native hit-test record: flag, then index.</summary>
        [StructLayout(LayoutKind.Sequential)]
        internal struct HitFlagRecord
        {
            internal int flag;
            internal int index;
        }

        [LibraryImport(Library, EntryPoint = "ostrel_geo_dms_to_deg"), SuppressGCTransition]
        internal static partial double DmsToDeg(int d, int m, double s);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_deg_to_dms"), SuppressGCTransition]
        internal static partial void DegToDms(double deg, int* d, int* m, double* s);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_deg_to_packed_dms"), SuppressGCTransition]
        internal static partial double DegToPackedDms(double deg);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_packed_dms_to_deg"), SuppressGCTransition]
        internal static partial double PackedDmsToDeg(double v);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_point_from_radian"), SuppressGCTransition]
        internal static partial void PointFromRadian(double lon, double lat, double hgt, XGeoPoint.Unmanaged* pt);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_point_from_ecr"), SuppressGCTransition]
        internal static partial void PointFromEcr(XVertex3d.Unmanaged* ecr, XGeoPoint.Unmanaged* pt);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_point_from_eec"), SuppressGCTransition]
        internal static partial void PointFromEec(XVertex3d.Unmanaged* eec, XGeoPoint.Unmanaged* pt);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_geo_to_ecr"), SuppressGCTransition]
        internal static partial void GeoToEcr(double lon, double lat, double hgt, XVertex3d.Unmanaged* ecr);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_ecr_to_geo"), SuppressGCTransition]
        internal static partial void EcrToGeo(XVertex3d.Unmanaged* ecr, XVertex3d.Unmanaged* llh);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_frame_ned"), SuppressGCTransition]
        internal static partial void FrameNED(XVertex3d.Unmanaged* pos, XVertex3d.Unmanaged* n,
                                              XVertex3d.Unmanaged* e, XVertex3d.Unmanaged* d);

        [LibraryImport(Library, EntryPoint = "ostrel_geo_frame_enu"), SuppressGCTransition]
        internal static partial void FrameENU(XVertex3d.Unmanaged* pos, XVertex3d.Unmanaged* e,
                                              XVertex3d.Unmanaged* n, XVertex3d.Unmanaged* u);

        [LibraryImport(Library, EntryPoint = "ostrel_hitflag_new")]
        internal static partial HitFlagRecord* HitFlagNew();

        [LibraryImport(Library, EntryPoint = "ostrel_hitflag_new_copy")]
        internal static partial HitFlagRecord* HitFlagNewCopy(HitFlagRecord* src);

        [LibraryImport(Library, EntryPoint = "ostrel_hitflag_delete")]
        internal static partial void HitFlagDelete(HitFlagRecord* rec);
    }
}
