namespace Pelmora.Ostrel;

/// <summary>Handles the successful end of an <see cref="XThread"/>'s job.</summary>
/// <param name="thd">The thread whose job ended.</param>
public delegate void XThreadMessageSuccess(XThread thd);
