namespace Pelmora.Ostrel;

/// <summary>Handles the failed end of an <see cref="XThread"/>'s job.</summary>
/// <param name="thd">The thread whose job failed.</param>
public delegate void XThreadMessageFail(XThread thd);
