using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Threading;
using Xunit;
using Xunit.Abstractions;
using static Pelmora.Ostrel.Tests.XfnRegistryTests;

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

    /// <summary>Each cleaning thread and the line its passes write.</summary>
    private static readonly (string Thread, string Line)[] Cleaners =
    {
        ("CleanGCMapSCThread", "Run CleanGCMapSC"),
        ("CleanGCMapVCThread", "Run CleanGCMapVC"),
        ("CleanGCMapFTThread", "Run CleanGCMapFT"),
    };

    private static int ThreadCleans(List<(string Line, long Time, string? Thread)> lines, (string Thread, string Line) cleaner) =>
        lines.Count(l => l.Thread == cleaner.Thread && l.Line == cleaner.Line);

    /// <summary>A new object of the collection with two references: SC the worker's and (after
    /// registration) the registry's; an XObject its creator's and the worker's.</summary>
    private static IntPtr New(Target t, int tag)
    {
        IntPtr p = t.New(tag);
        if (!t.IsSC) Doubles.ObjectRef(p);
        return p;
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
        var race = new List<(Target T, IntPtr P)>();
        for (int i = 0; i < RaceObjects; ++i)
        {
            Target t = Targets[i % Targets.Length];
            race.Add((t, New(t, 10_000_000 + i)));
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
                    race[i].T.Add(race[i].P);
                }
                Interlocked.Increment(ref raced);
            }
            SpinWait.SpinUntil(() => Volatile.Read(ref raced) == RaceWorkers);

            var random = new Random(worker);
            var held = new Queue<(Target, IntPtr)>();
            for (int round = 0; round < MinRounds || round % 100 != 0 || !CleanedEnough(); ++round)
            {
                if (stopwatch.Elapsed > TimeSpan.FromSeconds(50))
                {
                    errors.Enqueue($"worker {worker}: the cleaners did not run");
                    break;
                }
                Target t = Targets[random.Next(Targets.Length)];
                IntPtr p = New(t, worker * 1_000_000 + round);
                t.Add(p);
                if (random.Next(3) == 0) t.Add(p);
                if (!t.Lookup(p)) errors.Enqueue($"{t.Name} {round}: not found after registration");

                if (random.Next(4) == 0)
                {
                    // Taken back: the worker ends it itself with the registry's reference (SC) or
                    // the creator's (XObject).
                    t.Remove(p);
                    if (t.Lookup(p)) errors.Enqueue($"{t.Name} {round}: found after removal");
                    Drop(t, p);
                    Drop(t, p);
                }
                else
                {
                    held.Enqueue((t, p));
                }
                while (held.Count > HeldPerWorker) Let(held.Dequeue());

                // Explicit passes race the cleaning threads.
                if (worker == 0 && round % 250 == 0) CleanAll();
            }
            while (held.Count > 0) Let(held.Dequeue());
        }

        // An object held since its registration is still alive and registered; then the worker
        // lets go and leaves it to the registry.
        void Let((Target T, IntPtr P) o)
        {
            if (!o.T.Lookup(o.P)) errors.Enqueue($"{o.T.Name}: a referenced object left its registry");
            if (ReferCount(o.T, o.P) != 2) errors.Enqueue($"{o.T.Name}: count {ReferCount(o.T, o.P)} instead of 2");
            Drop(o.T, o.P);
        }

        Thread[] threads = Enumerable.Range(0, Workers).Select(w => new Thread(() => Work(w))).ToArray();
        foreach (Thread t in threads) t.Start();
        foreach (Thread t in threads) t.Join();
        TimeSpan stress = stopwatch.Elapsed;

        foreach (var (t, p) in race)
        {
            if (!t.Lookup(p)) errors.Enqueue($"{t.Name}: not found after racing registrations");
            if (ReferCount(t, p) != 2) errors.Enqueue($"{t.Name}: count {ReferCount(t, p)} after racing registrations");
            Drop(t, p);
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
