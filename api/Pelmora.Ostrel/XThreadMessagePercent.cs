namespace Pelmora.Ostrel;

/// <summary>Handles a progress report of an <see cref="XThread"/>.</summary>
/// <param name="thd">The thread that reports.</param>
/// <param name="Percent">The progress in percent, passed on as reported (not clamped).</param>
public delegate void XThreadMessagePercent(XThread thd, int Percent);
