using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Threading;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public partial class XfnCloseTests : RegistryTestBase
{
    private sealed class Window(List<string> log, string name, bool unregisters) : IXHostWindow
    {
        public void Close()
        {
            log.Add(name);
            if (unregisters) Xfn.RemoveHostWindow(this);
        }
    }

    /// <summary>Logs its disposal with the number of native events seen so far.</summary>
    private sealed class HostObject(List<string> log, string name, bool unregisters = false, bool throws = false) : IDisposable
    {
        public void Dispose()
        {
            log.Add($"{name}@{Doubles.Events().Length}");
            if (unregisters) Xfn.RemoveFromGCArray(this);
            if (throws) throw new InvalidOperationException(name);
        }
    }

    /// <summary>Cleaning threads that wait in their first poll until they are stopped, so they
    /// exist but never clean.</summary>
    private static void IdleCleaningThreads() =>
        Xfn.m_GCSleep = _ => SpinWait.SpinUntil(() => Thread.CurrentThread.Name switch
        {
            "CleanGCMapSCThread" => Xfn.m_bStopGCMapSCThread,
            "CleanGCMapVCThread" => Xfn.m_bStopGCMapVCThread,
            _ => Xfn.m_bStopGCMapFTThread,
        });

    [Fact]
    public void CloseShutsDownInItsOrder()
    {
        IdleCleaningThreads();
        var log = new List<string>();
        foreach (var (name, unregisters) in new[] { ("w1", true), ("w2", false), ("w3", true) })
            Xfn.AddHostWindow(new Window(log, name, unregisters));
        var b = new HostObject(log, "b", unregisters: true);
        foreach (object? o in new object?[] { new HostObject(log, "a"), null, b, new object(), new HostObject(log, "c") })
            Xfn.AddToGCArray(o);

        // One object per collection, registered out of order; the tags give the release order.
        // The XObjects keep a second reference, to show that Close ends them whatever their count;
        // the SC objects are held by the registry alone.
        IntPtr Ob(int tag)
        {
            IntPtr p = Doubles.NewObject(tag);
            Doubles.ObjectRef(p);
            return p;
        }
        IntPtr SC(IntPtr p)
        {
            Xfn.AddToGCMapSC(p);
            Doubles.SCRelease(p);
            return p;
        }
        Xfn.AddToGCMapGeneric(Ob(41));
        Xfn.AddToGCMapVC(Ob(33), 7);
        Xfn.AddToGCMapVC(Ob(32), -1);
        Xfn.AddToGCMapVC(Ob(31), -2);
        SC(Doubles.NewSCObject(22));
        SC(Doubles.NewScene(21));
        Xfn.AddToGCMapFTGeom(Ob(14));
        Xfn.AddToGCMapFTFeature(Ob(13));
        Xfn.AddToGCMapFTLayer(Ob(12));
        Xfn.AddToGCMapFTDataSource(Ob(11));
        Xfn.GetResourcePath();  // the shared record, for the sibling's hooks
        Assert.Equal((1, 1), (Doubles.InstallHook(1, 0), Doubles.InstallHook(4, 0)));
        Thread[] threads = { Xfn.m_GCMapSCThread!, Xfn.m_GCMapVCThread!, Xfn.m_GCMapFTThread! };

        Xfn.Close(true);

        // Windows first to last, then host objects last to first (b took itself off the list,
        // and a was still disposed), all before any native object went.
        Assert.Equal(new[] { "w1", "w2", "w3", "c@0", "b@0", "a@0" }, log);
        Assert.Empty(Xfn.m_GCArray!);
        // FT, SC, VC, Generic, each collection in its order, then the native teardown (hook 4
        // before hook 1).
        Assert.Equal(new[] { 11, 12, 13, 14, 21, 22, 31, 32, 33, 41, -4, -1 }, Doubles.Events());
        Doubles.Counters c = Doubles.Count();
        Assert.Equal((8L, 0L), (c.DestroyedWhileReferenced, c.UsedAfterDestruction));
        Assert.All(threads, t => Assert.False(t.IsAlive));
        Assert.Equal((true, true, true), (Xfn.m_bStopGCMapSCThread, Xfn.m_bStopGCMapVCThread, Xfn.m_bStopGCMapFTThread));
        Assert.All(new object?[] { Xfn.m_GCMapSCThread, Xfn.m_GCMapVCThread, Xfn.m_GCMapFTThread, Xfn.m_GCMapSC,
                                   Xfn.m_GCMapScene, Xfn.m_GCMapVCObj, Xfn.m_GCMapVCLayer, Xfn.m_GCMapVCBase,
                                   Xfn.m_GCMapFTGeom, Xfn.m_GCMapFTFeature, Xfn.m_GCMapFTLayer,
                                   Xfn.m_GCMapFTDataSource, Xfn.m_GCMapGeneric }, Assert.Null);
        Assert.Null(Doubles.ConfigPath());  // the shared record is gone

        Xfn.Close(true);  // again: nothing left to do
        Assert.Equal(6, log.Count);
    }

    [Fact]
    public void CloseSwallowsNativeFailuresButNotTheHostsOwn()
    {
        // A shut-down hook that throws ends Close silently, and the teardown stops there.
        Xfn.GetResourcePath();
        Assert.Equal((1, 1), (Doubles.InstallHook(4, 1), Doubles.InstallHook(1, 0)));
        Xfn.Close();
        Assert.Equal(new[] { -4 }, Doubles.Events());
        Assert.NotNull(Doubles.ConfigPath());
        Doubles.ClearHooks();
        Xfn.Close();
        Assert.Null(Doubles.ConfigPath());

        // An exception of a host object's disposal is the host's: it leaves Close before the
        // registries are emptied.
        var log = new List<string>();
        var thrower = new HostObject(log, "t", throws: true);
        IntPtr p = Doubles.NewObject(1);
        Xfn.AddToGCMapGeneric(p);
        Xfn.AddToGCArray(thrower);
        Assert.Equal("t", Assert.Throws<InvalidOperationException>(() => Xfn.Close()).Message);
        Assert.True(Xfn.LookupGCMapGeneric(p));
        Xfn.RemoveFromGCArray(thrower);
        Xfn.Close();
        Assert.Equal(new[] { 1 }, Doubles.Events()[1..]);
    }

    [LibraryImport("libc", EntryPoint = "setenv", StringMarshalling = StringMarshalling.Utf8)]
    private static partial int SetEnv(string name, string value, int overwrite);

    [LibraryImport("libc", EntryPoint = "unsetenv", StringMarshalling = StringMarshalling.Utf8)]
    private static partial int UnsetEnv(string name);

    [Fact]
    public void PathsComeFromTheSharedRecordThatEveryModuleSees()
    {
        // A scratch installation home, read when the shared record is built.
        string home = Path.Combine(Path.GetTempPath(), $"tivra-home-{Guid.NewGuid():N}");
        Directory.CreateDirectory(Path.Combine(home, "Config"));
        File.WriteAllText(Path.Combine(home, "Config", "TivraConfiguration.xml"), "<TivraConfiguration/>");
        string? previous = Environment.GetEnvironmentVariable("TIVRA_HOME");
        Assert.Equal(0, SetEnv("TIVRA_HOME", home, 1));
        try
        {
            Assert.Equal(home + "/Resource", Xfn.GetResourcePath());
            Assert.False(Directory.Exists(Path.Combine(home, "Temp")));
            Assert.Equal(home + "/Temp/", Xfn.GetTempPathA());
            Assert.True(Directory.Exists(Path.Combine(home, "Temp")));
            Assert.Equal(home + "/Config", Doubles.ConfigPath());

            // The new path, as a second module reads it from the shared record; a character the
            // encoding lacks becomes its replacement character.
            foreach (var (path, stored) in new (string?, string)[]
                     {
                         ("/opt/tivra/Config", "/opt/tivra/Config"),
                         ("/srv/Grüße 東京/Config", "/srv/Grüße 東京/Config"),
                         ("a\uD800b", "a\uFFFDb"),
                         ("", ""),
                         (null, ""),
                     })
            {
                Assert.True(Xfn.SetConfigPath(path));
                Assert.Equal(stored, Doubles.ConfigPath());
            }

            // Conversion errors reach the caller, and leave the path as it was.
            Xfn.SetConfigPath("/kept");
            foreach (var (message, call) in new (string, Func<object>)[]
                     {
                         (AnsiStringTests.WideMessage, () => Xfn.SetConfigPath("x", new AnsiStringTests.FakeEncoding(0, 0))),
                         (AnsiStringTests.MultiByteMessage, () => Xfn.GetResourcePath(new AnsiStringTests.FakeEncoding(0, 0))),
                         (AnsiStringTests.MultiByteMessage, () => Xfn.GetTempPathA(new AnsiStringTests.FakeEncoding(0, 0))),
                     })
                Assert.Equal(message, Assert.Throws<ArgumentException>(call).Message);
            Assert.Equal(AnsiStringTests.SizeMessage, Assert.Throws<ArgumentOutOfRangeException>(
                () => Xfn.SetConfigPath("x", new AnsiStringTests.FakeEncoding(int.MaxValue, 0))).Message);
            Assert.Equal("/kept", Doubles.ConfigPath());
            Assert.True(Xfn.SetConfigPath("", new AnsiStringTests.FakeEncoding(0, 0)) && Doubles.ConfigPath() == "");
        }
        finally
        {
            Xfn.Close();
            if (previous is null) UnsetEnv("TIVRA_HOME");
            else SetEnv("TIVRA_HOME", previous, 1);
            Directory.Delete(home, true);
        }
    }
}
