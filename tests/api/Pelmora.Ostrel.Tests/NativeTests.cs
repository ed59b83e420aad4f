using System;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using Pelmora.Ostrel;
using Xunit;

namespace Pelmora.Ostrel.Tests;

/// <summary>The bindings of the C surface.</summary>
public class NativeTests
{
    [Fact]
    public void EveryBindingNamesAnExportOfTheNativeLibrary()
    {
        // A binding whose entry point is misspelt or was never exported fails only when it is first
        // called; this finds every one of them at once.
        var bindings = typeof(Native).Assembly.GetTypes()
            .SelectMany(t => t.GetMethods(BindingFlags.Static | BindingFlags.Public | BindingFlags.NonPublic |
                                          BindingFlags.DeclaredOnly))
            .Select(m => (Method: m, Import: m.GetCustomAttribute<LibraryImportAttribute>()))
            .Where(b => b.Import is not null)
            .ToArray();
        Assert.NotEmpty(bindings);

        IntPtr library = NativeLibrary.Load(Native.Library, typeof(Native).Assembly, null);
        // Each binding has a PascalCase name and names an exported ostrel_ function as its EntryPoint.
        bool Sound(MethodInfo method, string? entry) =>
            entry is not null && entry.StartsWith("ostrel_", StringComparison.Ordinal) &&
            char.IsUpper(method.Name[0]) && NativeLibrary.TryGetExport(library, entry, out _);
        string[] wrong = bindings
            .Where(b => !Sound(b.Method, b.Import!.EntryPoint))
            .Select(b => $"{b.Method.DeclaringType!.Name}.{b.Method.Name} -> {b.Import!.EntryPoint ?? "(none)"}")
            .ToArray();
        Assert.Empty(wrong);
    }
}
