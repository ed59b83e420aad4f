#include <tivra/runtime/XArchive.h>

#include <pthread.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <unordered_set>
#include <vector>

#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XFile.h>
#include <tivra/runtime/XMap.h>

namespace Pelmora::Tivra {

namespace {

// Tags that open an object in the stream.
constexpr uint8_t kTagNull = 0;
constexpr uint8_t kTagClassDescription = 1; // one class description, then a new object (read only)
constexpr uint8_t kTagClassIndex = 2;       // a class in the archive, then a new object
constexpr uint8_t kTagObjectIndex = 3;      // an object in the archive
constexpr uint8_t kTagClassChain = 4;       // a class chain, then a new object

/// The smallest buffer, room for any value with its length prefix.
constexpr uint32_t kMinBufSize = 128;
/// Buckets of a new store map (a prime); the map grows from there.
constexpr uint32_t kInitialHashSize = 137;
/// Entries by which the load array grows at least, and nodes per block of
/// the store map.
constexpr uint32_t kLoadGrowSize = 64;
constexpr uint32_t kStoreBlockSize = 16;

/// Classes and objects share the load array; a class entry carries the low
/// bit (records and objects are heap blocks, at least 8-byte aligned).
void* ClassEntry(const XRuntimeClass* p) { return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(p) | 1); }
bool IsClassEntry(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 1) != 0; }
XRuntimeClass* ClassOfEntry(void* p) { return reinterpret_cast<XRuntimeClass*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(1)); }

bool IsPrime(uint32_t n)
{
    if (n < 2) return false;
    for (uint32_t d = 2; d * d <= n; ++d)
        if (n % d == 0) return false;
    return true;
}

/// The byte reversal of a value of 1, 2, 4 or 8 bytes.
template <class T>
T Reversed(T v)
{
    if constexpr (sizeof(T) == 1) {
        return v;
    } else if constexpr (sizeof(T) == 2) {
        return std::bit_cast<T>(__builtin_bswap16(std::bit_cast<uint16_t>(v)));
    } else if constexpr (sizeof(T) == 4) {
        return std::bit_cast<T>(__builtin_bswap32(std::bit_cast<uint32_t>(v)));
    } else {
        static_assert(sizeof(T) == 8);
        return std::bit_cast<T>(__builtin_bswap64(std::bit_cast<uint64_t>(v)));
    }
}

/// Stack kept free below the deepest object level: room for a class's own
/// Serialize between two levels, for throwing and unwinding the exception
/// that refuses the next level, and for a sanitizer's report.
constexpr uintptr_t kStackReserve = 128 * 1024;
/// Assumed stack below the first call where the system cannot tell.
constexpr uintptr_t kUnknownStack = 256 * 1024;

/// The lowest frame address at which objects may still nest on this
/// thread: the bottom of its stack plus the reserve. Read from the system
/// once per thread.
uintptr_t StackFloor()
{
    thread_local const uintptr_t t_nFloor = [] {
        pthread_attr_t attr;
        void* pStack = nullptr;
        size_t nSize = 0;
        bool bKnown = pthread_getattr_np(pthread_self(), &attr) == 0;
        if (bKnown) {
            bKnown = pthread_attr_getstack(&attr, &pStack, &nSize) == 0;
            pthread_attr_destroy(&attr);
        }
        const uintptr_t nHere = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        if (!bKnown || nSize == 0) return nHere > kUnknownStack ? nHere - kUnknownStack : uintptr_t(0);
        return reinterpret_cast<uintptr_t>(pStack) + std::min<uintptr_t>(kStackReserve, nSize / 2);
    }();
    return t_nFloor;
}

/// Pieces in which a block whose length comes from the stream is read: the
/// first piece, after which each piece is as large as what has arrived.
constexpr uint32_t kFirstPiece = 64 * 1024;

/// UTF-16 code units (surrogate pairs joined, a lone surrogate read as
/// U+FFFD) as wide characters.
std::wstring WideFromUtf16(const std::vector<uint16_t>& units)
{
    std::wstring str;
    str.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            str += wchar_t(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            str += wchar_t(0xFFFD);
        } else {
            str += wchar_t(u);
        }
    }
    return str;
}

} // namespace

// ---- construction ---------------------------------------------------------------------

XArchive::XArchive(XFile* pFile, uint32_t nMode, int nBufSize, void* pBuffer)
    : m_strFileName(pFile->GetFilePath()), m_nMode(nMode), m_bUserBuf(true), m_pFile(pFile),
      m_pLoadArray(nullptr), m_nGrowSize(IsLoading() ? kLoadGrowSize : kStoreBlockSize),
      m_nHashSize(kInitialHashSize), m_nMapCount(1), m_pSchemaMap(nullptr), m_nDepth(0), m_nStackFloor(0),
      m_bSeekable(true)
{
    if (nBufSize < int(kMinBufSize)) {
        nBufSize = kMinBufSize;
        pBuffer = nullptr;
    }
    m_nBufSize = uint32_t(nBufSize);
    if (pBuffer == nullptr) {
        pBuffer = new uint8_t[m_nBufSize];
        m_bUserBuf = false;
    }
    m_lpBufStart = static_cast<uint8_t*>(pBuffer);
    m_lpBufMax = m_lpBufStart + m_nBufSize;
    m_lpBufCur = IsStoring() ? m_lpBufStart : m_lpBufMax;  // a loading buffer starts empty

    // Index 0 stands for null in both directions.
    if (IsStoring()) {
        m_pStoreMap = new XMap<void*, void*>(int(m_nGrowSize));
        m_pStoreMap->InitHashTable(m_nHashSize);
        m_pStoreMap->SetAt(nullptr, nullptr);
    } else {
        m_pLoadArray = new XArray<void*>;
        m_pLoadArray->SetSize(1, int(m_nGrowSize));
    }
}

XArchive::~XArchive()
{
    if (m_pFile == nullptr) return;
    try {
        Close();
    } catch (...) {
        Abort();  // a destructor cannot report; Close can
    }
}

void XArchive::Close()
{
    if (m_pFile != nullptr && IsStoring() && (m_nMode & bNoFlushOnDelete) == 0) WriteBuffer();
    Abort();
}

void XArchive::Abort()
{
    if (!m_bUserBuf) delete[] m_lpBufStart;
    m_lpBufStart = m_lpBufCur = m_lpBufMax = nullptr;
    m_bUserBuf = true;
    delete m_pSchemaMap;
    m_pSchemaMap = nullptr;
    if (IsStoring())
        delete m_pStoreMap;
    else
        delete m_pLoadArray;
    m_pLoadArray = nullptr;
    m_pFile = nullptr;
}

[[noreturn]] void XArchive::Fail(int32_t nCause) const { throw XArchiveException(nCause, m_strFileName); }

// ---- bytes --------------------------------------------------------------------------------

void XArchive::WriteBuffer()
{
    const uint32_t n = uint32_t(m_lpBufCur - m_lpBufStart);
    m_lpBufCur = m_lpBufStart;  // dropped even when the file fails: the archive is done then
    m_pFile->Write(m_lpBufStart, n);
}

void XArchive::Flush()
{
    if (IsStoring()) {
        WriteBuffer();
    } else if (m_lpBufCur != m_lpBufMax) {
        m_pFile->Seek(-int64_t(m_lpBufMax - m_lpBufCur), XFile::current);
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
    }
}

void XArchive::FillBuffer(uint32_t nBytes)
{
    uint32_t nHave = uint32_t(m_lpBufMax - m_lpBufCur);
    std::memmove(m_lpBufStart, m_lpBufCur, nHave);
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = m_lpBufStart + nHave;
    while (nHave < nBytes) {
        const uint32_t nRead = m_pFile->Read(m_lpBufMax, m_nBufSize - nHave);
        if (nRead == 0) Fail(XArchiveException::endOfFile);
        m_lpBufMax += nRead;
        nHave += nRead;
    }
}

uint32_t XArchive::Read(void* pBuffer, uint32_t nCount)
{
    auto* pb = static_cast<uint8_t*>(pBuffer);
    uint32_t nDone = std::min(nCount, uint32_t(m_lpBufMax - m_lpBufCur));
    std::memcpy(pb, m_lpBufCur, nDone);
    m_lpBufCur += nDone;
    // Whole buffers' worth goes straight from the file to the caller.
    while (nCount - nDone >= m_nBufSize) {
        const uint32_t nRead = m_pFile->Read(pb + nDone, nCount - nDone);
        if (nRead == 0) return nDone;
        nDone += nRead;
    }
    // The rest through the buffer, filled as far as the file goes.
    while (nDone < nCount) {
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
        const uint32_t nRead = m_pFile->Read(m_lpBufStart, m_nBufSize);
        if (nRead == 0) break;
        m_lpBufMax += nRead;
        const uint32_t nCopy = std::min(nRead, nCount - nDone);
        std::memcpy(pb + nDone, m_lpBufCur, nCopy);
        m_lpBufCur += nCopy;
        nDone += nCopy;
    }
    return nDone;
}

void XArchive::Write(const void* pBuffer, uint32_t nCount)
{
    auto* pb = static_cast<const uint8_t*>(pBuffer);
    const uint32_t nFree = uint32_t(m_lpBufMax - m_lpBufCur);
    if (nCount <= nFree) {
        std::memcpy(m_lpBufCur, pb, nCount);
        m_lpBufCur += nCount;
        return;
    }
    std::memcpy(m_lpBufCur, pb, nFree);
    m_lpBufCur += nFree;
    WriteBuffer();
    pb += nFree;
    nCount -= nFree;
    // Whole buffers' worth goes straight to the file.
    if (nCount >= m_nBufSize) {
        const uint32_t nDirect = nCount - nCount % m_nBufSize;
        m_pFile->Write(pb, nDirect);
        pb += nDirect;
        nCount -= nDirect;
    }
    std::memcpy(m_lpBufCur, pb, nCount);
    m_lpBufCur += nCount;
}

void XArchive::EnsureRemaining(uint64_t nBytes)
{
    const uint64_t nBuffered = uint64_t(m_lpBufMax - m_lpBufCur);
    if (nBytes <= nBuffered || !m_bSeekable) return;  // the common case: no system call
    uint64_t nPosition = 0;
    try {
        nPosition = m_pFile->GetPosition();
    } catch (const XFileException& e) {
        // A pipe cannot tell what remains; its reads will.
        if (e.m_lOsError != ESPIPE) throw;
        m_bSeekable = false;
        return;
    }
    const uint64_t nLength = m_pFile->GetLength();
    const uint64_t nInFile = nLength > nPosition ? nLength - nPosition : 0;
    if (nBytes > nBuffered + nInFile) Fail(XArchiveException::endOfFile);
}

void XArchive::ReadBlock(std::vector<uint8_t>& data, uint64_t nBytes)
{
    EnsureRemaining(nBytes);
    data.clear();
    // The block grows as its bytes arrive, so a length that overstates the
    // stream costs at most twice what the stream held.
    while (data.size() < nBytes) {
        const uint64_t nPiece = std::min<uint64_t>(nBytes - data.size(), std::max<uint64_t>(kFirstPiece, data.size()));
        const size_t nOld = data.size();
        data.resize(nOld + size_t(nPiece));
        if (Read(data.data() + nOld, uint32_t(nPiece)) != nPiece) Fail(XArchiveException::endOfFile);
    }
}

// ---- values ------------------------------------------------------------------------------------

template <class T>
void XArchive::WriteValue(T v)
{
    if (uint32_t(m_lpBufMax - m_lpBufCur) < sizeof(T)) WriteBuffer();
    if ((std::endian::native == std::endian::little) != IsLittleEndian()) v = Reversed(v);
    std::memcpy(m_lpBufCur, &v, sizeof(T));
    m_lpBufCur += sizeof(T);
}

template <class T>
T XArchive::ReadValue()
{
    if (uint32_t(m_lpBufMax - m_lpBufCur) < sizeof(T)) FillBuffer(sizeof(T));
    T v;
    std::memcpy(&v, m_lpBufCur, sizeof(T));
    m_lpBufCur += sizeof(T);
    return (std::endian::native == std::endian::little) != IsLittleEndian() ? Reversed(v) : v;
}

XArchive& XArchive::operator<<(int8_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(uint8_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(int16_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(uint16_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(int32_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(uint32_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(int64_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(uint64_t v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(float v) { WriteValue(v); return *this; }
XArchive& XArchive::operator<<(double v) { WriteValue(v); return *this; }

XArchive& XArchive::operator>>(int8_t& v) { v = ReadValue<int8_t>(); return *this; }
XArchive& XArchive::operator>>(uint8_t& v) { v = ReadValue<uint8_t>(); return *this; }
XArchive& XArchive::operator>>(int16_t& v) { v = ReadValue<int16_t>(); return *this; }
XArchive& XArchive::operator>>(uint16_t& v) { v = ReadValue<uint16_t>(); return *this; }
XArchive& XArchive::operator>>(int32_t& v) { v = ReadValue<int32_t>(); return *this; }
XArchive& XArchive::operator>>(uint32_t& v) { v = ReadValue<uint32_t>(); return *this; }
XArchive& XArchive::operator>>(int64_t& v) { v = ReadValue<int64_t>(); return *this; }
XArchive& XArchive::operator>>(uint64_t& v) { v = ReadValue<uint64_t>(); return *this; }
XArchive& XArchive::operator>>(float& v) { v = ReadValue<float>(); return *this; }
XArchive& XArchive::operator>>(double& v) { v = ReadValue<double>(); return *this; }

// ---- strings ------------------------------------------------------------------------------------

namespace {

/// Length prefixes: one byte below this, else the escape byte and more.
constexpr uint32_t kByteLengthEscape = 0xFF;
/// 16-bit lengths below this; 0xFFFE marks wide text, 0xFFFF a 32-bit length.
constexpr uint32_t kWideMark = 0xFFFE;
constexpr uint32_t kWordLengthEscape = 0xFFFF;

} // namespace

XArchive& XArchive::operator<<(const XString& str)
{
    const uint32_t n = uint32_t(str.GetLength());
    if (n < kByteLengthEscape) {
        WriteValue(uint8_t(n));
    } else if (n < kWideMark) {
        WriteValue(uint8_t(kByteLengthEscape));
        WriteValue(uint16_t(n));
    } else {
        WriteValue(uint8_t(kByteLengthEscape));
        WriteValue(uint16_t(kWordLengthEscape));
        WriteValue(n);
    }
    Write(static_cast<const char*>(str), n);
    return *this;
}

uint32_t XArchive::ReadStringLength(bool bAllowWide, bool& bWide)
{
    const uint8_t nByte = ReadValue<uint8_t>();
    if (nByte < kByteLengthEscape) return nByte;
    const uint16_t nWord = ReadValue<uint16_t>();
    if (nWord == kWideMark && bAllowWide) {
        bWide = true;
        // The count of characters follows, in a prefix of its own; a second
        // mark there is taken as a plain 16-bit length.
        return ReadStringLength(false, bWide);
    }
    if (nWord < kWordLengthEscape) return nWord;
    return ReadValue<uint32_t>();
}

XArchive& XArchive::operator>>(XString& str)
{
    bool bWide = false;
    const uint32_t n = ReadStringLength(true, bWide);
    std::vector<uint8_t> data;
    if (!bWide) {
        // An XString holds at most INT32_MAX - 1 bytes.
        if (n > uint32_t(INT32_MAX - 1)) {
            EnsureRemaining(n);  // a damaged stream rather than a memory failure, where that can be told
            throw XMemoryException();
        }
        if (n <= uint32_t(m_lpBufMax - m_lpBufCur)) {  // the common case: straight from the buffer
            str = XString(reinterpret_cast<const char*>(m_lpBufCur), int(n));
            m_lpBufCur += n;
            return *this;
        }
        ReadBlock(data, n);
        str = XString(reinterpret_cast<const char*>(data.data()), int(n));
        return *this;
    }
    ReadBlock(data, uint64_t(n) * 2);
    // Wide characters are stored as they were in memory: least significant
    // byte first.
    std::vector<uint16_t> units(n);
    for (size_t i = 0; i < n; ++i) units[i] = uint16_t(data[2 * i] | (data[2 * i + 1] << 8));
    str = WideFromUtf16(units).c_str();
    return *this;
}

// ---- object indices ---------------------------------------------------------------------------------

uint32_t XArchive::StoredIndex(const void* p) const
{
    void* v = nullptr;
    return m_pStoreMap->Lookup(const_cast<void*>(p), v) ? uint32_t(reinterpret_cast<uintptr_t>(v)) : 0;
}

void XArchive::MapObject(const void* p, bool bClass)
{
    if (m_nMapCount >= kMaxMapCount) Fail(XArchiveException::badIndex);
    if (IsStoring()) {
        // The table grows with the objects (to a prime about four times as
        // large) and keeps at most one entry per bucket on average, so that
        // look-ups stay short in archives of millions of objects: a new
        // object's look-up walks its whole bucket.
        if (m_nMapCount > m_nHashSize) {
            uint32_t nSize = 4 * m_nHashSize + 1;
            while (!IsPrime(nSize)) nSize += 2;
            auto* pMap = new XMap<void*, void*>(int(m_nGrowSize));
            pMap->InitHashTable(nSize);
            for (XPOSITION pos = m_pStoreMap->GetStartPosition(); pos != nullptr;) {
                void *k, *v;
                m_pStoreMap->GetNextAssoc(pos, k, v);
                pMap->SetAt(k, v);
            }
            delete m_pStoreMap;
            m_pStoreMap = pMap;
            m_nHashSize = nSize;
        }
        m_pStoreMap->SetAt(const_cast<void*>(p), reinterpret_cast<void*>(uintptr_t(m_nMapCount)));
    } else {
        // Doubling rather than a fixed step keeps appends cheap in large
        // archives.
        const int nSize = int(m_nMapCount);
        if (nSize >= m_pLoadArray->GetMaxSize()) m_pLoadArray->SetSize(nSize, std::max(nSize, int(m_nGrowSize)));
        m_pLoadArray->SetAtGrow(nSize, bClass ? ClassEntry(static_cast<const XRuntimeClass*>(p)) : const_cast<void*>(p));
    }
    ++m_nMapCount;
}

// ---- classes ---------------------------------------------------------------------------------------

void XArchive::WriteClass(const XRuntimeClass* pClass)
{
    uint32_t nNew = 0;
    for (const XRuntimeClass* p = pClass; p != nullptr; p = p->m_pBaseClass)
        if (StoredIndex(p) == 0) ++nNew;
    *this << kClassMagic << nNew;
    for (const XRuntimeClass* p = pClass; p != nullptr; p = p->m_pBaseClass) {
        if (StoredIndex(p) != 0) continue;
        p->Store(*this);
        MapObject(p, true);
    }
}

XRuntimeClass* XArchive::LoadClass(uint32_t& wSchema)
{
    XRuntimeClass* pClass = XRuntimeClass::Load(*this, &wSchema);
    if (pClass == nullptr) Fail(XArchiveException::badClass);
    if (wSchema == 0 || wSchema > pClass->m_wSchema) Fail(XArchiveException::badSchema);
    MapObject(pClass, true);
    if (m_pSchemaMap == nullptr) m_pSchemaMap = new XMap<void*, void*>;
    m_pSchemaMap->SetAt(pClass, reinterpret_cast<void*>(uintptr_t(wSchema)));
    return pClass;
}

XRuntimeClass* XArchive::ReadClass(const XRuntimeClass* pClassRequested, uint32_t* pwSchema)
{
    // Four whole bytes that are not the magic mean a stream without class
    // descriptions; fewer are a cut stream (endOfFile, as everywhere).
    if (ReadValue<uint32_t>() != kClassMagic) {
        m_lpBufCur -= sizeof(uint32_t);  // still in the buffer: it was just read from there
        return const_cast<XRuntimeClass*>(pClassRequested);
    }
    const uint32_t nCount = ReadValue<uint32_t>();
    XRuntimeClass* pFirst = const_cast<XRuntimeClass*>(pClassRequested);
    for (uint32_t i = 0; i < nCount; ++i) {
        uint32_t wSchema = 0;
        XRuntimeClass* pClass = LoadClass(wSchema);
        if (i == 0) {
            pFirst = pClass;
            if (pwSchema != nullptr) *pwSchema = wSchema;
        }
    }
    return pFirst;
}

uint32_t XArchive::GetLoadedSchema(const XRuntimeClass* pClass) const
{
    void* v = nullptr;
    if (m_pSchemaMap == nullptr || !m_pSchemaMap->Lookup(const_cast<XRuntimeClass*>(pClass), v)) return XSCHEMA_NONE;
    return uint32_t(reinterpret_cast<uintptr_t>(v));
}

// ---- objects --------------------------------------------------------------------------------------

void XArchive::CheckStack()
{
    if (m_nDepth == 0) m_nStackFloor = StackFloor();
    if (reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < m_nStackFloor) Fail(XArchiveException::badIndex);
}

void XArchive::WriteObject(const XObject* pObject)
{
    // Checked for every reference, as the reader does.
    CheckStack();
    if (pObject == nullptr) {
        *this << kTagNull;
        return;
    }
    if (const uint32_t nIndex = StoredIndex(pObject)) {
        *this << kTagObjectIndex << nIndex;
        return;
    }
    const XRuntimeClass* pClass = pObject->GetRuntimeClass();
    if (pClass == nullptr) Fail(XArchiveException::badClass);  // no class registry
    if (const uint32_t nClass = StoredIndex(pClass)) {
        *this << kTagClassIndex << nClass;
    } else {
        *this << kTagClassChain;
        WriteClass(pClass);
    }
    MapObject(pObject, false);
    ++m_nDepth;
    try {
        const_cast<XObject*>(pObject)->Serialize(*this);
    } catch (...) {
        --m_nDepth;
        throw;
    }
    --m_nDepth;
}

XObject* XArchive::ReadObject(const XRuntimeClass* pClassExpected)
{
    CheckStack();
    const uint32_t nFirst = m_nMapCount;
    ++m_nDepth;
    try {
        XObject* pObject = ReadObjectAt(pClassExpected);
        --m_nDepth;
        return pObject;
    } catch (...) {
        // Only the outermost call frees: the objects of inner calls may be
        // held by objects of outer ones.
        if (--m_nDepth == 0 && m_pLoadArray != nullptr) ReleaseLoaded(nFirst);
        throw;
    }
}

XObject* XArchive::ReadObjectAt(const XRuntimeClass* pClassExpected)
{
    const uint8_t nTag = ReadValue<uint8_t>();
    XRuntimeClass* pClass = nullptr;
    switch (nTag) {
    case kTagNull: return nullptr;
    case kTagObjectIndex: {
        const uint32_t nIndex = ReadValue<uint32_t>();
        if (nIndex >= m_nMapCount) Fail(XArchiveException::badIndex);
        void* p = m_pLoadArray->GetAt(int(nIndex));
        if (IsClassEntry(p)) Fail(XArchiveException::badIndex);
        auto* pObject = static_cast<XObject*>(p);
        if (pObject != nullptr && pClassExpected != nullptr && !pObject->IsKindOf(pClassExpected))
            Fail(XArchiveException::badClass);
        return pObject;
    }
    case kTagClassDescription: {
        uint32_t wSchema = 0;
        pClass = LoadClass(wSchema);
        break;
    }
    case kTagClassChain: pClass = ReadClass(pClassExpected); break;
    case kTagClassIndex: {
        const uint32_t nIndex = ReadValue<uint32_t>();
        if (nIndex >= m_nMapCount) Fail(XArchiveException::badIndex);
        if (nIndex == 0) return nullptr;
        void* p = m_pLoadArray->GetAt(int(nIndex));
        if (!IsClassEntry(p)) Fail(XArchiveException::badIndex);
        pClass = ClassOfEntry(p);
        break;
    }
    default: Fail(XArchiveException::badClass);
    }
    if (pClass == nullptr) Fail(XArchiveException::badClass);
    if (pClassExpected != nullptr && !pClass->IsDerivedFrom(pClassExpected)) Fail(XArchiveException::badIndex);

    XObject* pObject = pClass->CreateObject();
    if (pObject == nullptr) throw XMemoryException();
    MapObject(pObject, false);  // before its data, so that its members can refer back to it
    pObject->Serialize(*this);
    return pObject;
}

void XArchive::ReleaseLoaded(uint32_t nFirst)
{
    const int nEnd = std::min(int(m_nMapCount), m_pLoadArray->GetSize());
    std::vector<XObject*> objects;
    for (int i = int(nFirst); i < nEnd; ++i) {
        void* p = m_pLoadArray->GetAt(i);
        if (p != nullptr && !IsClassEntry(p)) objects.push_back(static_cast<XObject*>(p));
    }
    // Every object first gets a reference of the archive's, so that none
    // goes while another still holds it; dropping those references then
    // frees each object once the last holder has gone. An owner may delete
    // what it owns directly, whatever its count: objects destroyed so are
    // struck from the watched set and not touched again.
    std::unordered_set<const XObject*> alive(objects.begin(), objects.end());
    XObject::XDestructionWatch watch(&alive);
    for (XObject* p : objects) p->Ref();
    for (XObject* p : objects)
        if (alive.count(p) != 0) p->Unref();
    m_pLoadArray->SetSize(int(nFirst));
    m_nMapCount = nFirst;
}

XArchive& operator<<(XArchive& ar, const XObject* pObject)
{
    ar.WriteObject(pObject);
    return ar;
}

XArchive& operator>>(XArchive& ar, XObject*& pObject)
{
    pObject = ar.ReadObject(nullptr);
    return ar;
}

// ---- the root's parts -------------------------------------------------------------------------------

void XRuntimeClass::Store(XArchive& ar) const
{
    const size_t nLength = std::strlen(m_lpszClassName);
    // A name the reader would refuse is not written.
    if (nLength >= size_t(XArchive::kMaxClassName))
        throw XArchiveException(XArchiveException::badClass, ar.GetFileName());
    ar << m_wSchema << uint16_t(nLength);
    ar.Write(m_lpszClassName, uint32_t(nLength));
}

XRuntimeClass* XRuntimeClass::Load(XArchive& ar, uint32_t* pwSchemaNum)
{
    uint32_t wSchema = 0;
    uint16_t nLength = 0;
    ar >> wSchema >> nLength;
    if (nLength >= XArchive::kMaxClassName) return nullptr;
    char szName[XArchive::kMaxClassName];
    if (ar.Read(szName, nLength) != nLength) return nullptr;
    szName[nLength] = '\0';
    // A name with a zero byte inside is none of the registered ones.
    if (std::strlen(szName) != nLength) return nullptr;
    if (pwSchemaNum != nullptr) *pwSchemaNum = wSchema;
    return FromName(szName);
}

void XObject::Serialize(XArchive& ar)
{
    const XRuntimeClass* pClass = GetRuntimeClass();
    if (ar.IsStoring()) {
        ar.WriteClass(pClass);
    } else if (ar.ReadClass(pClass) != pClass) {
        // The stream describes another class than the object being read.
        throw XArchiveException(XArchiveException::badClass, ar.GetFileName());
    }
}

} // namespace Pelmora::Tivra
