using System;
using System.Threading;

namespace Pelmora.Ostrel;

/// <summary>
/// Runs one job on a background worker thread and reports its progress, success and failure as
/// events. Subscribe a handler to <see cref="OnProcess"/> (or override <see cref="Process"/>), then
/// call <see cref="Resume"/>.
/// </summary>
/// <remarks>
/// <para>
/// Progress is held in a native object (<see cref="GetPercentThread"/>), so that native code
/// handed that object reports progress too. <see cref="Resume"/> starts two ordinary (foreground)
/// threads: a poller that reads the native progress every 10 milliseconds and raises
/// <see cref="OnPercent"/> for it, then the worker that runs <see cref="Process"/>. The worker
/// raises <see cref="OnSuccess"/> or <see cref="OnFail"/> once and ends the job with
/// <see cref="Terminate"/>; the poller raises its own closing <see cref="OnSuccess"/> only when it
/// ends by itself: when the client sets <see cref="Terminated"/>, or after disposal.
/// </para>
/// <para>
/// Percent events: <see cref="SendMessagePercent"/> raises <see cref="OnPercent"/> on the calling
/// thread for every call. The poller raises it only for a value that differs from the last
/// percent seen or sent, so it never repeats a value that has not changed and never repeats one
/// just sent by <see cref="SendMessagePercent"/>; progress reported by native code is raised once
/// per change that a poll sees (changes faster than the 10 ms period may be skipped). Handlers
/// must still accept the same value twice, for example when a job is resumed.
/// </para>
/// <para>
/// Ending a job does not interrupt a running handler: <see cref="Terminate"/> (or a new
/// <see cref="Resume"/>) stops the poller at once and cuts the worker off. A cut-off worker keeps
/// running its handler until that returns, but from then on its
/// <see cref="SendMessagePercent"/>, <see cref="SendMessageSuccess"/> and
/// <see cref="SendMessageFail"/> raise nothing, and it neither raises the closing events nor ends
/// a newer job. A long handler polls <see cref="IsAbortRequested"/> and returns early.
/// </para>
/// <para>
/// Handlers run on the worker or the poller thread, never on the client's thread; a client that
/// updates a user interface marshals the call itself. An exception thrown by a handler is not
/// raised again: it is kept in <see cref="ProcessException"/>. On the worker (the
/// <see cref="OnProcess"/> handler, an override of <see cref="Process"/>, or an event handler
/// raised there) it ends the job as a failure: <see cref="OnFail"/> is raised once, unless the
/// exception came from an <see cref="OnFail"/> handler, and the job ends as
/// <see cref="Terminate"/> ends it. On the poller it ends only the poller.
/// </para>
/// </remarks>
public class XThread : IDisposable
{
    /// <summary>One run of the worker and the poller; ending it cuts both off.</summary>
    private sealed class Job
    {
        internal Job(XThread owner) => Owner = owner;

        internal XThread Owner { get; }

        private volatile bool m_bAborted;

        internal bool Aborted => m_bAborted;

        /// <summary>Set by the worker when it raises <see cref="OnFail"/>, so that an exception
        /// from an OnFail handler does not raise it a second time. Touched by the worker
        /// only.</summary>
        internal bool FailRaised { get; set; }

        /// <summary>Wakes the poller before its period is over.</summary>
        internal ManualResetEventSlim Wake { get; } = new(false);

        internal void Abort()
        {
            m_bAborted = true;
            Wake.Set();
        }
    }

    /// <summary>The job whose worker is the current thread, if any.</summary>
    [ThreadStatic]
    private static Job? t_workerJob;

    /// <summary>Poller period in milliseconds.</summary>
    private const int PollPeriod = 10;

    private Thread? m_CheckThread;
    private Thread? m_ProcessThread;
    private volatile int m_nPercent;
    private readonly NativeObject m_percentThread;
    private volatile bool m_bTerminated;
    private volatile Job? m_job;
    private volatile Exception? m_processException;
    private int m_nLiveThreads;

    /// <summary>Guards the native holder's lifetime (against disposal while the poller or the
    /// worker uses it), the thread bookkeeping and the poller's compare-and-report of the
    /// percent. No handler ever runs under it.</summary>
    private readonly object m_sync = new();

    /// <summary>Creates an idle thread object: percent 0, range 0..100, priority
    /// <see cref="eThreadPriority.Normal"/>, <see cref="Terminated"/> false, no threads.</summary>
    /// <exception cref="OutOfMemoryException">The native progress holder could not be
    /// created.</exception>
    public XThread()
    {
        m_percentThread = new NativeObject(Native.Thread.New(), static p => Native.Thread.Delete(p), nameof(XThread));
    }

    /// <summary>Releases the native progress holder if <see cref="Dispose()"/> was not
    /// called.</summary>
    ~XThread() => Dispose(false);

    /// <summary>Raised for progress: by <see cref="SendMessagePercent"/> on the calling thread, and
    /// by the poller for changed progress in the native holder.</summary>
    public event XThreadMessagePercent? OnPercent;

    /// <summary>Raised once by the worker when the job succeeded, and by the poller when it ends by
    /// itself (see <see cref="Terminated"/>).</summary>
    public event XThreadMessageSuccess? OnSuccess;

    /// <summary>Raised once by the worker when the job failed, had no <see cref="OnProcess"/>
    /// handler, or ended by an exception from a handler on the worker (then
    /// <see cref="ProcessException"/> already holds it).</summary>
    public event XThreadMessageFail? OnFail;

    /// <summary>The job, run on the worker thread by <see cref="Process"/>; with several handlers
    /// the result of the last one counts.</summary>
    public event XThreadProcess? OnProcess;

    /// <summary>True once the job has ended. <see cref="Resume"/> clears it and
    /// <see cref="Terminate"/> sets it. A client that sets it to true ends the poller, which then
    /// raises <see cref="OnSuccess"/>; the worker keeps running its handler.</summary>
    public bool Terminated
    {
        get => m_bTerminated;
        set
        {
            m_bTerminated = value;
            if (value) m_job?.Wake.Set();
        }
    }

    /// <summary>True when called on this object's worker thread after its job has been ended by
    /// <see cref="Terminate"/>, a new <see cref="Resume"/> or an exception; false on any other
    /// thread. A long handler polls it and returns early.</summary>
    public bool IsAbortRequested => CurrentWorkerJob is { Aborted: true };

    /// <summary>The exception that escaped <see cref="Process"/> on the worker (the
    /// <see cref="OnProcess"/> handler or an event handler raised there), or a handler on the
    /// poller, in the latest job; null when none did. It is set before the worker raises
    /// <see cref="OnFail"/> for it. <see cref="Resume"/> clears it.</summary>
    public Exception? ProcessException => m_processException;

    /// <summary>Starts a new job: clears <see cref="Terminated"/>, ends a running job (see the
    /// remarks of the class), then starts the poller and then the worker.</summary>
    /// <returns>The native holder's own Run() result: 0, since it never owns a native
    /// thread.</returns>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public uint Resume()
    {
        lock (m_sync)
        {
            NativeObject bridge = Handle;
            m_bTerminated = false;
            uint result = (uint)Native.Thread.Run(bridge);
            m_job?.Abort();
            m_CheckThread = null;
            m_ProcessThread = null;
            m_processException = null;

            var job = new Job(this);
            m_job = job;
            Interlocked.Add(ref m_nLiveThreads, 2);
            m_CheckThread = new Thread(() => PollerMain(job)) { IsBackground = false, Name = "XThread poller" };
            m_ProcessThread = new Thread(() => WorkerMain(job)) { IsBackground = false, Name = "XThread worker" };
            m_CheckThread.Start();
            m_ProcessThread.Start();
            return result;
        }
    }

    /// <summary>Ends the job: raises the native holder's stop flag, sets <see cref="Terminated"/>,
    /// stops the poller and cuts the worker off (it is not interrupted; see the remarks of the
    /// class). Callable from any thread, the worker's handler included.</summary>
    /// <returns>True (the native stop request always succeeds).</returns>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public bool Terminate()
    {
        lock (m_sync)
        {
            _ = Handle;
            return EndJob(null);
        }
    }

    /// <summary>Runs the job on the worker thread: invokes <see cref="OnProcess"/> (no handler
    /// means failure), raises <see cref="OnSuccess"/> or <see cref="OnFail"/> once, then ends the
    /// job as <see cref="Terminate"/> does. A worker cut off meanwhile raises nothing and ends
    /// nothing. An override that does not call this implementation ends the job itself.</summary>
    public virtual void Process()
    {
        XThreadProcess? handler = OnProcess;
        bool success = handler != null && handler(this);
        if (IsAbortRequested) return;
        if (success) SendMessageSuccess();
        else SendMessageFail();
        Job? job = CurrentWorkerJob;
        lock (m_sync) EndJob(job);
    }

    /// <summary>Always false: the native progress holder never owns a native thread (and after
    /// disposal there is no holder).</summary>
    /// <returns>Whether the native holder owns a native thread.</returns>
    public bool IsValid()
    {
        lock (m_sync) return !m_percentThread.IsClosed && Native.Thread.IsValid(m_percentThread) != 0;
    }

    /// <summary>The managed identifier of the current worker thread.</summary>
    /// <returns>The worker thread's managed thread id.</returns>
    /// <exception cref="InvalidOperationException">No worker thread exists (before
    /// <see cref="Resume"/>, or after the job ended).</exception>
    public uint GetThreadID()
    {
        lock (m_sync)
        {
            Thread worker = m_ProcessThread
                ?? throw new InvalidOperationException("No worker thread exists: the job has not been resumed or has ended.");
            return (uint)worker.ManagedThreadId;
        }
    }

    /// <summary>The native progress holder: the address of a native thread object
    /// (Pelmora::Tivra::XThread) whose OnMessagePercent native code calls to report progress. It
    /// stays owned by this object and is valid until disposal.</summary>
    /// <returns>The native holder's address.</returns>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public IntPtr GetPercentThread()
    {
        lock (m_sync) return Handle.DangerousGetHandle();
    }

    /// <summary>Reports progress: stores it in the native holder and raises
    /// <see cref="OnPercent"/> on the calling thread. Does nothing on a worker that has been cut
    /// off.</summary>
    /// <param name="nPercent">Progress in percent, passed on as given.</param>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public void SendMessagePercent(int nPercent)
    {
        if (IsAbortRequested) return;
        lock (m_sync)
        {
            NativeObject bridge = Handle;
            m_nPercent = nPercent;
            Native.Thread.SetPercent(bridge, nPercent);
        }
        OnPercent?.Invoke(this, nPercent);
    }

    /// <summary>Raises <see cref="OnSuccess"/> on the calling thread. Does nothing on a worker that
    /// has been cut off.</summary>
    public void SendMessageSuccess()
    {
        if (IsAbortRequested) return;
        OnSuccess?.Invoke(this);
    }

    /// <summary>Raises <see cref="OnFail"/> on the calling thread. Does nothing on a worker that
    /// has been cut off.</summary>
    public void SendMessageFail()
    {
        Job? job = CurrentWorkerJob;
        if (job is { Aborted: true }) return;
        if (job != null) job.FailRaised = true;
        OnFail?.Invoke(this);
    }

    /// <summary>Stores the percent range that a stage of a larger job scales its progress into.
    /// The range is stored as given and applied to nothing.</summary>
    /// <param name="nMin">Lower end.</param>
    /// <param name="nMax">Upper end.</param>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public void SetPercentRange(int nMin, int nMax)
    {
        lock (m_sync) Native.Thread.SetPercentRange(Handle, nMin, nMax);
    }

    /// <summary>Reads the stored percent range (0 and 100 on a new object).</summary>
    /// <param name="nMin">Lower end.</param>
    /// <param name="nMax">Upper end.</param>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public void GetPercentRange(out int nMin, out int nMax)
    {
        lock (m_sync) Native.Thread.GetPercentRange(Handle, out nMin, out nMax);
    }

    /// <summary>The priority stored in the native holder. Setting passes any value on as it is,
    /// one outside <see cref="eThreadPriority"/> included, and the getter returns it. It is only
    /// stored: the holder owns no native thread, so its SetPriority applies nothing and reports
    /// false (which this property does not turn into an error), and the poller and worker threads
    /// keep their priority.</summary>
    /// <remarks>On a native thread a level becomes a nice value (see
    /// <see cref="eThreadPriority"/>). On Linux an unprivileged process can lower a thread's
    /// priority but not raise it again, not even back to where it was: raising it needs the
    /// CAP_SYS_NICE capability or a RLIMIT_NICE resource limit that allows it, and without them
    /// the native SetPriority reports false and leaves the thread as it was.</remarks>
    /// <exception cref="ObjectDisposedException">The object has been disposed.</exception>
    public eThreadPriority Priority
    {
        get
        {
            lock (m_sync) return (eThreadPriority)Native.Thread.GetPriority(Handle);
        }
        set
        {
            lock (m_sync) _ = Native.Thread.SetPriority(Handle, (int)value);
        }
    }

    /// <summary>Releases the native progress holder now; calling it again does nothing. Running
    /// threads are forgotten, not stopped: the poller then ends by itself (raising
    /// <see cref="OnSuccess"/>), the worker when its handler returns.</summary>
    public void Dispose()
    {
        Dispose(true);
        GC.SuppressFinalize(this);
    }

    /// <summary>Releases the native progress holder; disposal and finalisation do the
    /// same.</summary>
    /// <param name="disposing">True from <see cref="Dispose()"/>, false from the finaliser.</param>
    protected virtual void Dispose(bool disposing)
    {
        lock (m_sync)
        {
            m_CheckThread = null;
            m_ProcessThread = null;
            if (m_percentThread is null || m_percentThread.IsClosed) return;  // null after a constructor threw
            m_percentThread.Dispose();
            // Let the poller notice the missing holder without waiting out its period.
            m_job?.Wake.Set();
        }
    }

    /// <summary>Poller and worker threads of this object, current or cut off, that have not yet
    /// finished (counted from their start in <see cref="Resume"/> to their very last step). Lets
    /// tests wait for quiescence.</summary>
    internal int LiveThreads => Volatile.Read(ref m_nLiveThreads);

    /// <summary>The owned native holder, for a binding to hold during its call; throws once the
    /// object is disposed. Read under <see cref="m_sync"/>, which also orders the calls with
    /// the bookkeeping of the job.</summary>
    private NativeObject Handle => m_percentThread.Live;

    private Job? CurrentWorkerJob => t_workerJob is { } job && ReferenceEquals(job.Owner, this) ? job : null;

    /// <summary>Ends the current job, or, when <paramref name="only"/> is given, that job only if
    /// it is still the current one (so that a worker cut off by a newer job cannot end it).
    /// Called under <see cref="m_sync"/>; tolerates a disposed object.</summary>
    private bool EndJob(Job? only)
    {
        if (only != null && (only.Aborted || !ReferenceEquals(m_job, only))) return false;
        if (!m_percentThread.IsClosed && Native.Thread.Stop(m_percentThread) == 0) return false;
        // Abort first: a poller that sees Terminated must also see that it was stopped.
        m_job?.Abort();
        m_job = null;
        m_bTerminated = true;
        m_CheckThread = null;
        m_ProcessThread = null;
        return true;
    }

    private void WorkerMain(Job job)
    {
        t_workerJob = job;
        try
        {
            Process();
        }
        catch (Exception e)
        {
            // An exception escaping a thread would end the whole process. Keep it, tell the client
            // that the job failed, and end the job; a worker cut off meanwhile does neither.
            bool current;
            lock (m_sync)
            {
                current = !job.Aborted && ReferenceEquals(m_job, job);
                if (current) m_processException = e;
            }
            if (current && !job.FailRaised) RaiseFailAfter();
            lock (m_sync) EndJob(job);
        }
        finally
        {
            t_workerJob = null;
            Interlocked.Decrement(ref m_nLiveThreads);
        }
    }

    /// <summary>Raises <see cref="OnFail"/> for a job that an exception ended. The exception
    /// already kept is the cause; a second one, from an OnFail handler, is dropped, since the
    /// client has nothing more to be told and nothing may escape the worker.</summary>
    private void RaiseFailAfter()
    {
        try
        {
            SendMessageFail();
        }
        catch (Exception)
        {
        }
    }

    private void PollerMain(Job job)
    {
        try
        {
            CheckProcess(job);
        }
        catch (Exception e)
        {
            lock (m_sync)
                if (!job.Aborted && ReferenceEquals(m_job, job)) m_processException ??= e;
        }
        finally
        {
            Interlocked.Decrement(ref m_nLiveThreads);
        }
    }

    /// <summary>The poller: raises <see cref="OnPercent"/> for changed progress in the native
    /// holder every <see cref="PollPeriod"/> ms until the job ends. Stopped by
    /// <see cref="Terminate"/> or a new <see cref="Resume"/>, it leaves quietly; ending by itself
    /// (<see cref="Terminated"/> set by the client, or the holder disposed), it sets
    /// <see cref="Terminated"/> and raises <see cref="OnSuccess"/>.</summary>
    private void CheckProcess(Job job)
    {
        while (!m_bTerminated && !job.Aborted)
        {
            int percent = 0;
            bool report = false;
            lock (m_sync)
            {
                if (m_percentThread.IsClosed) break;
                percent = Native.Thread.GetPercent(m_percentThread);
                if (percent != m_nPercent)
                {
                    m_nPercent = percent;
                    Native.Thread.SetPercent(m_percentThread, percent);
                    report = !job.Aborted;
                }
            }
            if (report) OnPercent?.Invoke(this, percent);
            // Woken early (Terminated set, disposal): re-check at once. The event is cleared so
            // that a Terminated set and cleared again cannot leave the poller spinning.
            if (job.Wake.Wait(PollPeriod) && !job.Aborted) job.Wake.Reset();
        }
        if (job.Aborted) return;
        m_bTerminated = true;
        OnSuccess?.Invoke(this);
    }
}
