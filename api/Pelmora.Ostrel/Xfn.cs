using System;
using System.Diagnostics;

namespace Pelmora.Ostrel;

/// <summary>
/// Library-wide functions and state of the public layer. The class is split over several files,
/// one per area; this file holds its static construction, the switches of the automatic
/// cleaning of released native objects, the design-time flag and the sample-type names.
/// </summary>
public static partial class Xfn
{
    // Automatic-cleaning switch of each registry family (SC, VC, FT). The misspelt names are the
    // established names of these fields and are kept.
    internal static volatile bool m_bEnalbeAutoGCMapSC;
    internal static volatile bool m_bEnalbeAutoGCMapVC;
    internal static volatile bool m_bEnalbeAutoGCMapFT;

    // Stop request of each family's cleaning thread.
    internal static volatile bool m_bStopGCMapSCThread;
    internal static volatile bool m_bStopGCMapVCThread;
    internal static volatile bool m_bStopGCMapFTThread;

    // Base cleaning interval of the registries, in seconds.
    internal static int m_nDefaultAutoCleanGCMapTime;

    /// <summary>
    /// Sets the static state before any other use of the class: every registry and cleaning
    /// thread null (as declared), every automatic-cleaning switch on, every stop flag off, and a
    /// base cleaning interval of 30 seconds. Nothing native is touched and no thread is started
    /// here: the cleaning threads start with the first registration of their family.
    /// </summary>
    static Xfn()
    {
        m_bEnalbeAutoGCMapSC = true;
        m_bEnalbeAutoGCMapVC = true;
        m_bEnalbeAutoGCMapFT = true;

        m_bStopGCMapSCThread = false;
        m_bStopGCMapVCThread = false;
        m_bStopGCMapFTThread = false;

        m_nDefaultAutoCleanGCMapTime = 30;
    }

    /// <summary>
    /// Whether released objects of the SC family are cleaned automatically in the background.
    /// Initially true. When it is on at the family's first registration, that registration starts
    /// the family's cleaning thread. Turning it off ends that thread within a second, for good:
    /// turning it on again does not restart it.
    /// </summary>
    public static bool EnableAutoGCMapSC
    {
        get => m_bEnalbeAutoGCMapSC;
        set => m_bEnalbeAutoGCMapSC = value;
    }

    /// <summary>
    /// Whether released objects of the VC family are cleaned automatically in the background.
    /// Initially true. When it is on at the family's first registration, that registration starts
    /// the family's cleaning thread. Turning it off ends that thread within a second, for good:
    /// turning it on again does not restart it.
    /// </summary>
    public static bool EnableAutoGCMapVC
    {
        get => m_bEnalbeAutoGCMapVC;
        set => m_bEnalbeAutoGCMapVC = value;
    }

    /// <summary>
    /// Whether released objects of the FT family are cleaned automatically in the background.
    /// Initially true. When it is on at the family's first registration, that registration starts
    /// the family's cleaning thread. Turning it off ends that thread within a second, for good:
    /// turning it on again does not restart it.
    /// </summary>
    public static bool EnableAutoGCMapFT
    {
        get => m_bEnalbeAutoGCMapFT;
        set => m_bEnalbeAutoGCMapFT = value;
    }

    /// <summary>
    /// True when the library runs inside a design-time host, that is when the current process is
    /// named "devenv" (exact, case-sensitive comparison).
    /// </summary>
    /// <remarks>
    /// Linux hosts have no design-time report of their own, so the process name is the only
    /// test; in any other process the property is false.
    /// </remarks>
    public static bool DesignMode
    {
        get
        {
            using Process current = Process.GetCurrentProcess();
            return string.Equals(current.ProcessName, "devenv", StringComparison.Ordinal);
        }
    }

    /// <summary>
    /// The descriptive name of a sample type, for example "Unsigned 8-bit integer" for
    /// <see cref="eDataType.UINT08"/>.
    /// </summary>
    /// <param name="type">A sample type; any value is accepted.</param>
    /// <returns>
    /// The name; "" for the 64-bit integer types, which have no name, and for every value that
    /// is not a sample type.
    /// </returns>
    public static string GetDataTypeString(eDataType type)
    {
        IntPtr text = Native.Core.DataTypeString((int)type);
        return AnsiString.FromAnsi(text) ?? string.Empty;
    }

    /// <summary>
    /// Number of native objects created through the C surface and not yet deleted; lets tests
    /// see that disposal and finalisation free what the public objects own.
    /// </summary>
    internal static long LiveNativeObjects => Native.Core.LiveObjects();
}
