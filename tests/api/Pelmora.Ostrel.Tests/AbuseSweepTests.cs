using System;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Threading.Tasks;
using Xunit;
using Xunit.Abstractions;

namespace Pelmora.Ostrel.Tests;

/// <summary>The public surface under abuse: every public member of every public class called with
/// bad arguments by the sweep program, in a process of its own so that a crash fails this test
/// with the call that caused it instead of ending the test run.</summary>
public class AbuseSweepTests
{
    private readonly ITestOutputHelper m_output;

    public AbuseSweepTests(ITestOutputHelper output) => m_output = output;

    /// <summary>Runs the sweep program with <paramref name="argument"/> in
    /// <paramref name="dir"/>: its exit status, output and error output.</summary>
    private static async Task<(int Status, string Stdout, string Stderr)> RunSweep(string dir, string argument)
    {
        string sweep = Path.Combine(AppContext.BaseDirectory, "Pelmora.Ostrel.AbuseSweep.dll");
        Assert.True(File.Exists(sweep), sweep);
        var start = new ProcessStartInfo("dotnet") { WorkingDirectory = dir, RedirectStandardOutput = true, RedirectStandardError = true };
        start.ArgumentList.Add(sweep);
        start.ArgumentList.Add(argument);
        using Process process = Process.Start(start)!;
        Task<string> stderrRead = process.StandardError.ReadToEndAsync();
        string stdout = await process.StandardOutput.ReadToEndAsync();
        string stderr = await stderrRead;
        Assert.True(process.WaitForExit(TimeSpan.FromMinutes(5)), "the sweep did not end within five minutes");
        return (process.ExitCode, stdout, stderr);
    }

    [Fact]
    public async Task EveryPublicMemberAnswersBadArgumentsWithoutCrashing()
    {
        string dir = Directory.CreateTempSubdirectory("tivra-sweep-").FullName;
        string log = Path.Combine(dir, "calls.log");
        try
        {
            // The sweep runs in a scratch directory, since a bad path may name a file there.
            var (status, stdout, stderr) = await RunSweep(dir, log);
            string lastCall = File.Exists(log) ? File.ReadLines(log).LastOrDefault() ?? "" : "";
            m_output.WriteLine(stdout);
            Assert.True(status == 0, $"the sweep ended with status {status} during: {lastCall}\n{stdout}\n{stderr}");

            // "members M calls C findings F", then the findings.
            string summary = stdout.Split('\n').First(l => l.StartsWith("members ", StringComparison.Ordinal));
            string[] words = summary.Split(' ');
            int members = int.Parse(words[1]), calls = int.Parse(words[3]), findings = int.Parse(words[5]);
            Assert.True(members > 250 && calls > 2000, summary);
            Assert.True(findings == 0, stdout);
        }
        finally
        {
            Directory.Delete(dir, true);
        }
    }

    /// <summary>A grid whose byte count overflows is refused; disposing a run's grids, mapping or
    /// resampler from another thread, or closing the library, while the run uses them lets the
    /// run complete with its full result and releases the objects after it (a crash here ends the
    /// child process, not the test run).</summary>
    [Fact]
    public async Task OversizedGridsAndDisposalDuringARunCannotCrash()
    {
        var (status, stdout, stderr) = await RunSweep(Path.GetTempPath(), "--lifetime-and-size");
        Assert.True(status == 0, $"status {status}\n{stdout}\n{stderr}");
        Assert.Contains("failures 0", stdout);
    }
}
