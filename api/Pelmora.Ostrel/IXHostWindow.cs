namespace Pelmora.Ostrel;

/// <summary>
/// A window of the host application that <see cref="Xfn.Close(bool)"/> closes when asked to. A host
/// registers each open window with <see cref="Xfn.AddHostWindow"/> and unregisters it with
/// <see cref="Xfn.RemoveHostWindow"/> when it closes; by default none is registered.
/// </summary>
public interface IXHostWindow
{
    /// <summary>Closes the window. It may unregister itself on the way; if it does not,
    /// <see cref="Xfn.Close(bool)"/> unregisters it afterwards.</summary>
    void Close();
}
