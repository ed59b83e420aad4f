using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Linq;
using System.Threading;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The cleaning threads, run in virtual time: each call of the injected sleep is one
/// second of the calling thread.</summary>
public class XfnCleaningThreadTests : RegistryTestBase
{
    /// <summary>Only guards against a hang; no test depends on it.</summary>
    private static readonly TimeSpan Guard = TimeSpan.FromMinutes(1);

    private const ulong GiB = 1073741824;

    private sealed record Family(string Thread, Action Register, Func<Thread?> Current, Action<bool> Switch, Func<bool> StopFlag);

    private static readonly Family[] Families =
    {
        new("CleanGCMapSCThread", () => Xfn.AddToGCMapSC(Doubles.NewScene(1)), () => Xfn.m_GCMapSCThread,
            on => Xfn.EnableAutoGCMapSC = on, () => Xfn.m_bStopGCMapSCThread),
        new("CleanGCMapVCThread", () => Xfn.AddToGCMapVC(Doubles.NewObject(2), -1), () => Xfn.m_GCMapVCThread,
            on => Xfn.EnableAutoGCMapVC = on, () => Xfn.m_bStopGCMapVCThread),
        new("CleanGCMapFTThread", () => Xfn.AddToGCMapFTGeom(Doubles.NewObject(3)), () => Xfn.m_GCMapFTThread,
            on => Xfn.EnableAutoGCMapFT = on, () => Xfn.m_bStopGCMapFTThread),
    };

    [Fact]
    public void FirstRegistrationStartsTheThreadAndSwitchingOffEndsItForGood()
    {
        const int SwitchOffAt = 5;
        var sleeps = new ConcurrentDictionary<string, int>();
        int wrongWaits = 0;
        // The threads wait at their first sleep until the test has looked at them: one that
        // ran through its sleeps and ended first would have no state left to read.
        bool inspected = false;
        Xfn.m_GCSleep = ms =>
        {
            SpinWait.SpinUntil(() => Volatile.Read(ref inspected), Guard);
            if (ms != 1000) Interlocked.Increment(ref wrongWaits);
            string name = Thread.CurrentThread.Name!;
            if (sleeps.AddOrUpdate(name, 1, (_, n) => n + 1) == SwitchOffAt)
                Families.Single(f => f.Thread == name).Switch(false);
            Thread.Yield();
        };

        Xfn.AddToGCMapGeneric(Doubles.NewObject(4));  // no thread for Generic
        var threads = new List<Thread>();
        foreach (Family f in Families)
        {
            Assert.Null(f.Current());
            f.Register();
            f.Register();
            Thread thread = f.Current()!;
            Assert.Equal((f.Thread, false), (thread.Name, thread.IsBackground));
            threads.Add(thread);
        }
        Volatile.Write(ref inspected, true);

        foreach (var (f, thread) in Families.Zip(threads))
        {
            Assert.True(thread.Join(Guard));
            // The switch went off during sleep 5: the next poll ended the thread without a sixth.
            Assert.Equal((f.Thread, SwitchOffAt, true), (f.Thread, sleeps[f.Thread], f.StopFlag()));

            // On again, a registration does not restart it.
            f.Switch(true);
            f.Register();
            Assert.Same(thread, f.Current());
            Assert.False(thread.IsAlive);
        }
        Assert.Equal(Families.Length, sleeps.Count);
        Assert.Equal(0, wrongWaits);
    }

    [Fact]
    public void EmptyStopsTheThreadAndAThreadStartedLaterEndsAtOnce()
    {
        int sleeps = 0;
        Xfn.m_GCSleep = _ =>
        {
            Interlocked.Increment(ref sleeps);
            Thread.Yield();
        };
        Xfn.AddToGCMapSC(IntPtr.Zero);
        Thread first = Xfn.m_GCMapSCThread!;
        SpinWait.SpinUntil(() => Volatile.Read(ref sleeps) >= 3, Guard);
        Xfn.EmptyGCMapSC();
        Assert.False(first.IsAlive);
        Assert.Null(Xfn.m_GCMapSCThread);
        Assert.True(Xfn.m_bStopGCMapSCThread);

        int before = Volatile.Read(ref sleeps);
        Xfn.AddToGCMapSC(IntPtr.Zero);  // a new registry, and a new thread that sees the stop flag
        Thread second = Xfn.m_GCMapSCThread!;
        Assert.NotSame(first, second);
        Assert.True(second.Join(Guard));
        Assert.Equal(before, sleeps);

        // A switch that is off at the first registration starts no thread.
        Xfn.EnableAutoGCMapVC = false;
        Xfn.AddToGCMapVC(Doubles.NewObject(1), 0);
        Assert.Null(Xfn.m_GCMapVCThread);
    }

    /// <summary>Runs the SC thread in virtual time until it has cleaned the given number of times
    /// and returns the virtual seconds between cleans (the first counted from the start).</summary>
    /// <param name="memory">The private memory the thread sees, by the number of cleans so far.</param>
    private static List<long> CleanGaps(Func<int, ulong> memory, int cleans)
    {
        Xfn.EmptyGCMapSC();
        Xfn.m_bStopGCMapSCThread = false;
        Xfn.EnableAutoGCMapSC = true;

        long now = 0;
        LineRecorder console = RecordConsole(() => Interlocked.Read(ref now));
        Xfn.m_GCPrivateMemory = () => memory(console.LineCount);
        Xfn.m_GCSleep = _ =>
        {
            Interlocked.Increment(ref now);
            if (console.LineCount >= cleans) Xfn.EnableAutoGCMapSC = false;
        };
        Xfn.AddToGCMapSC(IntPtr.Zero);
        Assert.True(Xfn.m_GCMapSCThread!.Join(Guard));

        Assert.All(console.Lines, l => Assert.Equal("Run CleanGCMapSC", l.Line));
        long[] times = console.Lines.Select(l => l.Time).ToArray();
        return times.Select((t, i) => i == 0 ? t : t - times[i - 1]).ToList();
    }

    [Fact]
    public void IntervalGrowsFrom31To301SecondsAndShrinksUnderMemoryPressure()
    {
        // Below 1 GiB: every interval + 1 seconds, the interval growing by one per clean up to 300.
        List<long> expected = Enumerable.Range(31, 271).Select(n => (long)n).Concat(new long[] { 301, 301 }).ToList();
        Assert.Equal(expected, CleanGaps(_ => GiB - 1, expected.Count));

        foreach (var (name, memory, gaps) in new (string, Func<int, ulong>, long[])[]
                 {
                     // Exactly 1 GiB is no pressure, and no reason to grow either.
                     ("at 1 GiB", _ => GiB, new long[] { 31, 31, 31, 31 }),
                     // Above it, every 11 seconds; the interval cannot shrink below 30.
                     ("above 1 GiB", _ => GiB + 1, new long[] { 11, 11, 11, 11 }),
                     ("pressure first", n => n < 3 ? 2 * GiB : GiB / 2, new long[] { 11, 11, 11, 31, 32 }),
                     // Grown to 35, pressure for three cleans shrinks it to 32, then it grows again.
                     ("pressure later", n => n is >= 5 and < 8 ? 2 * GiB : GiB / 2,
                      new long[] { 31, 32, 33, 34, 35, 11, 11, 11, 33, 34 }),
                 })
            Assert.Equal($"{name}: {string.Join(", ", gaps)}", $"{name}: {string.Join(", ", CleanGaps(memory, gaps.Length))}");
    }
}
