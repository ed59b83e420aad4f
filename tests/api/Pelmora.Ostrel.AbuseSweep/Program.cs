using System;
using System.Collections;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Threading;
using System.Xml.Linq;
using Pelmora.Ostrel;

namespace Pelmora.Ostrel.AbuseSweep;

/// <summary>
/// Calls every public constructor, method and property of every public class of the public layer
/// with bad arguments: null, a disposed object, out-of-range and extreme numbers, not-a-number,
/// empty and unpaired-surrogate texts, enum values outside their range, cancelled tokens. One
/// argument is bad at a time, the others good; instance members are also called on a disposed
/// object. Each call must return or throw one of the exceptions a caller can act on (argument,
/// disposed object, invalid operation, cancelled, memory, I/O) or one its XML documentation
/// names; any other exception is a finding,
/// and a crash ends the process, which the test that started it reports with the call it was
/// making (the last line of the call log).
/// </summary>
/// <remarks>
/// Usage: Pelmora.Ostrel.AbuseSweep CALL_LOG (or --lifetime-and-size: see
/// <see cref="LifetimeAndSizeCases"/>). Prints "members M calls C findings F", then one
/// line per finding; exit status 0 when the sweep ran to its end (findings or not), 3 when a
/// call hung.
/// </remarks>
internal static class Program
{
    /// <summary>A call that takes longer than this has hung.</summary>
    private static readonly TimeSpan HangLimit = TimeSpan.FromSeconds(60);

    /// <summary>Exceptions a caller can act on: the answer the public layer owes to bad input.</summary>
    private static readonly Type[] Acceptable =
    {
        typeof(ArgumentException), typeof(ObjectDisposedException), typeof(InvalidOperationException),
        typeof(OperationCanceledException), typeof(OutOfMemoryException), typeof(IOException),
        typeof(UnauthorizedAccessException), typeof(NotSupportedException), typeof(OverflowException),
    };

    /// <summary>
    /// Members left out, with the reason: thread bodies that run until their switch goes off, and
    /// the shut-down, which the sweep calls once at its end.
    /// </summary>
    private static readonly Dictionary<string, string> Excluded = new()
    {
        ["Xfn.CleanGCMapSCThread"] = "thread body",
        ["Xfn.CleanGCMapVCThread"] = "thread body",
        ["Xfn.CleanGCMapFTThread"] = "thread body",
        ["Xfn.Close"] = "called once at the end",
    };

    /// <summary>Exceptions the XML documentation names, by "Type.Member" (any overload).</summary>
    private static readonly Dictionary<string, HashSet<string>> s_documented = ReadDocumentedExceptions();

    private static StreamWriter s_log = StreamWriter.Null;
    private static long s_callStarted; // Stopwatch ticks of the running call's start, 0 between calls
    private static readonly Stopwatch s_clock = Stopwatch.StartNew();
    private static readonly List<string> s_findings = new();
    private static int s_calls;

    private static int Main(string[] args)
    {
        if (args.Length > 0 && args[0] == "--lifetime-and-size") return LifetimeAndSizeCases.Run();
        s_log = new StreamWriter(args.Length > 0 ? args[0] : "abuse-sweep.log") { AutoFlush = true };
        StartWatchdog();
        Assembly assembly = typeof(Xfn).Assembly;
        int members = 0;
        foreach (Type type in assembly.GetExportedTypes().Where(IsSweptClass).OrderBy(t => t.Name))
        {
            foreach (MemberInfo member in SweptMembers(type))
            {
                if (Excluded.ContainsKey($"{type.Name}.{member.Name}")) continue;
                ++members;
                Sweep(type, member);
            }
        }

        // The end: the shut-down once, and twice, which must be harmless.
        Call("Xfn.Close()", () => Xfn.Close());
        Call("Xfn.Close(true)", () => Xfn.Close(true));
        ++members;

        Console.WriteLine($"members {members} calls {s_calls} findings {s_findings.Count}");
        foreach (string finding in s_findings) Console.WriteLine(finding);
        Console.Out.Flush();
        // Threads a member started (the registries' cleaners are foreground threads) must not
        // keep the process alive.
        Environment.Exit(0);
        return 0;
    }

    private static bool IsSweptClass(Type t) =>
        t.IsClass && !typeof(Delegate).IsAssignableFrom(t) && !t.IsGenericTypeDefinition;

    /// <summary>Public constructors and methods (property accessors and event accessors
    /// included) declared by the type or by another public-layer type it derives from.</summary>
    private static IEnumerable<MemberInfo> SweptMembers(Type type)
    {
        const BindingFlags flags = BindingFlags.Public | BindingFlags.Instance | BindingFlags.Static;
        foreach (ConstructorInfo c in type.GetConstructors(flags)) yield return c;
        foreach (MethodInfo m in type.GetMethods(flags).OrderBy(m => m.Name).ThenBy(m => m.GetParameters().Length))
        {
            if (m.DeclaringType?.Assembly != type.Assembly || m.IsGenericMethodDefinition) continue;
            if (m.IsAbstract) continue;
            yield return m;
        }
    }

    /// <summary>Calls the member with good arguments, then with each argument bad in turn; an
    /// instance member also on a fresh object and on a disposed one.</summary>
    private static void Sweep(Type type, MemberInfo member)
    {
        var method = (MethodBase)member;
        ParameterInfo[] parameters = method.GetParameters();
        if (parameters.Any(p => p.ParameterType.IsByRefLike || (p.ParameterType.IsByRef && p.ParameterType.GetElementType()!.IsByRefLike)))
        {
            // Spans cannot pass through reflection; their array forms are swept instead.
            return;
        }

        // Good arguments are made afresh for every call, since a call disposes the objects it
        // was given.
        object?[] Good() => parameters.Select(p => Program.Good(Element(p.ParameterType), 0)).ToArray();
        var variants = new List<(string, Func<object?[]>)> { ("good", Good) };
        for (int i = 0; i < parameters.Length; ++i)
        {
            int index = i;
            foreach (object? bad in Bad(Element(parameters[i].ParameterType)))
            {
                variants.Add(($"{parameters[i].Name}={Describe(bad)}", () =>
                {
                    object?[] args = Good();
                    args[index] = bad;
                    return args;
                }));
            }
        }

        bool instance = !method.IsStatic && method is not ConstructorInfo;
        foreach (var (what, args) in variants)
        {
            if (instance)
                Call($"{type.Name}.{method.Name}({what}) on a fresh object", () => Invoke(method, Fresh(type), args()));
            else
                Call($"{type.Name}.{method.Name}({what})", () => Invoke(method, null, args()));
        }
        if (instance && typeof(IDisposable).IsAssignableFrom(type))
        {
            Call($"{type.Name}.{method.Name}(good) on a disposed object", () =>
            {
                object? target = Fresh(type);
                (target as IDisposable)?.Dispose();
                Invoke(method, target, Good());
            });
        }
    }

    private static Type Element(Type t) => t.IsByRef ? t.GetElementType()! : t;

    /// <summary>Invokes the member, then disposes what it made and was given.</summary>
    private static void Invoke(MethodBase method, object? target, object?[] args)
    {
        try
        {
            object? result = method is ConstructorInfo c ? c.Invoke(args) : method.Invoke(target, args);
            (result as IDisposable)?.Dispose();
        }
        finally
        {
            foreach (object? a in args) (a as IDisposable)?.Dispose();
            (target as IDisposable)?.Dispose();
        }
    }

    /// <summary>Runs one call, logging it first so that a crash names it, and sorts its
    /// outcome.</summary>
    private static void Call(string what, Action action)
    {
        ++s_calls;
        s_log.WriteLine(what);
        Interlocked.Exchange(ref s_callStarted, s_clock.ElapsedTicks | 1);
        try
        {
            action();
        }
        catch (Exception e)
        {
            Exception inner = e is TargetInvocationException { InnerException: { } x } ? x : e;
            if (!Acceptable.Any(t => t.IsInstanceOfType(inner)) && !Documented(what, inner))
                s_findings.Add($"{what}: {inner.GetType().Name}: {inner.Message}");
        }
        finally
        {
            Interlocked.Exchange(ref s_callStarted, 0);
        }
    }

    /// <summary>True when the member's XML documentation names the exception's type.</summary>
    private static bool Documented(string what, Exception e)
    {
        string member = what[..what.IndexOf('(')];
        return s_documented.TryGetValue(member, out HashSet<string>? types) && types.Contains(e.GetType().FullName!);
    }

    /// <summary>Reads the exception elements of the public layer's XML documentation file, which
    /// the build places beside the assembly.</summary>
    private static Dictionary<string, HashSet<string>> ReadDocumentedExceptions()
    {
        var result = new Dictionary<string, HashSet<string>>();
        string file = Path.ChangeExtension(typeof(Xfn).Assembly.Location, ".xml");
        foreach (XElement member in XDocument.Load(file).Descendants("member"))
        {
            // "M:Pelmora.Ostrel.XColorTable.SetCLT(System.Int32,...)" -> "XColorTable.SetCLT".
            string name = member.Attribute("name")!.Value;
            int paren = name.IndexOf('(');
            string[] parts = (paren < 0 ? name : name[..paren]).Split('.');
            if (parts.Length < 2) continue;
            string key = $"{parts[^2]}.{parts[^1].Replace("#ctor", ".ctor")}";
            foreach (XElement exception in member.Elements("exception"))
            {
                string cref = exception.Attribute("cref")?.Value ?? "";
                if (!result.TryGetValue(key, out HashSet<string>? types)) result[key] = types = new HashSet<string>();
                types.Add(cref.StartsWith("T:", StringComparison.Ordinal) ? cref[2..] : cref);
            }
        }
        return result;
    }

    /// <summary>Ends the process with status 3, naming the call, when a call hangs.</summary>
    private static void StartWatchdog()
    {
        var watchdog = new Thread(() =>
        {
            while (true)
            {
                Thread.Sleep(1000);
                long started = Interlocked.Read(ref s_callStarted);
                if (started != 0 && s_clock.ElapsedTicks - started > HangLimit.TotalSeconds * Stopwatch.Frequency)
                {
                    s_log.WriteLine("HANG");
                    Console.WriteLine("a call hung: see the last line of the call log");
                    Console.Out.Flush();
                    Environment.Exit(3);
                }
            }
        }) { IsBackground = true };
        watchdog.Start();
    }

    // ---- Argument values -------------------------------------------------------------------

    /// <summary>A good value of the type: small positive numbers, short texts, the first defined
    /// enum value that is not zero, fresh objects of the public layer.</summary>
    private static object? Good(Type t, int depth)
    {
        if (t == typeof(int)) return 2;
        if (t == typeof(uint)) return 2u;
        if (t == typeof(long)) return 2L;
        if (t == typeof(ulong)) return 2UL;
        if (t == typeof(short)) return (short)2;
        if (t == typeof(ushort)) return (ushort)2;
        if (t == typeof(byte)) return (byte)2;
        if (t == typeof(sbyte)) return (sbyte)2;
        if (t == typeof(double)) return 0.5;
        if (t == typeof(float)) return 0.5f;
        if (t == typeof(bool)) return true;
        if (t == typeof(char)) return 'x';
        if (t == typeof(string)) return "x";
        if (t == typeof(IntPtr)) return IntPtr.Zero;
        if (t == typeof(CancellationToken)) return CancellationToken.None;
        if (t == typeof(object)) return new object();
        if (t.IsEnum)
        {
            Array values = Enum.GetValues(t);
            foreach (object v in values) if (Convert.ToInt64(v) != 0) return v;
            return values.Length > 0 ? values.GetValue(0) : Activator.CreateInstance(t);
        }
        if (t.IsPointer || typeof(Delegate).IsAssignableFrom(t) || t.IsInterface && !IsList(t)) return null;
        if (t.IsArray)
        {
            Type e = t.GetElementType()!;
            Array a = Array.CreateInstance(e, 16);
            for (int i = 0; i < a.Length; ++i) a.SetValue(Good(e, depth + 1), i);
            return a;
        }
        if (IsList(t))
        {
            Type e = t.GetGenericArguments()[0];
            var list = (IList)Activator.CreateInstance(typeof(List<>).MakeGenericType(e))!;
            for (int i = 0; i < 8; ++i) list.Add(Good(e, depth + 1));
            return list;
        }
        if (t.IsValueType) return Activator.CreateInstance(t);
        return depth < 3 ? Fresh(t, depth + 1) : null;
    }

    private static bool IsList(Type t) =>
        t.IsGenericType && t.GetGenericArguments().Length == 1 &&
        t.IsAssignableFrom(typeof(List<>).MakeGenericType(t.GetGenericArguments()[0]));

    /// <summary>Bad values of the type, one at a time.</summary>
    private static IEnumerable<object?> Bad(Type t)
    {
        if (t == typeof(int)) return new object?[] { 0, -1, int.MinValue, int.MaxValue, 1 << 20 };
        if (t == typeof(uint)) return new object?[] { 0u, uint.MaxValue };
        if (t == typeof(long)) return new object?[] { -1L, long.MinValue, long.MaxValue };
        if (t == typeof(ulong)) return new object?[] { ulong.MaxValue };
        if (t == typeof(short)) return new object?[] { (short)-1, short.MinValue, short.MaxValue };
        if (t == typeof(ushort)) return new object?[] { ushort.MaxValue };
        if (t == typeof(byte)) return new object?[] { (byte)0, byte.MaxValue };
        if (t == typeof(sbyte)) return new object?[] { sbyte.MinValue };
        if (t == typeof(double))
            return new object?[] { double.NaN, double.PositiveInfinity, double.NegativeInfinity, double.MaxValue, -double.MaxValue, double.Epsilon, 0.0 };
        if (t == typeof(float))
            return new object?[] { float.NaN, float.PositiveInfinity, float.NegativeInfinity, float.MaxValue, -float.MaxValue, 0f };
        if (t == typeof(bool)) return new object?[] { false };
        if (t == typeof(char)) return new object?[] { '\0', '\uD800' };
        if (t == typeof(string)) return new object?[] { null, "", "\0", "\uD800", new string('\u00E9', 100000) };
        if (t == typeof(CancellationToken)) return new object?[] { new CancellationToken(true) };
        if (t.IsEnum)
        {
            Type u = Enum.GetUnderlyingType(t);
            var raw = new List<object?>();
            foreach (long v in new[] { -1L, int.MaxValue, int.MinValue, 1000L })
            {
                try { raw.Add(Enum.ToObject(t, Convert.ChangeType(v, u))); }
                catch (OverflowException) { }
            }
            return raw.Where(v => !Enum.IsDefined(t, v!));
        }
        if (t.IsArray) return new object?[] { null, Array.CreateInstance(t.GetElementType()!, 0) };
        if (IsList(t))
        {
            Type e = t.GetGenericArguments()[0];
            var empty = (IList)Activator.CreateInstance(typeof(List<>).MakeGenericType(e))!;
            var withNull = (IList)Activator.CreateInstance(typeof(List<>).MakeGenericType(e))!;
            if (!e.IsValueType) withNull.Add(null);
            return new object?[] { null, empty, withNull };
        }
        if (t.IsValueType || t.IsPointer || t == typeof(IntPtr)) return Array.Empty<object?>();
        var bad = new List<object?> { null };
        if (t.Assembly == typeof(Xfn).Assembly && typeof(IDisposable).IsAssignableFrom(t) && !t.IsAbstract)
        {
            object? disposed = Fresh(t);
            (disposed as IDisposable)?.Dispose();
            if (disposed != null) bad.Add(disposed);
        }
        return bad;
    }

    /// <summary>A fresh object of a public-layer class: through the constructor with the most
    /// parameters of simple types (a sized grid rather than an empty one), else the
    /// parameterless one; null when neither exists or it throws.</summary>
    private static object? Fresh(Type t, int depth = 0)
    {
        if (t.IsAbstract || t.IsInterface) return null;
        ConstructorInfo? best = t.GetConstructors()
            .Where(c => c.GetParameters().All(p => IsSimple(p.ParameterType)))
            .OrderByDescending(c => c.GetParameters().Length)
            .FirstOrDefault();
        if (best == null) return null;
        try
        {
            return best.Invoke(best.GetParameters().Select(p => Good(p.ParameterType, depth + 1)).ToArray());
        }
        catch (Exception)
        {
            return null;
        }
    }

    private static bool IsSimple(Type t) =>
        t.IsPrimitive && t != typeof(IntPtr) && t != typeof(UIntPtr) || t.IsEnum || t == typeof(string);

    private static string Describe(object? v) => v switch
    {
        null => "null",
        string s when s.Length > 16 => $"string({s.Length})",
        string s => $"\"{string.Concat(s.Select(ch => ch is < ' ' or > '~' ? $"\\u{(int)ch:X4}" : ch.ToString()))}\"",
        IDisposable d => $"disposed {d.GetType().Name}",
        Array a => $"{a.GetType().Name}[{a.Length}]",
        IList l => $"list({l.Count})",
        _ => v.ToString() ?? "?",
    };
}
