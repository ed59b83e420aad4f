using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;

namespace Pelmora.Ostrel;

public static partial class Xfn
{
    /// <summary>The host application's open windows, first to last, as the host registered
    /// them; locked on itself.</summary>
    private static readonly List<IXHostWindow> s_hostWindows = new();

    /// <summary>Registers an open window of the host application, to be closed by
    /// <see cref="Close(bool)"/> with true. Windows are closed in the order they were
    /// registered.</summary>
    /// <param name="window">The window.</param>
    /// <exception cref="ArgumentNullException"><paramref name="window"/> is null.</exception>
    public static void AddHostWindow(IXHostWindow window)
    {
        ArgumentNullException.ThrowIfNull(window);
        lock (s_hostWindows)
            s_hostWindows.Add(window);
    }

    /// <summary>Unregisters the first registration of a window; does nothing when it is not
    /// registered.</summary>
    /// <param name="window">The window.</param>
    public static void RemoveHostWindow(IXHostWindow? window)
    {
        if (window is null) return;
        lock (s_hostWindows)
            s_hostWindows.Remove(window);
    }

    /// <summary>The orderly end of the library: <see cref="Close(bool)"/> with false.</summary>
    public static void Close() => Close(false);

    /// <summary>
    /// The orderly end of the library, for the host's user-interface thread once the program's
    /// other threads have stopped using the library:
    /// <list type="number">
    /// <item>if <paramref name="closeAllWindows"/>, closes the host's registered windows, first to
    /// last, until none is left;</item>
    /// <item>disposes the objects registered with <see cref="AddToGCArray"/>, last to first, and
    /// empties that list;</item>
    /// <item>empties the native-object registries in the order FT, SC, VC, Generic, releasing
    /// every object still registered and stopping the cleaning threads for good;</item>
    /// <item>tears down the native environment (the shared record and the libraries it
    /// loaded).</item>
    /// </list>
    /// After it the library is not meant to be used again.
    /// </summary>
    /// <param name="closeAllWindows">Whether to close the host's registered windows first.</param>
    /// <remarks>
    /// A native failure in any step (a C++ exception caught at the native boundary, raised here as
    /// <see cref="SEHException"/>) ends <c>Close</c> silently and skips the remaining steps.
    /// Exceptions of the host's own code (a window's <see cref="IXHostWindow.Close"/>, a registered
    /// object's <see cref="IDisposable.Dispose"/>) are not caught.
    /// </remarks>
    public static void Close(bool closeAllWindows)
    {
        try
        {
            if (closeAllWindows) CloseHostWindows();
            DisposeGCArray();
            EmptyGCMapFT();
            EmptyGCMapSC();
            EmptyGCMapVC();
            EmptyGCMapGeneric();
            CheckNative(Native.Env.Uninitialize());
        }
        catch (SEHException)
        {
            // A native failure ends the shut-down silently; the steps after it are skipped.
        }
    }

    /// <summary>Closes the first registered window until none is left. A window that does not
    /// unregister itself while closing is unregistered here, so the loop always ends.</summary>
    private static void CloseHostWindows()
    {
        while (true)
        {
            IXHostWindow first;
            lock (s_hostWindows)
            {
                if (s_hostWindows.Count == 0) return;
                first = s_hostWindows[0];
            }
            first.Close();
            lock (s_hostWindows)
            {
                if (s_hostWindows.Count > 0 && ReferenceEquals(s_hostWindows[0], first)) s_hostWindows.RemoveAt(0);
            }
        }
    }

    /// <summary>
    /// Disposes the registered host objects from the last to the first and empties the list. A
    /// disposal that removed its own entry has already shortened the list; otherwise the entry is
    /// removed here. Null entries and objects that are not disposable are only removed.
    /// </summary>
    private static void DisposeGCArray()
    {
        List<object?>? list = m_GCArray;
        if (list is null) return;
        while (true)
        {
            int index;
            object? obj;
            lock (list)
            {
                index = list.Count - 1;
                if (index < 0) break;
                obj = list[index];
            }
            // The lock is not held while the object is disposed: its disposal may unregister it,
            // or wait for a thread that registers something.
            (obj as IDisposable)?.Dispose();
            lock (list)
            {
                if (list.Count == index + 1) list.RemoveAt(index);
            }
        }
        lock (list)
            list.Clear();
    }
}
