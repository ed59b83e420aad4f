using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The C surface's progress holder reached by its address, as native code that was
/// handed <see cref="XThread.GetPercentThread"/> reaches it.</summary>
internal static partial class HolderAddress
{
    [LibraryImport(Native.Library, EntryPoint = "ostrel_thread_set_priority")]
    internal static partial int SetPriority(IntPtr thread, int priority);

    [LibraryImport(Native.Library, EntryPoint = "ostrel_thread_get_percent")]
    internal static partial int GetPercent(IntPtr thread);

    [LibraryImport(Native.Library, EntryPoint = "ostrel_thread_set_percent")]
    internal static partial void SetPercent(IntPtr thread, int percent);
}

public class XThreadTests
{
    private static readonly TimeSpan Limit = TimeSpan.FromSeconds(10);

    /// <summary>Records every event of a thread object with the thread it came on.</summary>
    private sealed class Recorder
    {
        private readonly List<(string Name, int Value, int ThreadId)> m_events = new();

        public Recorder(XThread thd)
        {
            thd.OnPercent += (t, p) => Add("Percent", p);
            thd.OnSuccess += t => Add("Success", 0);
            thd.OnFail += t => Add("Fail", 0);
        }

        private void Add(string name, int value)
        {
            lock (m_events) m_events.Add((name, value, Environment.CurrentManagedThreadId));
        }

        public (string Name, int Value, int ThreadId)[] Events { get { lock (m_events) return m_events.ToArray(); } }
        public string[] Names() => Events.Select(e => e.Name).ToArray();

        public bool WaitFor(Func<(string Name, int Value, int ThreadId)[], bool> pred) =>
            SpinWait.SpinUntil(() => pred(Events), Limit);
    }

    /// <summary>Waits until no poller or worker is left: every event has been raised.</summary>
    private static void WaitQuiet(XThread thd) => Assert.True(SpinWait.SpinUntil(() => thd.LiveThreads == 0, Limit));

    [Fact]
    public void NewObjectRangePriorityAndDisposal()
    {
        var thd = new XThread();
        thd.GetPercentRange(out int lo, out int hi);
        Assert.Equal((false, 0, 100, eThreadPriority.Normal), (thd.Terminated, lo, hi, thd.Priority));
        thd.SetPercentRange(90, -5); // stored as given
        thd.GetPercentRange(out lo, out hi);
        Assert.Equal((90, -5), (lo, hi));
        // Any value is stored and passed on, none throws; the holder has no thread to apply it
        // to, so the native call reports false for each.
        foreach (var level in new[] { eThreadPriority.Idle, (eThreadPriority)7, (eThreadPriority)int.MinValue })
        {
            thd.Priority = level;
            Assert.Equal(level, thd.Priority);
            Assert.Equal(0, HolderAddress.SetPriority(thd.GetPercentThread(), (int)level));
        }
        Assert.False(thd.IsValid()); // only stored: the holder owns no native thread
        Assert.NotEqual(IntPtr.Zero, thd.GetPercentThread());
        Assert.Throws<InvalidOperationException>(() => thd.GetThreadID()); // no worker yet
        Assert.False(thd.IsAbortRequested); // not a worker thread

        thd.Dispose();
        thd.Dispose();
        Assert.False(thd.IsValid());
        Check.Throws<ObjectDisposedException>(() => thd.SendMessagePercent(1), () => thd.Terminate(), () => thd.Resume(),
            () => _ = thd.Priority, () => thd.GetPercentRange(out _, out _), () => thd.GetPercentThread());
    }

    [Fact]
    public void SuccessfulAndFailedJobsRaiseOneClosingEventFromTheWorker()
    {
        using var thd = new XThread();
        var rec = new Recorder(thd);
        int worker = -1;
        int eventsAfterSend = -1, bridgePercent = -1;
        uint reportedId = 0;
        thd.OnProcess += t =>
        {
            worker = Environment.CurrentManagedThreadId;
            reportedId = t.GetThreadID();
            t.SendMessagePercent(40);
            // Raised on this thread before SendMessagePercent returned.
            eventsAfterSend = rec.Events.Length;
            bridgePercent = HolderAddress.GetPercent(t.GetPercentThread());
            return true;
        };
        Assert.Equal(0u, thd.Resume());
        Assert.True(rec.WaitFor(e => e.Any(x => x.Name == "Success")));
        WaitQuiet(thd);

        Assert.NotEqual(Environment.CurrentManagedThreadId, worker);
        Assert.Equal((true, (uint)worker, 1, 40), (thd.Terminated, reportedId, eventsAfterSend, bridgePercent));
        // One percent event (the poller does not repeat a value just sent), then one success,
        // both from the worker; the poller, stopped by the worker's Terminate, adds nothing.
        Assert.Equal(new[] { ("Percent", 40, worker), ("Success", 0, worker) }, rec.Events);
        Assert.Throws<InvalidOperationException>(() => thd.GetThreadID()); // worker forgotten

        // A handler returning false and no handler fail once; an overridden Process runs instead
        // of the handlers.
        var boom = new InvalidOperationException("boom");
        foreach (var (other, handler, expected, thrown) in new (XThread, XThreadProcess?, string[], Exception?)[]
                 {
                     (new XThread(), t => false, new[] { "Fail" }, null),
                     (new XThread(), null, new[] { "Fail" }, null),
                     (new CountingThread(), t => throw boom, new[] { "Percent", "Success" }, null),
                 })
        {
            using var _ = other;
            var otherRec = new Recorder(other);
            if (handler != null) other.OnProcess += handler;
            other.Resume();
            WaitQuiet(other);
            Assert.Equal(expected, otherRec.Names());
            Assert.True(other.Terminated);
            Assert.Same(thrown, other.ProcessException);
            if (other is CountingThread c) Assert.Equal(1, c.Runs);
        }

        // A terminated object runs a new job on Resume; the last handler decides.
        thd.OnProcess += t => false;
        thd.Resume();
        WaitQuiet(thd);
        Assert.Equal(new[] { "Percent", "Success", "Percent", "Fail" }, rec.Names());
        Assert.True(thd.Terminated);
    }

    [Fact]
    public void HandlerExceptionEndsTheJobWithOneFailAndTheObjectRunsAgain()
    {
        var boom = new InvalidOperationException("boom");
        bool armed = true;
        void Throw()
        {
            if (armed) throw boom;
        }

        // Where the exception comes from on the worker, the events of the throwing job, the
        // ProcessException seen by the first OnFail handler, and the events of a second,
        // quiet job. A throwing OnFail handler must not be raised again.
        var rows = new (XThread Thd, Action<XThread> Setup, string[] First, Exception? SeenInFail, string[] Second)[]
        {
            (new XThread(), t => t.OnProcess += _ => { Throw(); return true; }, new[] { "Fail" }, boom, new[] { "Success" }),
            (new XThread(), t => { t.OnPercent += (_, _) => Throw(); t.OnProcess += x => { x.SendMessagePercent(30); return true; }; },
             new[] { "Percent", "Fail" }, boom, new[] { "Percent", "Success" }),
            (new XThread(), t => { t.OnSuccess += _ => Throw(); t.OnProcess += _ => true; },
             new[] { "Success", "Fail" }, boom, new[] { "Success" }),
            (new XThread(), t => { t.OnFail += _ => Throw(); t.OnProcess += _ => false; }, new[] { "Fail" }, null, new[] { "Fail" }),
            (new ThrowingThread(Throw), t => t.OnProcess += _ => true, new[] { "Fail" }, boom, new[] { "Success" }),
        };
        var recs = new Recorder[rows.Length];
        var seen = new Exception?[rows.Length];
        for (int i = 0; i < rows.Length; ++i)
        {
            int row = i;
            XThread thd = rows[i].Thd;
            recs[i] = new Recorder(thd);
            thd.OnFail += t => seen[row] ??= t.ProcessException;
            rows[i].Setup(thd);
            thd.Resume();
        }
        for (int i = 0; i < rows.Length; ++i)
        {
            WaitQuiet(rows[i].Thd);
            Assert.Equal(rows[i].First, recs[i].Names());
            Assert.Same(rows[i].SeenInFail, seen[i]);
            Assert.Same(boom, rows[i].Thd.ProcessException);
            Assert.True(rows[i].Thd.Terminated);
        }

        armed = false;
        foreach (var row in rows) row.Thd.Resume();
        for (int i = 0; i < rows.Length; ++i)
        {
            using XThread thd = rows[i].Thd;
            WaitQuiet(thd);
            Assert.Equal(rows[i].First.Concat(rows[i].Second), recs[i].Names());
            Assert.Null(thd.ProcessException);
            Assert.True(thd.Terminated);
        }
    }

    [Fact]
    public void PollerReportsNativeProgressOncePerChange()
    {
        using var thd = new XThread();
        var rec = new Recorder(thd);
        int worker = -1;
        bool sawBoth = false;
        thd.OnProcess += t =>
        {
            worker = Environment.CurrentManagedThreadId;
            IntPtr holder = t.GetPercentThread();
            // Native code reports straight into the holder; only the poller sees it.
            HolderAddress.SetPercent(holder, 25);
            if (!rec.WaitFor(e => e.Any(x => x.Value == 25))) return false;
            HolderAddress.SetPercent(holder, 60);
            sawBoth = rec.WaitFor(e => e.Any(x => x.Value == 60));
            return sawBoth;
        };
        thd.Resume();
        WaitQuiet(thd);

        Assert.True(sawBoth);
        var ev = rec.Events;
        Assert.Equal(new[] { ("Percent", 25), ("Percent", 60), ("Success", 0) }, ev.Select(e => (e.Name, e.Value)));
        Assert.Equal(new[] { false, false, true }, ev.Select(e => e.ThreadId == worker)); // percents from the poller
    }

    [Fact]
    public void ClientSettingTerminatedEndsOnlyThePoller()
    {
        using var thd = new XThread();
        var rec = new Recorder(thd);
        using var started = new ManualResetEventSlim();
        using var release = new ManualResetEventSlim();
        int worker = -1;
        thd.OnProcess += t =>
        {
            worker = Environment.CurrentManagedThreadId;
            started.Set();
            return release.Wait(Limit);
        };
        thd.Resume();
        Assert.True(started.Wait(Limit));

        thd.Terminated = true;
        Assert.True(rec.WaitFor(e => e.Length == 1));
        int poller = rec.Events[0].ThreadId;
        Assert.NotEqual(worker, poller);
        Assert.Equal(1, thd.LiveThreads); // the worker still runs its handler
        Assert.Equal((uint)worker, thd.GetThreadID());

        release.Set();
        WaitQuiet(thd);
        Assert.Equal(new[] { ("Success", 0, poller), ("Success", 0, worker) }, rec.Events);
        Assert.True(thd.Terminated);
    }

    [Fact]
    public void TerminateAndResumeCutOffTheRunningWorker()
    {
        using var thd = new XThread();
        var rec = new Recorder(thd);
        using var started = new ManualResetEventSlim();
        using var release = new ManualResetEventSlim();
        int calls = 0;
        bool abortSeen = false;
        thd.OnProcess += t =>
        {
            if (Interlocked.Increment(ref calls) > 1) return true; // later jobs end at once
            started.Set();
            release.Wait(Limit);
            abortSeen = t.IsAbortRequested;
            t.SendMessagePercent(77); // cut off: raises nothing
            return true;
        };

        // Terminate() from the client while the handler runs.
        thd.Resume();
        Assert.True(started.Wait(Limit));
        Assert.True(thd.Terminate());
        Assert.True(thd.Terminated);
        Assert.Throws<InvalidOperationException>(() => thd.GetThreadID());
        release.Set();
        WaitQuiet(thd);
        Assert.True(abortSeen);
        Assert.Empty(rec.Events); // no closing event from either thread
        Assert.Equal(0, HolderAddress.GetPercent(thd.GetPercentThread()));

        // Resume() on a running job: the first worker is cut off and cannot end the new job.
        calls = 0;
        abortSeen = false;
        started.Reset();
        release.Reset();
        thd.Resume();
        Assert.True(started.Wait(Limit));
        using var secondDone = new ManualResetEventSlim();
        thd.OnSuccess += t => secondDone.Set();
        thd.Resume();
        Assert.True(secondDone.Wait(Limit));
        Assert.True(SpinWait.SpinUntil(() => thd.LiveThreads == 1, Limit)); // only the first worker
        Assert.Equal(new[] { "Success" }, rec.Names());

        release.Set();
        WaitQuiet(thd);
        Assert.True(abortSeen);
        Assert.Equal(new[] { "Success" }, rec.Names());
        Assert.True(thd.Terminated);
    }

    [Fact]
    public void DisposalWhileRunningEndsThePoller()
    {
        var thd = new XThread();
        var rec = new Recorder(thd);
        using var started = new ManualResetEventSlim();
        using var release = new ManualResetEventSlim();
        Exception? sendAfterDispose = null;
        int worker = -1;
        thd.OnProcess += t =>
        {
            worker = Environment.CurrentManagedThreadId;
            started.Set();
            release.Wait(Limit);
            sendAfterDispose = Record.Exception(() => t.SendMessagePercent(5));
            return true;
        };
        thd.Resume();
        Assert.True(started.Wait(Limit));
        thd.Dispose();
        // The poller finds the holder gone and ends by itself.
        Assert.True(rec.WaitFor(e => e.Length == 1));
        int poller = rec.Events[0].ThreadId;
        Assert.NotEqual(worker, poller);
        Assert.True(thd.Terminated);
        release.Set();
        WaitQuiet(thd);
        Assert.IsType<ObjectDisposedException>(sendAfterDispose);
        Assert.Equal(new[] { ("Success", 0, poller), ("Success", 0, worker) }, rec.Events);
    }

    /// <summary>A subclass whose Process override may throw before the default job runs.</summary>
    private sealed class ThrowingThread : XThread
    {
        private readonly Action m_throw;

        public ThrowingThread(Action thrower) => m_throw = thrower;

        public override void Process()
        {
            m_throw();
            base.Process();
        }
    }

    /// <summary>A subclass that does its job by overriding Process.</summary>
    private sealed class CountingThread : XThread
    {
        public int Runs;

        public override void Process()
        {
            Interlocked.Increment(ref Runs);
            SendMessagePercent(100);
            SendMessageSuccess();
            Terminate();
        }
    }
}
