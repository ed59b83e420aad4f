using System;
using System.Collections.Generic;
using System.Linq;
using Xunit;

namespace Pelmora.Ostrel.Tests;

public class XfnRegistryTests : RegistryTestBase
{
    /// <summary>One registry collection: how to register into it, where the keys land, and which
    /// protocol its objects follow.</summary>
    internal sealed record Target(string Name, bool IsSC, Func<int, IntPtr> New, Action<IntPtr> Add,
                                 Func<IEnumerable<long>?> Keys, Func<IntPtr, bool> Lookup, Action<IntPtr> Remove);

    internal static readonly Target[] Targets =
    {
        new("SC scene", true, Doubles.NewScene, Xfn.AddToGCMapSC, () => Xfn.m_GCMapScene, Xfn.LookupGCMapSC, Xfn.RemoveFromGCMapSC),
        new("SC other", true, Doubles.NewSCObject, Xfn.AddToGCMapSC, () => Xfn.m_GCMapSC?.Keys, Xfn.LookupGCMapSC, Xfn.RemoveFromGCMapSC),
        new("VC base", false, Doubles.NewObject, p => Xfn.AddToGCMapVC(p, -2), () => Xfn.m_GCMapVCBase, Xfn.LookupGCMapVC, Xfn.RemoveFromGCMapVC),
        new("VC layer", false, Doubles.NewObject, p => Xfn.AddToGCMapVC(p, -1), () => Xfn.m_GCMapVCLayer, Xfn.LookupGCMapVC, Xfn.RemoveFromGCMapVC),
        new("VC object", false, Doubles.NewObject, p => Xfn.AddToGCMapVC(p, 0), () => Xfn.m_GCMapVCObj?.Keys, Xfn.LookupGCMapVC, Xfn.RemoveFromGCMapVC),
        new("VC type -3", false, Doubles.NewObject, p => Xfn.AddToGCMapVC(p, -3), () => Xfn.m_GCMapVCObj?.Keys, Xfn.LookupGCMapVC, Xfn.RemoveFromGCMapVC),
        new("FT data source", false, Doubles.NewObject, Xfn.AddToGCMapFTDataSource, () => Xfn.m_GCMapFTDataSource, Xfn.LookupGCMapFT, Xfn.RemoveFromGCMapFT),
        new("FT layer", false, Doubles.NewObject, Xfn.AddToGCMapFTLayer, () => Xfn.m_GCMapFTLayer, Xfn.LookupGCMapFT, Xfn.RemoveFromGCMapFT),
        new("FT feature", false, Doubles.NewObject, Xfn.AddToGCMapFTFeature, () => Xfn.m_GCMapFTFeature, Xfn.LookupGCMapFT, Xfn.RemoveFromGCMapFT),
        new("FT geometry", false, Doubles.NewObject, Xfn.AddToGCMapFTGeom, () => Xfn.m_GCMapFTGeom?.Keys, Xfn.LookupGCMapFT, Xfn.RemoveFromGCMapFT),
        new("Generic", false, Doubles.NewObject, Xfn.AddToGCMapGeneric, () => Xfn.m_GCMapGeneric?.Keys, Xfn.LookupGCMapGeneric, Xfn.RemoveFromGCMapGeneric),
    };

    internal static int ReferCount(Target t, IntPtr p) => t.IsSC ? Doubles.SCReferCount(p) : Doubles.ObjectReferCount(p);

    internal static void Drop(Target t, IntPtr p)
    {
        if (t.IsSC) Doubles.SCRelease(p);
        else Doubles.ObjectUnref(p);
    }

    [Fact]
    public void RegisteringTwiceKeepsOneKeyAndSCTakesOneReference()
    {
        WithoutCleaningThreads();
        foreach (Target t in Targets)
        {
            IntPtr p = t.New(1);
            Assert.False(t.Lookup(p), t.Name);
            t.Add(p);
            t.Add(p);
            // SC: the creator's reference and one of the registry's; the others take none.
            Assert.Equal((t.Name, t.IsSC ? 2 : 1), (t.Name, ReferCount(t, p)));
            Assert.Equal((t.Name, 1), (t.Name, t.Keys()!.Count(k => k == p.ToInt64())));
            Assert.True(t.Lookup(p), t.Name);

            // Removal passes the registry's reference back to the caller and touches nothing.
            t.Remove(p);
            t.Remove(p);
            Assert.False(t.Lookup(p), t.Name);
            Assert.Equal((t.Name, t.IsSC ? 2 : 1), (t.Name, ReferCount(t, p)));
            if (t.IsSC) Drop(t, p);
            Drop(t, p);
        }
        Doubles.Counters c = Doubles.Count();
        // Every object ended by its creator; each SC object gave one reference to the registry.
        Assert.Equal((11L, 2L, 4L, 0L), (c.SCDestroyed + c.ObjectsDestroyed, c.SCRefsAdded, c.SCRefsReleased, c.UsedAfterDestruction));

        // Lookups never touch the object, so a pointer that is no object is fine; null is ignored
        // where an SC object would have to be asked for its class.
        Xfn.AddToGCMapSC(IntPtr.Zero);
        Xfn.RemoveFromGCMapSC(IntPtr.Zero);
        Assert.False(Xfn.LookupGCMapSC(IntPtr.Zero));
        Assert.False(Xfn.LookupGCMapVC(new IntPtr(8)));
        Xfn.EmptyGCMapSC();
        Assert.False(Xfn.LookupGCMapSC(new IntPtr(8)));
    }

    [Fact]
    public void CleanReleasesExactlyTheObjectsWithOneReference()
    {
        WithoutCleaningThreads();
        LineRecorder console = RecordConsole();
        CleanAll();
        Assert.Empty(console.Lines);  // nothing to clean before the registries exist

        // Per collection, objects whose counts after registration will be 1 (released), 2 and 3
        // (kept), in an order with neighbouring releases, so a walk that drops keys from the
        // collection it walks skips one of them.
        int[] counts = { 1, 1, 2, 1, 3, 1, 1 };
        var kept = new List<(Target, IntPtr, int)>();
        int tag = 0;
        foreach (Target t in Targets.Where(t => t.Name != "Generic"))
            foreach (int count in counts)
            {
                IntPtr p = t.New(++tag);
                t.Add(p);
                // SC: drop the creator's reference, leaving the registry's; the creator's
                // reference is the one VC and FT release at.
                if (t.IsSC) Drop(t, p);
                for (int extra = 1; extra < count; ++extra)
                    if (t.IsSC) Doubles.SCAddRef(p);
                    else Doubles.ObjectRef(p);
                if (count > 1) kept.Add((t, p, count));
            }

        CleanAll();
        Assert.Equal(new[] { "Run CleanGCMapSC", "Run CleanGCMapVC", "Run CleanGCMapFT" }, console.Lines.Select(l => l.Line));
        int released = 5 * (Targets.Length - 1);
        Doubles.Counters c = Doubles.Count();
        Assert.Equal((released, 0L, 0L), (c.SCDestroyed + c.ObjectsDestroyed, c.DestroyedWhileReferenced, c.UsedAfterDestruction));
        foreach (var (t, p, count) in kept)
        {
            Assert.True(t.Lookup(p), t.Name);
            Assert.Equal((t.Name, count), (t.Name, ReferCount(t, p)));
        }
        Assert.Equal(kept.Select(k => k.Item2.ToInt64()).Order(), CleanedKeys().Order());

        // A second pass finds nothing new and never touches the destroyed objects again.
        CleanAll();
        c = Doubles.Count();
        Assert.Equal((released, 0L), (c.SCDestroyed + c.ObjectsDestroyed, c.UsedAfterDestruction));

        // Once a holder lets go, the next pass releases the object.
        foreach (var (t, p, count) in kept)
            for (int extra = 1; extra < count; ++extra) Drop(t, p);
        CleanAll();
        c = Doubles.Count();
        Assert.Equal((released + kept.Count, 0L), (c.SCDestroyed + c.ObjectsDestroyed, c.UsedAfterDestruction));
        Assert.Empty(CleanedKeys());
    }

    internal static void CleanAll()
    {
        Xfn.CleanGCMapSC();
        Xfn.CleanGCMapVC();
        Xfn.CleanGCMapFT();
    }

    /// <summary>The keys of every collection that a clean pass walks.</summary>
    private static IEnumerable<long> CleanedKeys() =>
        new IEnumerable<long>?[]
        {
            Xfn.m_GCMapScene, Xfn.m_GCMapSC?.Keys, Xfn.m_GCMapVCBase, Xfn.m_GCMapVCLayer, Xfn.m_GCMapVCObj?.Keys,
            Xfn.m_GCMapFTDataSource, Xfn.m_GCMapFTLayer, Xfn.m_GCMapFTFeature, Xfn.m_GCMapFTGeom?.Keys,
        }.SelectMany(keys => keys!).ToList();

    [Fact]
    public void HostObjectListKeepsDuplicatesAndRemovesTheFirst()
    {
        var a = new object();
        var b = new object();
        Xfn.RemoveFromGCArray(a);  // before the list exists
        foreach (object? o in new[] { a, b, a, null })
            Xfn.AddToGCArray(o);
        Xfn.RemoveFromGCArray(a);
        Xfn.RemoveFromGCArray(null);
        Xfn.RemoveFromGCArray(new object());
        Assert.Equal(new[] { b, a, null }, Xfn.m_GCArray!);
    }
}
