// XArchive: byte-exact layouts in both byte orders, strings of every length
// class, object graphs with shared and cyclic references through the object
// containers, and damaged streams, each of which must throw its cause
// without crashing, looping or allocating for lengths it does not hold.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sanitizer/asan_interface.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XFile.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XObList.h>

#include "ArchiveFuzzInput.h"
#include "FuzzReplay.h"

using namespace Pelmora::Tivra;
namespace fs = std::filesystem;

namespace {

/// A node of a test graph: a value, a name and a link to another object.
class XTestNode : public XObject {
    XDECLARE_SERIAL(XTestNode)
public:
    int32_t m_nValue = 0;
    XString m_strName;
    XObject* m_pLink = nullptr;

    void Serialize(XArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_nValue << m_strName;
            ar.WriteObject(m_pLink);
        } else {
            ar >> m_nValue >> m_strName;
            m_pLink = ar.ReadObject(nullptr);
        }
    }
};
XIMPLEMENT_SERIAL(XTestNode, XObject, 2)

/// A node that owns its child through a reference.
class XTestOwner : public XObject {
    XDECLARE_SERIAL(XTestOwner)
public:
    XObject* m_pChild = nullptr;
    ~XTestOwner() override
    {
        if (m_pChild != nullptr) m_pChild->Unref();
    }
    void Serialize(XArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar.WriteObject(m_pChild);
        } else if ((m_pChild = ar.ReadObject(nullptr)) != nullptr) {
            m_pChild->Ref();
        }
    }
};
XIMPLEMENT_SERIAL(XTestOwner, XObject, 1)

/// A child whose memory is wiped (and poisoned for the address sanitizer)
/// and parked when freed: a second release fails at once.
class XTestPoisonedChild : public XObject {
    XDECLARE_SERIAL(XTestPoisonedChild)
public:
    static void operator delete(void* p, size_t n)
    {
        static auto* s_pParked = new std::vector<void*>;  // never destroyed: still reachable at exit
        std::memset(p, 0, n);
        ASAN_POISON_MEMORY_REGION(p, n);
        s_pParked->push_back(p);
    }
};
XIMPLEMENT_SERIAL(XTestPoisonedChild, XObject, 1)

/// An owner that deletes its child directly, whatever the child's count.
class XTestDirectOwner : public XObject {
    XDECLARE_SERIAL(XTestDirectOwner)
public:
    XObject* m_pChild = nullptr;
    ~XTestDirectOwner() override { delete m_pChild; }
    void Serialize(XArchive& ar) override
    {
        if (ar.IsStoring()) ar.WriteObject(m_pChild);
        else m_pChild = ar.ReadObject(nullptr);
    }
};
XIMPLEMENT_SERIAL(XTestDirectOwner, XObject, 1)

/// A class whose name is too long for an archive.
class XTestNodeWithAClassNameThatIsFarTooLongToBeStoredInAnyArchiveAtAll : public XObject {
    XDECLARE_SERIAL(XTestNodeWithAClassNameThatIsFarTooLongToBeStoredInAnyArchiveAtAll)
};
XIMPLEMENT_SERIAL(XTestNodeWithAClassNameThatIsFarTooLongToBeStoredInAnyArchiveAtAll, XObject, 1)

std::string ScratchPath()
{
    return (fs::temp_directory_path() / ("tivra_archive_" + std::to_string(getpid()) + ".bin")).string();
}

/// The bytes an archive of the given mode writes.
std::string Stored(uint32_t nMode, const std::function<void(XArchive&)>& write)
{
    const std::string path = ScratchPath();
    {
        XFile file(path.c_str(), XFile::modeCreate | XFile::modeWrite);
        XArchive ar(&file, nMode);
        write(ar);
        ar.Close();
    }
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    fs::remove(path);
    return out.str();
}

/// Reads the bytes through an archive of the given mode (buffer of 128 bytes,
/// so that values straddle refills).
void Loaded(const std::string& bytes, uint32_t nMode, const std::function<void(XArchive&)>& read)
{
    const std::string path = ScratchPath();
    std::ofstream(path, std::ios::binary) << bytes;
    XFile file(path.c_str(), XFile::modeRead);
    XArchive ar(&file, nMode | XArchive::load, 128);
    read(ar);
    fs::remove(path);
}

/// Bytes from hex digits; spaces are ignored.
std::string Bytes(const char* pszHex)
{
    std::string out, digits;
    for (const char* p = pszHex; *p; ++p)
        if (*p != ' ') digits += *p;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) out += char(std::stoi(digits.substr(i, 2), nullptr, 16));
    return out;
}

/// The cause an archive read throws: the archive causes, 100 for a memory
/// exception, -1 when nothing is thrown.
int32_t LoadCause(const std::string& bytes, const std::function<void(XArchive&)>& read)
{
    try {
        Loaded(bytes, 0, read);
    } catch (const XArchiveException& e) {
        return e.m_cause;
    } catch (const XMemoryException&) {
        return 100;
    }
    return -1;
}

/// Runs f on a thread of its own with a stack of nBytes.
void OnStack(size_t nBytes, const std::function<void()>& f)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, nBytes);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&f)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

/// Deletes a graph read back, every object once.
void Free(std::set<XObject*> objects)
{
    for (XObject* p : objects) delete p;
}

} // namespace

TEST(RuntimeArchive, PrimitivesInBothByteOrders)
{
    auto write = [](XArchive& ar) {
        ar << int8_t(-2) << uint8_t(0xAB) << int16_t(-2) << uint16_t(0x1234) << int32_t(-2) << uint32_t(0x12345678)
           << int64_t(-2) << uint64_t(0x0102030405060708) << 1.5f << -2.0;
    };
    const std::string big = Bytes("FE AB FFFE 1234 FFFFFFFE 12345678 FFFFFFFFFFFFFFFE 0102030405060708 3FC00000"
                                  " C000000000000000");
    const std::string little = Bytes("FE AB FEFF 3412 FEFFFFFF 78563412 FEFFFFFFFFFFFFFF 0807060504030201"
                                     " 0000C03F 00000000000000C0");
    EXPECT_EQ(Stored(XArchive::store, write), big);
    EXPECT_EQ(Stored(XArchive::bNoByteSwap, write), little);
    for (const uint32_t nMode : {0u, uint32_t(XArchive::bNoByteSwap)}) {
        Loaded(nMode ? little : big, nMode, [](XArchive& ar) {
            int8_t a; uint8_t b; int16_t c; uint16_t d; int32_t e; uint32_t f; int64_t g; uint64_t h; float i; double j;
            ar >> a >> b >> c >> d >> e >> f >> g >> h >> i >> j;
            EXPECT_EQ(a, -2); EXPECT_EQ(b, 0xAB); EXPECT_EQ(c, -2); EXPECT_EQ(d, 0x1234); EXPECT_EQ(e, -2);
            EXPECT_EQ(f, 0x12345678u); EXPECT_EQ(g, -2); EXPECT_EQ(h, 0x0102030405060708u);
            EXPECT_EQ(i, 1.5f); EXPECT_EQ(j, -2.0);
            EXPECT_THROW(ar >> a, XArchiveException);  // nothing left
        });
    }
}

TEST(RuntimeArchive, StringLengthClassesAndWideText)
{
    // The length prefix, big-endian and little-endian.
    const struct { int nLength; const char *pszBig, *pszLittle; } cases[] = {
        {0, "00", "00"},
        {254, "FE", "FE"},
        {255, "FF 00FF", "FF FF00"},
        {300, "FF 012C", "FF 2C01"},
        {0xFFFD, "FF FFFD", "FF FDFF"},
        {0xFFFE, "FF FFFF 0000FFFE", "FF FFFF FEFF0000"},
        {70000, "FF FFFF 00011170", "FF FFFF 70110100"},
    };
    for (const auto& c : cases) {
        std::string text(size_t(c.nLength), 'x');
        for (size_t i = 0; i < text.size(); i += 7) text[i] = char('a' + i % 26);
        for (const uint32_t nMode : {0u, uint32_t(XArchive::bNoByteSwap)}) {
            const std::string bytes = Stored(nMode, [&](XArchive& ar) { ar << XString(text.c_str()); });
            EXPECT_EQ(bytes, Bytes(nMode ? c.pszLittle : c.pszBig) + text) << c.nLength;
            Loaded(bytes, nMode, [&](XArchive& ar) {
                XString str;
                ar >> str;
                EXPECT_EQ(std::string(static_cast<const char*>(str), size_t(str.GetLength())), text);
            });
        }
    }
    // Wide text: 0xFF, 0xFFFE, then a character count of its own prefix
    // class and the characters least significant byte first.
    const struct { const char *pszBytes, *pszText; } wides[] = {
        {"FF FFFE 03 4100 4200 4300", "ABC"},
        {"FF FFFE FF 0003 7800 7900 7A00", "xyz"},
        {"FF FFFE FF FFFF 00000001 5A00", "Z"},
        {"FF FFFE 00", ""},
    };
    for (const auto& w : wides) {
        Loaded(Bytes(w.pszBytes), 0, [&](XArchive& ar) {
            XString str;
            ar >> str;
            EXPECT_EQ(std::string(static_cast<const char*>(str)), w.pszText) << w.pszBytes;
        });
    }
    // Characters the locale cannot represent come back in UTF-8, also in a
    // process whose locale is "C" (one of its own, started with LC_ALL=C).
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* pszLocale = std::getenv("LC_ALL");
    const std::string strLocale = pszLocale != nullptr ? pszLocale : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EXIT(Loaded(Bytes("FF FFFE 03 6100 E900 6200"), 0,
                       [](XArchive& ar) {
                           XString str;
                           ar >> str;
                           std::exit(std::string(str) == "a\xC3\xA9" "b" ? 0 : 1);
                       }),
                ::testing::ExitedWithCode(0), "");
    if (pszLocale != nullptr) setenv("LC_ALL", strLocale.c_str(), 1);
    else unsetenv("LC_ALL");
    // Lengths beyond the bytes present fail before any allocation.
    for (const char* pszBytes : {"05 6162", "FF FFFF 7FFFFFF0 61", "FF FFFE FF FFFF 40000000 4100", "FF 00"}) {
        EXPECT_EQ(LoadCause(Bytes(pszBytes), [](XArchive& ar) { XString s; ar >> s; }), XArchiveException::endOfFile)
            << pszBytes;
    }
}

TEST(RuntimeArchive, ObjectTagsClassChainsAndBackReferences)
{
    XObject::GetThisClass();
    XObject object;
    auto twice = [&](XArchive& ar) {
        ar.WriteObject(&object);
        ar.WriteObject(&object);
        ar.WriteObject(nullptr);
    };
    // Tag 4, the chain (magic, one new class: schema, name), the object's own
    // class description (magic, nothing new); then tag 3 and index 2, tag 0.
    EXPECT_EQ(Stored(0, twice), Bytes("04 FA2D481C 00000001 FFFFFFFF 0007") + "XObject" +
                                    Bytes("FA2D481C 00000000 03 00000002 00"));
    EXPECT_EQ(Stored(XArchive::bNoByteSwap, twice), Bytes("04 1C482DFA 01000000 FFFFFFFF 0700") + "XObject" +
                                                        Bytes("1C482DFA 00000000 03 02000000 00"));

    // A second node of the same class: tag 2 with the class index.
    XTestNode a, b;
    a.m_nValue = 7;
    a.m_strName = "a";
    const std::string nodes = Stored(0, [&](XArchive& ar) {
        ar.WriteObject(&a);
        ar.WriteObject(&b);
    });
    EXPECT_EQ(nodes, Bytes("04 FA2D481C 00000002 00000002 0009") + "XTestNode" + Bytes("FFFFFFFF 0007") + "XObject" +
                         Bytes("00000007 01 61 00") + Bytes("02 00000001 00000000 00 00"));
    Loaded(nodes, 0, [](XArchive& ar) {
        std::unique_ptr<XObject> pa(ar.ReadObject(XRUNTIME_CLASS(XTestNode)));
        std::unique_ptr<XObject> pb(ar.ReadObject(XRUNTIME_CLASS(XObject)));
        ASSERT_TRUE(pa->IsKindOf(XRUNTIME_CLASS(XTestNode)));
        EXPECT_EQ(static_cast<XTestNode*>(pa.get())->m_nValue, 7);
        EXPECT_EQ(std::string(static_cast<XTestNode*>(pa.get())->m_strName), "a");
        EXPECT_EQ(ar.GetLoadedSchema(XRUNTIME_CLASS(XTestNode)), 2u);
        EXPECT_NE(pb, nullptr);
    });

    // Tag 1 (one class description) is read too; tag 2 with index 0 is null;
    // a stream without a class chain leaves XObject::Serialize nothing to read.
    Loaded(Bytes("01 00000002 0009") + "XTestNode" + Bytes("00000005 00 00 02 00000000"), 0, [](XArchive& ar) {
        std::unique_ptr<XObject> p(ar.ReadObject(nullptr));
        EXPECT_EQ(static_cast<XTestNode*>(p.get())->m_nValue, 5);
        EXPECT_EQ(ar.ReadObject(nullptr), nullptr);
    });
    Loaded(Bytes("04 12345678"), 0, [](XArchive& ar) {
        std::unique_ptr<XObject> p(ar.ReadObject(XRUNTIME_CLASS(XObject)));  // no chain: the expected class
        EXPECT_NE(p, nullptr);
    });
}

TEST(RuntimeArchive, GraphsWithSharedAndCyclicReferencesComeBackEqual)
{
    XRUNTIME_CLASS(XTestNode);
    for (const uint32_t nMode : {0u, uint32_t(XArchive::bNoByteSwap)}) {
        // a -> b -> a (a cycle), c -> c (a loop), d alone; every container
        // holds some of them, some twice.
        XTestNode a, b, c, d;
        a.m_nValue = 1, b.m_nValue = -2, c.m_nValue = 3, d.m_nValue = 4;
        a.m_strName = std::string(300, 'a').c_str();
        a.m_pLink = &b, b.m_pLink = &a, c.m_pLink = &c;
        XObArray array;
        XObList list;
        XMapStringToOb byName;
        XMapWordToOb byWord;
        array.Add(&a), array.Add(nullptr), array.Add(&c), array.Add(&a);
        list.AddTail(&d), list.AddTail(&b), list.AddTail(&array);
        byName.SetAt("c", &c), byName.SetAt("", &d), byName.SetAt("list", &list);
        byWord.SetAt(0xFFFF, &a), byWord.SetAt(16, &byName);
        const std::string bytes = Stored(nMode, [&](XArchive& ar) {
            ar << &byWord;
            ar << &array;  // everything again: back references only
        });

        Loaded(bytes, nMode, [&](XArchive& ar) {
            XObject *pWords = nullptr, *pArray = nullptr;
            ar >> pWords >> pArray;
            auto* pw = dynamic_cast<XMapWordToOb*>(pWords);
            auto* pa = dynamic_cast<XObArray*>(pArray);
            ASSERT_TRUE(pw != nullptr && pa != nullptr && pa->GetSize() == 4);
            auto* pA = static_cast<XTestNode*>(pa->GetAt(0));
            auto* pB = static_cast<XTestNode*>(pA->m_pLink);
            auto* pC = static_cast<XTestNode*>(pa->GetAt(2));
            EXPECT_TRUE(pa->GetAt(1) == nullptr && pa->GetAt(3) == pA && pB->m_pLink == pA && pC->m_pLink == pC);
            EXPECT_TRUE(pA->m_nValue == 1 && pB->m_nValue == -2 && pC->m_nValue == 3);
            EXPECT_EQ(std::string(pA->m_strName), std::string(300, 'a'));
            XObject *pWordA = nullptr, *pWordMap = nullptr, *pNameC = nullptr, *pNameD = nullptr, *pNameList = nullptr;
            ASSERT_TRUE(pw->Lookup(0xFFFF, pWordA) && pw->Lookup(16, pWordMap));
            EXPECT_EQ(pWordA, pA);
            auto* pn = dynamic_cast<XMapStringToOb*>(pWordMap);
            ASSERT_NE(pn, nullptr);
            ASSERT_TRUE(pn->Lookup("c", pNameC) && pn->Lookup("", pNameD) && pn->Lookup("list", pNameList));
            EXPECT_EQ(pNameC, pC);
            EXPECT_EQ(static_cast<XTestNode*>(pNameD)->m_nValue, 4);
            auto* pl = dynamic_cast<XObList*>(pNameList);
            ASSERT_TRUE(pl != nullptr && pl->GetCount() == 3);
            XPOSITION pos = pl->GetHeadPosition();
            EXPECT_EQ(pl->GetNext(pos), pNameD);
            EXPECT_EQ(pl->GetNext(pos), pB);
            EXPECT_EQ(pl->GetNext(pos), pa);
            Free({pw, pa, pA, pB, pC, pNameD, pn, pl});
        });
    }
}

TEST(RuntimeArchive, DamagedStreamsThrowTheirCause)
{
    XRUNTIME_CLASS(XTestNode);
    XRUNTIME_CLASS(XFile);
    const std::string node = Bytes("0009") + "XTestNode";
    auto readOne = [](XArchive& ar) { delete ar.ReadObject(nullptr); };
    auto readNode = [](XArchive& ar) { delete ar.ReadObject(XRUNTIME_CLASS(XTestNode)); };
    auto readArray = [](XArchive& ar) { XObArray a; a.Serialize(ar); };
    struct Case {
        std::string bytes;
        std::function<void(XArchive&)> read;
        int32_t nCause;
    } cases[] = {
        {Bytes("04 FA2D481C 00000001 00000001 000C") + "XNoSuchClass", readOne, XArchiveException::badClass},
        {Bytes("04 FA2D481C 00000001 00000001 0040") + std::string(64, 'X'), readOne, XArchiveException::badClass},
        {Bytes("04 FA2D481C 00000001 00000000") + node, readOne, XArchiveException::badSchema},
        {Bytes("04 FA2D481C 00000001 00000003") + node, readOne, XArchiveException::badSchema},
        {Bytes("01 00000003") + node, readOne, XArchiveException::badSchema},
        {Bytes("05"), readOne, XArchiveException::badClass},
        {Bytes("03 00000001"), readOne, XArchiveException::badIndex},  // beyond the table
        {Bytes("02 00000063"), readOne, XArchiveException::badIndex},
        // index 2 names an object where a class is expected, index 1 a class
        // where an object is
        {Bytes("01 00000002") + node + Bytes("00000000 00 00 02 00000002"),
         [](XArchive& ar) { delete ar.ReadObject(nullptr); delete ar.ReadObject(nullptr); }, XArchiveException::badIndex},
        {Bytes("01 00000002") + node + Bytes("00000000 00 00 03 00000001"),
         [](XArchive& ar) { delete ar.ReadObject(nullptr); ar.ReadObject(nullptr); }, XArchiveException::badIndex},
        // an object of another class than expected, new or back-referenced
        {Bytes("01 FFFFFFFF 0007") + "XObject" + Bytes("12345678"), readNode, XArchiveException::badIndex},
        {Bytes("01 00000002") + node + Bytes("00000000 00 00 03 00000002"),
         [](XArchive& ar) {
             std::unique_ptr<XObject> p(ar.ReadObject(nullptr));
             ar.ReadObject(XRUNTIME_CLASS(XObArray));
         },
         XArchiveException::badClass},
        // a class without a factory
        {Bytes("01 FFFFFFFF 0005") + "XFile", readOne, 100},
        // a container's own description names another class
        {Bytes("FA2D481C 00000001 00000001 0007") + "XObList" + Bytes("00000000"), readArray, XArchiveException::badClass},
        // counts and a class-name length beyond the stream
        {Bytes("FA2D481C 00000000 FFFFFFFF 00"), readArray, XArchiveException::endOfFile},
        {Bytes("FA2D481C 00000000 00000003 00 00"), readArray, XArchiveException::endOfFile},
        {Bytes("04 FA2D481C 00000001 00000001 0030 41"), readOne, XArchiveException::badClass},
        {Bytes("04 FA2D481C 00000001 000000"), readOne, XArchiveException::endOfFile},
        // a key named twice: the first value would be left held by nobody
        {Bytes("FA2D481C 00000000 00000002 01 6B 00 01 6B 00"), [](XArchive& ar) { XMapStringToOb m; m.Serialize(ar); },
         XArchiveException::badIndex},
        {Bytes("FA2D481C 00000000 00000002 0007 00 0007 00"), [](XArchive& ar) { XMapWordToOb m; m.Serialize(ar); },
         XArchiveException::badIndex},
        {Bytes(""), readOne, XArchiveException::endOfFile},
        // cut within a class chain's magic, or before it
        {Bytes("04"), readOne, XArchiveException::endOfFile},
        {Bytes("04 FA2D"), readOne, XArchiveException::endOfFile},
        {Bytes("01 FFFFFFFF 0007") + "XObject", readOne, XArchiveException::endOfFile},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadCause(c.bytes, c.read), c.nCause) << ::testing::PrintToString(c.bytes);

    // A key a map held before loading takes the value read, as SetAt gives it.
    XObject mine;
    XMapStringToOb byName;
    XMapWordToOb byWord;
    byName.SetAt("k", &mine);
    byWord.SetAt(7, &mine);
    Loaded(Bytes("FA2D481C 00000000 00000001 01 6B 00 FA2D481C 00000000 00000001 0007 00"), 0, [&](XArchive& ar) {
        byName.Serialize(ar);
        byWord.Serialize(ar);
    });
    XObject *pName = &mine, *pWord = &mine;
    EXPECT_TRUE(byName.Lookup("k", pName) && byWord.Lookup(7, pWord));
    EXPECT_TRUE(pName == nullptr && pWord == nullptr);

    // A name the reader would refuse is not written.
    XTestNodeWithAClassNameThatIsFarTooLongToBeStoredInAnyArchiveAtAll longName;
    EXPECT_THROW(Stored(0, [&](XArchive& ar) { ar.WriteObject(&longName); }), XArchiveException);

    // Every cut of a valid graph throws, and frees what it had made, owners
    // and what they own included, each once (the sanitizer build checks the
    // freeing; a child released after its owner deleted it fails at once).
    XRUNTIME_CLASS(XTestOwner);
    XRUNTIME_CLASS(XTestDirectOwner);
    XRUNTIME_CLASS(XTestPoisonedChild);
    XTestNode a, b;
    a.m_pLink = &b, b.m_pLink = &a;
    a.m_strName = "name";
    XTestOwner owner;
    owner.m_pChild = new XTestNode;
    owner.m_pChild->Ref();
    XTestDirectOwner direct;
    direct.m_pChild = new XTestPoisonedChild;
    XObArray array;
    array.Add(&a), array.Add(&owner), array.Add(&direct), array.Add(&b);
    const std::string whole = Stored(0, [&](XArchive& ar) { ar << &array; });
    for (size_t n = 0; n < whole.size(); ++n) {
        const int32_t nCause = LoadCause(whole.substr(0, n), readOne);
        EXPECT_TRUE(nCause == XArchiveException::endOfFile || nCause == XArchiveException::badClass) << n;
    }
}

TEST(RuntimeArchive, NestingIsBoundedByTheThreadsStack)
{
    // A chain of 10 000 nodes round-trips on the main thread.
    std::vector<XTestNode> nodes(10000);
    for (size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].m_pLink = &nodes[i + 1];
    const std::string chain = Stored(0, [&](XArchive& ar) { ar.WriteObject(&nodes[0]); });
    Loaded(chain, 0, [](XArchive& ar) {
        XObject* p = ar.ReadObject(nullptr);
        size_t nDepth = 0;
        for (; p != nullptr; ++nDepth) {
            XObject* pNext = static_cast<XTestNode*>(p)->m_pLink;
            delete p;
            p = pNext;
        }
        EXPECT_EQ(nDepth, 10000u);
    });
    // Far deeper graphs and streams are refused, on the main thread as on
    // one with a 1 MiB stack (as a host's threads have): the writer with
    // badIndex, the reader of nested arrays too, without exhausting the stack.
    std::vector<XTestNode> far(200000);
    for (size_t i = 0; i + 1 < far.size(); ++i) far[i].m_pLink = &far[i + 1];
    std::string deep = Bytes("04 FA2D481C 00000002 00000001 0008") + "XObArray" + Bytes("FFFFFFFF 0007") + "XObject" +
                       Bytes("FA2D481C 00000000 00000001");
    for (int i = 0; i < 400000; ++i) deep += Bytes("02 00000001 FA2D481C 00000000 00000001");
    auto refused = [&] {
        int32_t nWriteCause = -1;
        try {
            Stored(0, [&](XArchive& ar) { ar.WriteObject(&far[0]); });
        } catch (const XArchiveException& e) {
            nWriteCause = e.m_cause;
        }
        EXPECT_EQ(nWriteCause, XArchiveException::badIndex);
        EXPECT_EQ(LoadCause(deep, [](XArchive& ar) { delete ar.ReadObject(nullptr); }), XArchiveException::badIndex);
    };
    refused();
    OnStack(1 << 20, refused);
}

TEST(RuntimeArchive, ReadsFromAPipe)
{
    // Lengths longer than the buffer cannot be checked against a pipe's
    // length: the reads find its end instead, and a false length costs no
    // more than the bytes that came.
    XRUNTIME_CLASS(XObArray);
    const std::string path = ScratchPath() + ".fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // The cause a read through the pipe throws; -1 when none.
    auto throughPipe = [&](const std::string& bytes, const std::function<void(XArchive&)>& read) {
        std::thread writer([&] { std::ofstream(path, std::ios::binary) << bytes; });
        int32_t nCause = -1;
        try {
            XFile file(path.c_str(), XFile::modeRead);
            XArchive ar(&file, XArchive::load);
            read(ar);
        } catch (const XArchiveException& e) {
            nCause = e.m_cause;
        } catch (const XException&) {
            nCause = 100;
        }
        writer.join();
        return nCause;
    };
    const std::string text(5000, 't');
    XObArray array;
    array.SetSize(3000);
    auto readBack = [&](XArchive& ar) {
        XString str;
        XObArray back;
        ar >> str;
        back.Serialize(ar);
        EXPECT_TRUE(std::string(str) == text && back.GetSize() == 3000);
    };
    const std::string bytes = Stored(0, [&](XArchive& ar) {
        ar << XString(text.c_str());
        array.Serialize(ar);
    });
    EXPECT_EQ(throughPipe(bytes, readBack), -1);
    EXPECT_EQ(throughPipe(Bytes("FF FFFF 7FFFFFF0 61"), [](XArchive& ar) { XString s; ar >> s; }),
              XArchiveException::endOfFile);
    EXPECT_EQ(throughPipe(Bytes("FA2D481C 00000000 7FFFFFFF 00 00"), [](XArchive& ar) { XObArray a; a.Serialize(ar); }),
              XArchiveException::endOfFile);
    fs::remove(path);
}

TEST(RuntimeArchive, FuzzFindingsReplay)
{
    // Every input the fuzz target once failed on, and its seeds, must read
    // or throw one of the core's exceptions, freeing what they read (the
    // sanitizer build checks the freeing).
    TivraFuzz::RegisterClasses();
    const int nInputs = TivraTest::ReplayFuzzInputs("archive", [](const uint8_t* pData, size_t nSize) {
        try {
            TivraFuzz::ReadInput(pData, nSize);
        } catch (const XException&) {
        }
    });
    EXPECT_GT(nInputs, 8);
}
