namespace Pelmora.Ostrel;

/// <summary>
/// Priority of a thread, from <see cref="Idle"/> to <see cref="RealTime"/>. A native thread maps the
/// levels -3..3 to the nice values 19, 10, 5, 0, -5, -10, -20. On Linux an unprivileged process
/// can lower a thread's priority but not raise it again: going above <see cref="Normal"/>, or back
/// up after lowering, needs a system privilege.
/// </summary>
public enum eThreadPriority : int
{
    /// <summary>Runs only when nothing else wants the processor (nice 19).</summary>
    Idle = -3,

    /// <summary>Lowest ordinary priority (nice 10).</summary>
    Low = -2,

    /// <summary>Just below normal (nice 5).</summary>
    BelowNormal = -1,

    /// <summary>The default priority (nice 0).</summary>
    Normal = 0,

    /// <summary>Just above normal (nice -5).</summary>
    AboveNormal = 1,

    /// <summary>Highest ordinary priority (nice -10).</summary>
    High = 2,

    /// <summary>Time-critical (nice -20).</summary>
    RealTime = 3,
}
