using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Threading;
using Xunit;
using Xunit.Abstractions;

namespace Pelmora.Ostrel.Tests;

public class XfnRegistryStressTests(ITestOutputHelper output) : RegistryTestBase
{
    private const int Workers = 4;
    /// <summary>Workers that first register the same objects at the same moments, and how many
    /// objects they race on.</summary>
    private const int RaceWorkers = 2;
    private const int RaceObjects = 4000;
    /// <summary>Rounds of each worker's own registrations, lookups and removals.</summary>
    private const int MinRounds = 2000;
    private const int MinCleansPerFamily = 10;
    /// <summary>Registered objects each worker keeps referenced across rounds.</summary>
    private const int HeldPerWorker = 16;

    private enum Kind
    {
        SC,
        VC,
        FT,
        Generic,
    }

    /// <summary>Each cleaning thread and the line its passes write.</summary>
    private static readonly (string Thread, string Line)[] Cleaners =
    {
        ("CleanGCMapSCThread", "Run CleanGCMapSC"),
        ("CleanGCMapVCThread", "Run CleanGCMapVC"),
        ("CleanGCMapFTThread", "Run CleanGCMapFT"),
    };

    private static int ThreadCleans(List<(string Line, long Time, string? Thread)> lines, (string Thread, string Line) cleaner) =>
        lines.Count(l => l.Thread == cleaner.Thread && l.Line == cleaner.Line);

    /// <summary>A new object with two references: SC the worker's and (after registration) the
    /// registry's; an XObject its creator's and the worker's. An SC object of an even variant is
    /// a scene.</summary>
    private static IntPtr New(Kind kind, int variant, int tag)
    {
        if (kind == Kind.SC) return variant % 2 == 0 ? Doubles.NewScene(tag) : Doubles.NewSCObject(tag);
        IntPtr p = Doubles.NewObject(tag);
        Doubles.ObjectRef(p);
        return p;
    }

    private static void Register(Kind kind, IntPtr p, int variant)
    {
        switch (kind)
        {
            case Kind.SC: Xfn.AddToGCMapSC(p); break;
            case Kind.VC: Xfn.AddToGCMapVC(p, new[] { -2, -1, 0, 5 }[variant]); break;
            case Kind.FT:
                Action<IntPtr> add = variant switch
                {
                    0 => Xfn.AddToGCMapFTDataSource,
                    1 => Xfn.AddToGCMapFTLayer,
                    2 => Xfn.AddToGCMapFTFeature,
                    _ => Xfn.AddToGCMapFTGeom,
                };
                add(p);
                break;
            default: Xfn.AddToGCMapGeneric(p); break;
        }
    }

    private static bool Lookup(Kind kind, IntPtr p) => kind switch
    {
        Kind.SC => Xfn.LookupGCMapSC(p),
        Kind.VC => Xfn.LookupGCMapVC(p),
        Kind.FT => Xfn.LookupGCMapFT(p),
        _ => Xfn.LookupGCMapGeneric(p),
    };

    private static void Remove(Kind kind, IntPtr p)
    {
        switch (kind)
        {
            case Kind.SC: Xfn.RemoveFromGCMapSC(p); break;
            case Kind.VC: Xfn.RemoveFromGCMapVC(p); break;
            case Kind.FT: Xfn.RemoveFromGCMapFT(p); break;
            default: Xfn.RemoveFromGCMapGeneric(p); break;
        }
    }

    private static int ReferCount(Kind kind, IntPtr p) =>
        kind == Kind.SC ? Doubles.SCReferCount(p) : Doubles.ObjectReferCount(p);

    /// <summary>Drops one reference: the worker's, or after a removal the registry's.</summary>
    private static void Drop(Kind kind, IntPtr p)
    {
        if (kind == Kind.SC) Doubles.SCRelease(p);
        else Doubles.ObjectUnref(p);
    }

    [Fact]
    public void ThreadsRegisterLookUpAndRemoveWhileTheCleanersRunThenCloseReleasesEachObjectOnce()
    {
        // A virtual second lasts a millisecond: each family is cleaned every 31 ms at first.
        Xfn.m_GCSleep = _ => Thread.Sleep(1);
        LineRecorder console = RecordConsole();
        var stopwatch = Stopwatch.StartNew();
        var errors = new ConcurrentQueue<string>();

        // Racing registrations first: two workers register the same objects of every collection,
        // one object at a time, starting each together, while the others wait so that the two
        // have the processors. Afterwards each object must be registered once, an SC object with
        // one registry reference; until then the test holds them all.
        var race = new List<(Kind Kind, IntPtr P, int Variant)>();
        for (int i = 0; i < RaceObjects; ++i)
        {
            var kind = (Kind)(i % 4);
            int variant = i / 4 % 4;
            race.Add((kind, New(kind, variant, 10_000_000 + i), variant));
        }
        int arrived = 0;
        int raced = 0;

        // Every cleaning thread has cleaned a few times (the workers' own passes do not count).
        bool CleanedEnough()
        {
            var lines = console.Lines;
            return Cleaners.All(c => ThreadCleans(lines, c) >= MinCleansPerFamily);
        }

        void Work(int worker)
        {
            if (worker < RaceWorkers)
            {
                for (int i = 0; i < race.Count; ++i)
                {
                    // Both start on the object together: each spins until the other has
                    // arrived, yielding only now and then (a yield at every turn would let the
                    // other finish first; none would waste whole time slices on one processor).
                    Interlocked.Increment(ref arrived);
                    for (int turn = 1; Volatile.Read(ref arrived) < RaceWorkers * (i + 1); ++turn)
                        if (turn % 1000 == 0) Thread.Yield();
                        else Thread.SpinWait(5);
                    Register(race[i].Kind, race[i].P, race[i].Variant);
                }
                Interlocked.Increment(ref raced);
            }
            SpinWait.SpinUntil(() => Volatile.Read(ref raced) == RaceWorkers);

            var random = new Random(worker);
            var held = new Queue<(Kind, IntPtr)>();
            for (int round = 0; round < MinRounds || round % 100 != 0 || !CleanedEnough(); ++round)
            {
                if (stopwatch.Elapsed > TimeSpan.FromSeconds(50))
                {
                    errors.Enqueue($"worker {worker}: the cleaners did not run");
                    break;
                }
                var kind = (Kind)random.Next(4);
                int variant = random.Next(4);
                IntPtr p = New(kind, variant, worker * 1_000_000 + round);
                Register(kind, p, variant);
                if (random.Next(3) == 0) Register(kind, p, variant);
                if (!Lookup(kind, p)) errors.Enqueue($"{kind} {round}: not found after registration");

                if (random.Next(4) == 0)
                {
                    // Taken back: the worker ends it itself with the registry's reference (SC) or
                    // the creator's (XObject).
                    Remove(kind, p);
                    if (Lookup(kind, p)) errors.Enqueue($"{kind} {round}: found after removal");
                    Drop(kind, p);
                    Drop(kind, p);
                }
                else
                {
                    held.Enqueue((kind, p));
                }
                while (held.Count > HeldPerWorker) Let(held.Dequeue());

                // Explicit passes race the cleaning threads.
                if (worker == 0 && round % 250 == 0)
                {
                    Xfn.CleanGCMapSC();
                    Xfn.CleanGCMapVC();
                    Xfn.CleanGCMapFT();
                }
            }
            while (held.Count > 0) Let(held.Dequeue());
        }

        // An object held since its registration is still alive and registered; then the worker
        // lets go and leaves it to the registry.
        void Let((Kind Kind, IntPtr P) o)
        {
            if (!Lookup(o.Kind, o.P)) errors.Enqueue($"{o.Kind}: a referenced object left its registry");
            if (ReferCount(o.Kind, o.P) != 2) errors.Enqueue($"{o.Kind}: count {ReferCount(o.Kind, o.P)} instead of 2");
            Drop(o.Kind, o.P);
        }

        Thread[] threads = Enumerable.Range(0, Workers).Select(w => new Thread(() => Work(w))).ToArray();
        foreach (Thread t in threads) t.Start();
        foreach (Thread t in threads) t.Join();
        TimeSpan stress = stopwatch.Elapsed;

        foreach (var (kind, p, _) in race)
        {
            if (!Lookup(kind, p)) errors.Enqueue($"{kind}: not found after racing registrations");
            if (ReferCount(kind, p) != 2) errors.Enqueue($"{kind}: count {ReferCount(kind, p)} after racing registrations");
            Drop(kind, p);
        }

        Doubles.Counters beforeClose = Doubles.Count();
        Xfn.Close();
        TimeSpan total = stopwatch.Elapsed;

        Assert.Empty(errors);
        Doubles.Counters c = Doubles.Count();
        Assert.Equal((c.SCCreated, c.ObjectsCreated), (c.SCDestroyed, c.ObjectsDestroyed));
        Assert.Equal(c.SCCreated + c.SCRefsAdded, c.SCRefsReleased);
        Assert.Equal((0L, 0L), (c.DestroyedWhileReferenced, c.UsedAfterDestruction));

        var lines = console.Lines;
        output.WriteLine($"stress {stress.TotalSeconds:F2} s, with Close {total.TotalSeconds:F2} s; " +
                         $"{c.SCCreated} SC objects and {c.ObjectsCreated} XObjects; " +
                         $"{beforeClose.SCDestroyed + beforeClose.ObjectsDestroyed} released before Close; cleans " +
                         string.Join(", ", Cleaners.Select(c => $"{c.Line[^2..]} {ThreadCleans(lines, c)}")) +
                         $" by the threads, {lines.Count} in all");
    }
}
