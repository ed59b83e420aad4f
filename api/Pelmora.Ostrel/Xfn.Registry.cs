using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;

namespace Pelmora.Ostrel;

// The registries through which public classes, of this library and of sibling libraries, hand
// over native objects whose lifetime the collector cannot see. A registered object is released
// later: by its family's cleaning thread once nothing but the registry (SC) or its creator (VC,
// FT) still references it, or at the latest when Close empties every registry.
//
// Families and their protocols:
//   SC (scene objects)         slot 0 of the object's virtual table adds a reference, slot 2
//                              returns its class name as zero-terminated 8-bit text, slot 3
//                              releases a reference; the reference count is the object's fourth
//                              32-bit word. Registering takes a reference, which the registry
//                              releases.
//   VC (vector objects), FT (features, geometries, layers, data sources), Generic
//                              XObjects: the count is GetReferCount, and the registry destroys
//                              the object through its virtual destructor. Registering takes no
//                              reference: the creator's reference is the one the registry ends.
//
// Locking: every list and map is locked on its own monitor (the collection object), one at a time,
// never two at once. A family's collections are created together on first use under a creation
// monitor of the family, which is never held with a collection's.
public static partial class Xfn
{
    // ---- registries: null until first used, null again after their empty operation ----------

    /// <summary>Public objects to dispose at <see cref="Close()"/>, duplicates allowed.</summary>
    internal static volatile List<object?>? m_GCArray;

    /// <summary>SC objects other than scenes; the map serves as a set (every value is 0).</summary>
    internal static volatile Dictionary<long, int>? m_GCMapSC;
    /// <summary>SC objects whose class name is "XScene".</summary>
    internal static volatile List<long>? m_GCMapScene;

    /// <summary>VC objects registered with any type but −1 and −2 (a set).</summary>
    internal static volatile Dictionary<long, int>? m_GCMapVCObj;
    /// <summary>VC objects registered with type −1.</summary>
    internal static volatile List<long>? m_GCMapVCLayer;
    /// <summary>VC objects registered with type −2.</summary>
    internal static volatile List<long>? m_GCMapVCBase;

    /// <summary>FT geometries (a set).</summary>
    internal static volatile Dictionary<long, int>? m_GCMapFTGeom;
    internal static volatile List<long>? m_GCMapFTFeature;
    internal static volatile List<long>? m_GCMapFTLayer;
    internal static volatile List<long>? m_GCMapFTDataSource;

    /// <summary>Generic objects (a set); no cleaning thread.</summary>
    internal static volatile Dictionary<long, int>? m_GCMapGeneric;

    /// <summary>The cleaning thread of each family, started by the family's first registration
    /// when its switch is on.</summary>
    internal static volatile Thread? m_GCMapSCThread;
    internal static volatile Thread? m_GCMapVCThread;
    internal static volatile Thread? m_GCMapFTThread;

    // Creation monitors of the families and of the object list: two threads registering the
    // first objects at once create one set of collections and start one thread.
    private static readonly object s_GCArrayCreation = new();
    private static readonly object s_SCCreation = new();
    private static readonly object s_VCCreation = new();
    private static readonly object s_FTCreation = new();
    private static readonly object s_GenericCreation = new();

    // ---- cleaning threads: timing ------------------------------------------------------------

    /// <summary>Private memory above which the process is under memory pressure: 1 GiB.</summary>
    private const ulong MemoryPressureBytes = 1073741824;

    /// <summary>Under memory pressure a family is cleaned once more polls than this have passed
    /// since its last clean, that is about every 11 seconds.</summary>
    private const int PressureCleanPolls = 10;

    /// <summary>The cleaning interval grows up to this multiple of
    /// <see cref="m_nDefaultAutoCleanGCMapTime"/>: 10 × 30 = 300 seconds.</summary>
    private const int MaxIntervalFactor = 10;

    /// <summary>A cleaning thread polls once per second.</summary>
    private const int PollMilliseconds = 1000;

    /// <summary>
    /// How a cleaning thread waits between polls. The loop measures time only by counting these
    /// waits, so tests replace it to run the interval rules in virtual time.
    /// </summary>
    internal static volatile Action<int> m_GCSleep = Thread.Sleep;

    /// <summary>
    /// The process's private memory in bytes (RssAnon), read once per poll; replaced by tests to
    /// simulate memory pressure.
    /// </summary>
    internal static volatile Func<ulong> m_GCPrivateMemory = Native.Env.GetProcessPrivateMemory;

    // ---- the two object protocols ------------------------------------------------------------

    private enum Protocol
    {
        SC,
        XObject,
    }

    /// <summary>Byte offset of an SC object's reference count: its fourth 32-bit word.</summary>
    private const int SCReferCountOffset = 12;

    /// <summary>Slots of an SC object's virtual table.</summary>
    private const int SCSlotAddRef = 0;
    private const int SCSlotClassName = 2;
    private const int SCSlotRelease = 3;

    /// <summary>Class name of the SC objects kept in the scene list.</summary>
    private const string SCSceneClassName = "XScene";

    private static unsafe void* SCSlot(IntPtr obj, int slot) => (*(void***)obj)[slot];

    private static unsafe void SCAddRef(IntPtr obj) =>
        ((delegate* unmanaged<IntPtr, void>)SCSlot(obj, SCSlotAddRef))(obj);

    private static unsafe void SCRelease(IntPtr obj) =>
        ((delegate* unmanaged<IntPtr, void>)SCSlot(obj, SCSlotRelease))(obj);

    private static unsafe bool SCIsScene(IntPtr obj)
    {
        IntPtr name = ((delegate* unmanaged<IntPtr, IntPtr>)SCSlot(obj, SCSlotClassName))(obj);
        return AnsiString.FromAnsi(name) == SCSceneClassName;
    }

    private static int ReferCount(IntPtr obj, Protocol protocol) =>
        protocol == Protocol.SC ? Marshal.ReadInt32(obj, SCReferCountOffset) : Native.Registry.GetReferCount(obj);

    /// <summary>Releases the registry's hold on an object: SC releases one reference, an XObject
    /// is destroyed.</summary>
    private static void Release(IntPtr obj, Protocol protocol)
    {
        if (protocol == Protocol.SC)
            SCRelease(obj);
        else
            Native.Registry.Delete(obj);
    }

    // ---- passes over one collection ------------------------------------------------------------

    /// <summary>
    /// The clean rule over one collection: under its lock, walk a snapshot of its keys and, for
    /// each non-null key whose object has exactly one reference, release the object and drop the
    /// key, in the order the family asks for. The snapshot keeps the walk valid while keys leave
    /// the collection.
    /// </summary>
    private static void CleanPass(List<long>? list, Protocol protocol, bool releaseBeforeRemove)
    {
        if (list is null) return;
        lock (list)
        {
            foreach (long key in list.ToArray())
            {
                if (key == 0 || ReferCount(new IntPtr(key), protocol) != 1) continue;
                if (releaseBeforeRemove)
                {
                    Release(new IntPtr(key), protocol);
                    list.Remove(key);
                }
                else
                {
                    list.Remove(key);
                    Release(new IntPtr(key), protocol);
                }
            }
        }
    }

    /// <inheritdoc cref="CleanPass(List{long}?, Protocol, bool)"/>
    private static void CleanPass(Dictionary<long, int>? map, Protocol protocol, bool releaseBeforeRemove)
    {
        if (map is null) return;
        lock (map)
        {
            foreach (long key in map.Keys.ToArray())
            {
                if (key == 0 || ReferCount(new IntPtr(key), protocol) != 1) continue;
                if (releaseBeforeRemove)
                {
                    Release(new IntPtr(key), protocol);
                    map.Remove(key);
                }
                else
                {
                    map.Remove(key);
                    Release(new IntPtr(key), protocol);
                }
            }
        }
    }

    /// <summary>Under the collection's lock, releases every registered object whatever its
    /// count (skipping null keys) and clears the collection.</summary>
    private static void EmptyPass(List<long>? list, Protocol protocol)
    {
        if (list is null) return;
        lock (list)
        {
            foreach (long key in list.ToArray())
                if (key != 0) Release(new IntPtr(key), protocol);
            list.Clear();
        }
    }

    /// <inheritdoc cref="EmptyPass(List{long}?, Protocol)"/>
    private static void EmptyPass(Dictionary<long, int>? map, Protocol protocol)
    {
        if (map is null) return;
        lock (map)
        {
            foreach (long key in map.Keys.ToArray())
                if (key != 0) Release(new IntPtr(key), protocol);
            map.Clear();
        }
    }

    /// <summary>Under the list's lock, appends the key unless it is present; true when it was
    /// appended.</summary>
    private static bool AddKey(List<long> list, long key)
    {
        lock (list)
        {
            if (list.Contains(key)) return false;
            list.Add(key);
            return true;
        }
    }

    /// <inheritdoc cref="AddKey(List{long}, long)"/>
    private static bool AddKey(Dictionary<long, int> map, long key)
    {
        lock (map)
            return map.TryAdd(key, 0);
    }

    private static bool HasKey(List<long>? list, long key)
    {
        if (list is null) return false;
        lock (list)
            return list.Contains(key);
    }

    private static bool HasKey(Dictionary<long, int>? map, long key)
    {
        if (map is null) return false;
        lock (map)
            return map.ContainsKey(key);
    }

    /// <summary>Under the collection's lock, removes the key; true when it was there.</summary>
    private static bool RemoveKey(List<long>? list, long key)
    {
        if (list is null) return false;
        lock (list)
            return list.Remove(key);
    }

    /// <inheritdoc cref="RemoveKey(List{long}?, long)"/>
    private static bool RemoveKey(Dictionary<long, int>? map, long key)
    {
        if (map is null) return false;
        lock (map)
            return map.Remove(key);
    }

    // ---- the list of host objects --------------------------------------------------------------

    /// <summary>Registers a public object to be disposed by <see cref="Close()"/> (if it is
    /// disposable), after the objects registered later. The same object may be registered more
    /// than once.</summary>
    /// <param name="obj">The object; null is kept too, and skipped by <see cref="Close()"/>.</param>
    public static void AddToGCArray(object? obj)
    {
        List<object?>? list = m_GCArray;
        if (list is null)
        {
            lock (s_GCArrayCreation)
                list = m_GCArray ??= new List<object?>();
        }
        lock (list)
            list.Add(obj);
    }

    /// <summary>Removes the first registration of an object (compared with Equals); does nothing
    /// for null, for an object that is not registered, and before the first registration.</summary>
    /// <param name="obj">The object.</param>
    public static void RemoveFromGCArray(object? obj)
    {
        List<object?>? list = m_GCArray;
        if (list is null || obj is null) return;
        lock (list)
        {
            int index = list.IndexOf(obj);
            if (index >= 0) list.RemoveAt(index);
        }
    }

    // ---- SC ------------------------------------------------------------------------------------

    private static void CreateSCOnFirstUse()
    {
        if (m_GCMapSC is not null) return;
        lock (s_SCCreation)
        {
            if (m_GCMapSC is not null) return;
            m_GCMapScene = new List<long>();
            m_GCMapSC = new Dictionary<long, int>();  // last: it marks the family as created
            if (m_bEnalbeAutoGCMapSC)
                m_GCMapSCThread = StartCleaningThread(CleanGCMapSCThread, nameof(CleanGCMapSCThread));
        }
    }

    /// <summary>
    /// Registers an SC object, taking one reference to it; registering it again takes none. The
    /// first call creates the SC registry and, when <see cref="EnableAutoGCMapSC"/> is on, starts
    /// its cleaning thread.
    /// </summary>
    /// <param name="pObj">The object (see the SC protocol above); null only creates the
    /// registry.</param>
    public static void AddToGCMapSC(IntPtr pObj)
    {
        CreateSCOnFirstUse();
        if (pObj == IntPtr.Zero) return;
        long key = pObj.ToInt64();
        if (SCIsScene(pObj))
        {
            List<long> scenes = m_GCMapScene!;
            lock (scenes)
            {
                if (scenes.Contains(key)) return;
                SCAddRef(pObj);
                scenes.Add(key);
            }
        }
        else
        {
            Dictionary<long, int> map = m_GCMapSC!;
            lock (map)
            {
                if (map.ContainsKey(key)) return;
                SCAddRef(pObj);
                map.Add(key, 0);
            }
        }
    }

    /// <summary>True when the SC object is registered (in the scene list or the map); false
    /// before the registry exists.</summary>
    /// <param name="pObj">The object; it is not touched.</param>
    /// <returns>Whether the object is registered.</returns>
    public static bool LookupGCMapSC(IntPtr pObj)
    {
        if (m_GCMapSC is null) return false;
        long key = pObj.ToInt64();
        return HasKey(m_GCMapScene, key) || HasKey(m_GCMapSC, key);
    }

    /// <summary>Unregisters an SC object without releasing the registry's reference, which passes
    /// to the caller. Null, and an object that is not registered, are ignored.</summary>
    /// <param name="pObj">The object; its class name says where it is registered.</param>
    public static void RemoveFromGCMapSC(IntPtr pObj)
    {
        if (pObj == IntPtr.Zero || m_GCMapSC is null) return;
        if (SCIsScene(pObj))
            RemoveKey(m_GCMapScene, pObj.ToInt64());
        else
            RemoveKey(m_GCMapSC, pObj.ToInt64());
    }

    /// <summary>One clean pass of the SC registry: writes "Run CleanGCMapSC" to the standard
    /// output, then releases the registry's reference to every object that has no other (count
    /// exactly 1) and unregisters it, in the map and then in the scene list.</summary>
    public static void CleanGCMapSC()
    {
        Dictionary<long, int>? map = m_GCMapSC;
        if (map is null) return;
        Console.WriteLine("Run CleanGCMapSC");
        CleanPass(map, Protocol.SC, releaseBeforeRemove: true);
        CleanPass(m_GCMapScene, Protocol.SC, releaseBeforeRemove: true);
    }

    /// <summary>Stops the SC cleaning thread for good, then releases the registry's reference to
    /// every SC object whatever its count (scenes first) and drops the registry.</summary>
    public static void EmptyGCMapSC()
    {
        StopCleaningThread(m_GCMapSCThread, () => m_bStopGCMapSCThread = true);
        m_GCMapSCThread = null;
        EmptyPass(m_GCMapScene, Protocol.SC);
        m_GCMapScene = null;
        EmptyPass(m_GCMapSC, Protocol.SC);
        m_GCMapSC = null;
    }

    // ---- VC ------------------------------------------------------------------------------------

    /// <summary>Type of a VC layer.</summary>
    private const int VCTypeLayer = -1;
    /// <summary>Type of a VC base.</summary>
    private const int VCTypeBase = -2;

    private static void CreateVCOnFirstUse()
    {
        if (m_GCMapVCObj is not null) return;
        lock (s_VCCreation)
        {
            if (m_GCMapVCObj is not null) return;
            m_GCMapVCLayer = new List<long>();
            m_GCMapVCBase = new List<long>();
            m_GCMapVCObj = new Dictionary<long, int>();  // last: it marks the family as created
            if (m_bEnalbeAutoGCMapVC)
                m_GCMapVCThread = StartCleaningThread(CleanGCMapVCThread, nameof(CleanGCMapVCThread));
        }
    }

    /// <summary>
    /// Registers a VC object (an XObject) without taking a reference; registering it again in the
    /// same collection does nothing. The first call creates the VC registry and, when
    /// <see cref="EnableAutoGCMapVC"/> is on, starts its cleaning thread.
    /// </summary>
    /// <param name="pObj">The object.</param>
    /// <param name="type">−2 for a base, −1 for a layer, anything else for another object.</param>
    public static void AddToGCMapVC(IntPtr pObj, int type)
    {
        CreateVCOnFirstUse();
        long key = pObj.ToInt64();
        if (type == VCTypeBase)
            AddKey(m_GCMapVCBase!, key);
        else if (type == VCTypeLayer)
            AddKey(m_GCMapVCLayer!, key);
        else
            AddKey(m_GCMapVCObj!, key);
    }

    /// <summary>True when the VC object is registered as a base, a layer or another object
    /// (looked for in that order).</summary>
    /// <param name="pObj">The object; it is not touched.</param>
    /// <returns>Whether the object is registered.</returns>
    public static bool LookupGCMapVC(IntPtr pObj)
    {
        long key = pObj.ToInt64();
        return HasKey(m_GCMapVCBase, key) || HasKey(m_GCMapVCLayer, key) || HasKey(m_GCMapVCObj, key);
    }

    /// <summary>Unregisters a VC object from the first of the base list, the layer list and the
    /// object map that holds it; the object is not touched.</summary>
    /// <param name="pObj">The object.</param>
    public static void RemoveFromGCMapVC(IntPtr pObj)
    {
        long key = pObj.ToInt64();
        _ = RemoveKey(m_GCMapVCBase, key) || RemoveKey(m_GCMapVCLayer, key) || RemoveKey(m_GCMapVCObj, key);
    }

    /// <summary>One clean pass of the VC registry: destroys and unregisters every object whose
    /// count is exactly 1 (its creator's reference), in the base list, the layer list and then,
    /// after writing "Run CleanGCMapVC" to the standard output, the object map.</summary>
    public static void CleanGCMapVC()
    {
        CleanPass(m_GCMapVCBase, Protocol.XObject, releaseBeforeRemove: false);
        CleanPass(m_GCMapVCLayer, Protocol.XObject, releaseBeforeRemove: false);
        Dictionary<long, int>? map = m_GCMapVCObj;
        if (map is null) return;
        Console.WriteLine("Run CleanGCMapVC");
        CleanPass(map, Protocol.XObject, releaseBeforeRemove: true);
    }

    /// <summary>Stops the VC cleaning thread for good, then destroys every VC object whatever its
    /// count (bases, layers, other objects) and drops the registry.</summary>
    public static void EmptyGCMapVC()
    {
        StopCleaningThread(m_GCMapVCThread, () => m_bStopGCMapVCThread = true);
        m_GCMapVCThread = null;
        EmptyPass(m_GCMapVCBase, Protocol.XObject);
        m_GCMapVCBase = null;
        EmptyPass(m_GCMapVCLayer, Protocol.XObject);
        m_GCMapVCLayer = null;
        EmptyPass(m_GCMapVCObj, Protocol.XObject);
        m_GCMapVCObj = null;
    }

    // ---- FT ------------------------------------------------------------------------------------

    private static void CreateFTOnFirstUse()
    {
        if (m_GCMapFTGeom is not null) return;
        lock (s_FTCreation)
        {
            if (m_GCMapFTGeom is not null) return;
            m_GCMapFTDataSource = new List<long>();
            m_GCMapFTLayer = new List<long>();
            m_GCMapFTFeature = new List<long>();
            m_GCMapFTGeom = new Dictionary<long, int>();  // last: it marks the family as created
            if (m_bEnalbeAutoGCMapFT)
                m_GCMapFTThread = StartCleaningThread(CleanGCMapFTThread, nameof(CleanGCMapFTThread));
        }
    }

    /// <summary>
    /// Registers an FT feature (an XObject) without taking a reference; registering it again does
    /// nothing. The first registration of any FT kind creates the FT registry and, when
    /// <see cref="EnableAutoGCMapFT"/> is on, starts its cleaning thread.
    /// </summary>
    /// <param name="pObj">The object.</param>
    public static void AddToGCMapFTFeature(IntPtr pObj)
    {
        CreateFTOnFirstUse();
        AddKey(m_GCMapFTFeature!, pObj.ToInt64());
    }

    /// <summary>Registers an FT geometry; see <see cref="AddToGCMapFTFeature"/>.</summary>
    /// <param name="pObj">The object.</param>
    public static void AddToGCMapFTGeom(IntPtr pObj)
    {
        CreateFTOnFirstUse();
        AddKey(m_GCMapFTGeom!, pObj.ToInt64());
    }

    /// <summary>Registers an FT layer; see <see cref="AddToGCMapFTFeature"/>.</summary>
    /// <param name="pObj">The object.</param>
    public static void AddToGCMapFTLayer(IntPtr pObj)
    {
        CreateFTOnFirstUse();
        AddKey(m_GCMapFTLayer!, pObj.ToInt64());
    }

    /// <summary>Registers an FT data source; see <see cref="AddToGCMapFTFeature"/>.</summary>
    /// <param name="pObj">The object.</param>
    public static void AddToGCMapFTDataSource(IntPtr pObj)
    {
        CreateFTOnFirstUse();
        AddKey(m_GCMapFTDataSource!, pObj.ToInt64());
    }

    /// <summary>True when the FT object is registered as a data source, a layer, a feature or a
    /// geometry (looked for in that order).</summary>
    /// <param name="pObj">The object; it is not touched.</param>
    /// <returns>Whether the object is registered.</returns>
    public static bool LookupGCMapFT(IntPtr pObj)
    {
        long key = pObj.ToInt64();
        return HasKey(m_GCMapFTDataSource, key) || HasKey(m_GCMapFTLayer, key) ||
               HasKey(m_GCMapFTFeature, key) || HasKey(m_GCMapFTGeom, key);
    }

    /// <summary>Unregisters an FT object from the first of data sources, layers, features and
    /// geometries that holds it; the object is not touched.</summary>
    /// <param name="pObj">The object.</param>
    public static void RemoveFromGCMapFT(IntPtr pObj)
    {
        long key = pObj.ToInt64();
        _ = RemoveKey(m_GCMapFTDataSource, key) || RemoveKey(m_GCMapFTLayer, key) ||
            RemoveKey(m_GCMapFTFeature, key) || RemoveKey(m_GCMapFTGeom, key);
    }

    /// <summary>One clean pass of the FT registry: unregisters and destroys every object whose
    /// count is exactly 1 (its creator's reference), in the data-source, layer and feature lists
    /// and then, after writing "Run CleanGCMapFT" to the standard output, the geometry map.</summary>
    public static void CleanGCMapFT()
    {
        CleanPass(m_GCMapFTDataSource, Protocol.XObject, releaseBeforeRemove: false);
        CleanPass(m_GCMapFTLayer, Protocol.XObject, releaseBeforeRemove: false);
        CleanPass(m_GCMapFTFeature, Protocol.XObject, releaseBeforeRemove: false);
        Dictionary<long, int>? map = m_GCMapFTGeom;
        if (map is null) return;
        Console.WriteLine("Run CleanGCMapFT");
        CleanPass(map, Protocol.XObject, releaseBeforeRemove: true);
    }

    /// <summary>Stops the FT cleaning thread for good, then destroys every FT object whatever its
    /// count (data sources, layers, features, geometries) and drops the registry.</summary>
    public static void EmptyGCMapFT()
    {
        StopCleaningThread(m_GCMapFTThread, () => m_bStopGCMapFTThread = true);
        m_GCMapFTThread = null;
        EmptyPass(m_GCMapFTDataSource, Protocol.XObject);
        m_GCMapFTDataSource = null;
        EmptyPass(m_GCMapFTLayer, Protocol.XObject);
        m_GCMapFTLayer = null;
        EmptyPass(m_GCMapFTFeature, Protocol.XObject);
        m_GCMapFTFeature = null;
        EmptyPass(m_GCMapFTGeom, Protocol.XObject);
        m_GCMapFTGeom = null;
    }

    // ---- Generic -------------------------------------------------------------------------------

    /// <summary>Registers a generic object (an XObject) without taking a reference; registering it
    /// again does nothing. Generic objects are released only by <see cref="Close()"/>.</summary>
    /// <param name="pObj">The object.</param>
    public static void AddToGCMapGeneric(IntPtr pObj)
    {
        Dictionary<long, int>? map = m_GCMapGeneric;
        if (map is null)
        {
            lock (s_GenericCreation)
                map = m_GCMapGeneric ??= new Dictionary<long, int>();
        }
        AddKey(map, pObj.ToInt64());
    }

    /// <summary>True when the generic object is registered.</summary>
    /// <param name="pObj">The object; it is not touched.</param>
    /// <returns>Whether the object is registered.</returns>
    public static bool LookupGCMapGeneric(IntPtr pObj) => HasKey(m_GCMapGeneric, pObj.ToInt64());

    /// <summary>Unregisters a generic object; the object is not touched.</summary>
    /// <param name="pObj">The object.</param>
    public static void RemoveFromGCMapGeneric(IntPtr pObj) => RemoveKey(m_GCMapGeneric, pObj.ToInt64());

    /// <summary>Destroys every generic object and drops the registry. Unlike the other empty
    /// operations it takes no lock: it is meant for <see cref="Close()"/> only.</summary>
    public static void EmptyGCMapGeneric()
    {
        Dictionary<long, int>? map = m_GCMapGeneric;
        if (map is null) return;
        foreach (long key in map.Keys.ToArray())
            if (key != 0) Native.Registry.Delete(new IntPtr(key));
        map.Clear();
        m_GCMapGeneric = null;
    }

    // ---- cleaning threads ----------------------------------------------------------------------

    /// <summary>The procedure of the SC cleaning thread; see <see cref="RunCleaningLoop"/>.</summary>
    public static void CleanGCMapSCThread() =>
        RunCleaningLoop(() => m_bStopGCMapSCThread, () => m_bStopGCMapSCThread = true, () => m_bEnalbeAutoGCMapSC,
                        CleanGCMapSC);

    /// <summary>The procedure of the VC cleaning thread; see <see cref="RunCleaningLoop"/>.</summary>
    public static void CleanGCMapVCThread() =>
        RunCleaningLoop(() => m_bStopGCMapVCThread, () => m_bStopGCMapVCThread = true, () => m_bEnalbeAutoGCMapVC,
                        CleanGCMapVC);

    /// <summary>The procedure of the FT cleaning thread; see <see cref="RunCleaningLoop"/>.</summary>
    public static void CleanGCMapFTThread() =>
        RunCleaningLoop(() => m_bStopGCMapFTThread, () => m_bStopGCMapFTThread = true, () => m_bEnalbeAutoGCMapFT,
                        CleanGCMapFT);

    /// <summary>
    /// Polls once per second and cleans the family at an adaptive interval. Without memory
    /// pressure the family is cleaned every interval + 1 seconds, the interval starting at
    /// <see cref="m_nDefaultAutoCleanGCMapTime"/> (30) and growing by one second per clean up to
    /// 300: after 31 seconds, then 32, ... up to 301. While the process's private memory exceeds
    /// 1 GiB it is cleaned about every 11 seconds and the interval shrinks back towards 30 by one
    /// second per clean. At exactly 1 GiB neither rule moves the interval. The loop ends when the
    /// stop flag is set, and sets it itself, without waiting again, once the family's switch is
    /// off; a stop flag already set ends it at once.
    /// </summary>
    private static void RunCleaningLoop(Func<bool> isStopRequested, Action requestStop, Func<bool> isEnabled,
                                        Action clean)
    {
        int count = 0;  // polls since the last clean
        int interval = m_nDefaultAutoCleanGCMapTime;
        if (isStopRequested()) return;
        do
        {
            ulong privateBytes = m_GCPrivateMemory();
            bool enabled = isEnabled();
            if (!enabled)
            {
                requestStop();
            }
            else if (privateBytes > MemoryPressureBytes && count > PressureCleanPolls)
            {
                clean();
                count = 0;
                interval = interval > m_nDefaultAutoCleanGCMapTime ? interval - 1 : m_nDefaultAutoCleanGCMapTime;
            }
            else if (count > interval)
            {
                if (privateBytes < MemoryPressureBytes) interval += 1;
                interval = Math.Min(interval, MaxIntervalFactor * m_nDefaultAutoCleanGCMapTime);
                clean();
                count = 0;
            }
            if (enabled)
            {
                m_GCSleep(PollMilliseconds);
                count += 1;
            }
        } while (!isStopRequested());
    }

    /// <summary>Starts a cleaning thread. It is an ordinary (foreground) thread: while it runs
    /// the process does not end by itself, so a program that registers objects ends with
    /// <see cref="Close()"/>.</summary>
    private static Thread StartCleaningThread(ThreadStart procedure, string name)
    {
        var thread = new Thread(procedure) { IsBackground = false, Name = name };
        thread.Start();
        return thread;
    }

    /// <summary>Sets the thread's stop flag and waits for it to end; nothing without a thread.
    /// The flag stays set, so a thread started later for the family ends at once.</summary>
    private static void StopCleaningThread(Thread? thread, Action requestStop)
    {
        if (thread is null) return;
        requestStop();
        thread.Join();
    }
}
