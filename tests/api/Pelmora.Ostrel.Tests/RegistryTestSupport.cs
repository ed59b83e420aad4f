using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>
/// The native test objects of libtivra_test_doubles.so: SC objects (class name "XScene" or
/// "XSceneLayer") and XObjects, each created with one reference (the creator's) and a tag that
/// the event log records at its destruction. Shut-down hooks record their number negated.
/// </summary>
internal static unsafe partial class Doubles
{
    private const string Library = "tivra_test_doubles";

    [StructLayout(LayoutKind.Sequential)]
    internal struct Counters
    {
        public long SCCreated;
        public long SCDestroyed;
        public long SCRefsAdded;
        public long SCRefsReleased;
        public long ObjectsCreated;
        public long ObjectsDestroyed;
        public long DestroyedWhileReferenced;
        public long UsedAfterDestruction;
    }

    [LibraryImport(Library, EntryPoint = "DoublesReset")]
    internal static partial void Reset();

    [LibraryImport(Library, EntryPoint = "DoublesGetCounters")]
    private static partial void GetCounters(Counters* counters);

    [LibraryImport(Library, EntryPoint = "DoublesEvents")]
    private static partial int GetEvents(int* buffer, int size);

    [LibraryImport(Library, EntryPoint = "DoublesNewSC")]
    private static partial IntPtr NewSC(int scene, int tag);

    [LibraryImport(Library, EntryPoint = "DoublesSCAddRef")]
    internal static partial void SCAddRef(IntPtr obj);

    [LibraryImport(Library, EntryPoint = "DoublesSCRelease")]
    internal static partial void SCRelease(IntPtr obj);

    [LibraryImport(Library, EntryPoint = "DoublesSCReferCount")]
    internal static partial int SCReferCount(IntPtr obj);

    [LibraryImport(Library, EntryPoint = "DoublesNewObject")]
    internal static partial IntPtr NewObject(int tag);

    [LibraryImport(Library, EntryPoint = "DoublesObjectRef")]
    internal static partial void ObjectRef(IntPtr obj);

    [LibraryImport(Library, EntryPoint = "DoublesObjectUnref")]
    internal static partial void ObjectUnref(IntPtr obj);

    [LibraryImport(Library, EntryPoint = "DoublesObjectReferCount")]
    internal static partial int ObjectReferCount(IntPtr obj);

    [LibraryImport(Library, EntryPoint = "DoublesInstallHook")]
    internal static partial int InstallHook(int hook, int throws);

    [LibraryImport(Library, EntryPoint = "DoublesClearHooks")]
    internal static partial void ClearHooks();

    [LibraryImport(Library, EntryPoint = "DoublesConfigPath")]
    private static partial IntPtr ConfigPathText();

    internal static IntPtr NewScene(int tag) => NewSC(1, tag);

    internal static IntPtr NewSCObject(int tag) => NewSC(0, tag);

    internal static Counters Count()
    {
        Counters c;
        GetCounters(&c);
        return c;
    }

    /// <summary>Destruction tags and hook numbers (negated) in the order they happened.</summary>
    internal static int[] Events()
    {
        int[] events = new int[GetEvents(null, 0)];
        fixed (int* p = events)
            GetEvents(p, events.Length);
        return events;
    }

    /// <summary>The shared record's configuration path as a second module reads it; null without
    /// a record.</summary>
    internal static string? ConfigPath() => Marshal.PtrToStringUTF8(ConfigPathText());
}

/// <summary>
/// Tests of the registries, their threads and <see cref="Xfn.Close()"/>. They share process-wide
/// state, and Close tears down the shared record, so they run alone, one at a time.
/// </summary>
[CollectionDefinition(nameof(RegistryCollection), DisableParallelization = true)]
public class RegistryCollection
{
}

/// <summary>
/// Each test starts from empty registries, fresh switches and stop flags and zeroed doubles, and
/// ends the same way, so that no cleaning thread (a foreground thread) outlives it.
/// </summary>
[Collection(nameof(RegistryCollection))]
public abstract class RegistryTestBase : IDisposable
{
    private static readonly Func<ulong> RealPrivateMemory = Xfn.m_GCPrivateMemory;
    private readonly TextWriter m_console = Console.Out;

    protected RegistryTestBase() => Reset();

    public void Dispose()
    {
        Console.SetOut(m_console);
        Reset();
        GC.SuppressFinalize(this);
    }

    private static void Reset()
    {
        // A thread still running stops at its next poll, which must come at once.
        Xfn.m_GCSleep = _ => Thread.Yield();
        Doubles.ClearHooks();
        Xfn.Close();
        Xfn.m_bStopGCMapSCThread = Xfn.m_bStopGCMapVCThread = Xfn.m_bStopGCMapFTThread = false;
        Xfn.EnableAutoGCMapSC = Xfn.EnableAutoGCMapVC = Xfn.EnableAutoGCMapFT = true;
        Xfn.m_GCSleep = Thread.Sleep;
        Xfn.m_GCPrivateMemory = RealPrivateMemory;
        Doubles.Reset();
    }

    /// <summary>Switches automatic cleaning off in every family, so that no thread starts and
    /// only explicit clean calls release objects.</summary>
    protected static void WithoutCleaningThreads() =>
        Xfn.EnableAutoGCMapSC = Xfn.EnableAutoGCMapVC = Xfn.EnableAutoGCMapFT = false;

    /// <summary>Sends the standard output to a recorder.</summary>
    protected static LineRecorder RecordConsole(Func<long>? clock = null)
    {
        var recorder = new LineRecorder(clock ?? (() => 0));
        Console.SetOut(recorder);
        return recorder;
    }
}

/// <summary>Records each line written, with the time a clock gives at that moment and the name
/// of the writing thread.</summary>
public sealed class LineRecorder(Func<long> clock) : TextWriter
{
    private readonly List<(string Line, long Time, string? Thread)> m_lines = new();

    public override Encoding Encoding => Encoding.UTF8;

    public override void WriteLine(string? value)
    {
        lock (m_lines)
            m_lines.Add((value ?? "", clock(), Thread.CurrentThread.Name));
    }

    public override void Write(char value) => throw new InvalidOperationException("Only whole lines are expected.");

    public List<(string Line, long Time, string? Thread)> Lines
    {
        get
        {
            lock (m_lines)
                return new(m_lines);
        }
    }

    public int LineCount
    {
        get
        {
            lock (m_lines)
                return m_lines.Count;
        }
    }
}

/// <summary>Bad-input checks in one line per exception type.</summary>
internal static class Check
{
    /// <summary>Each call must throw exactly <typeparamref name="T"/>; a failure names the call by
    /// its place in the list.</summary>
    internal static void Throws<T>(params Action[] calls) where T : Exception
    {
        for (int i = 0; i < calls.Length; ++i)
        {
            Exception? e = Record.Exception(calls[i]);
            Assert.True(e?.GetType() == typeof(T), $"call {i}: {e?.GetType().Name ?? "no exception"} instead of {typeof(T).Name}");
        }
    }
}
