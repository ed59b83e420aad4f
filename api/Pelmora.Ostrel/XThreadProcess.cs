namespace Pelmora.Ostrel;

/// <summary>Does the job of an <see cref="XThread"/> on its worker thread.</summary>
/// <param name="thd">The thread that runs the job; report progress with
/// <see cref="XThread.SendMessagePercent"/>.</param>
/// <returns>True when the job succeeded.</returns>
public delegate bool XThreadProcess(XThread thd);
