// The archive reader's fuzz input, shared by the fuzz target and the test
// that replays its findings: the first byte chooses the byte order and what
// is read, the rest is the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XFile.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XObList.h>

namespace TivraFuzz {

using namespace Pelmora::Tivra;

/// A read-only file over memory, so that an input needs no disk.
class XMemoryInputFile : public XFile {
public:
    XMemoryInputFile(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize), m_nPos(0)
    {
        SetFilePath("fuzz.arc");
    }
    uint32_t Read(void* pBuffer, uint32_t nCount) override
    {
        const size_t nLeft = m_nPos < m_nSize ? m_nSize - m_nPos : 0;
        const uint32_t n = uint32_t(nCount < nLeft ? nCount : nLeft);
        if (n > 0) __builtin_memcpy(pBuffer, m_pData + m_nPos, n);
        m_nPos += n;
        return n;
    }
    uint64_t Seek(int64_t lOff, uint32_t nFrom) override
    {
        const int64_t nBase = nFrom == begin ? 0 : nFrom == current ? int64_t(m_nPos) : int64_t(m_nSize);
        if (nBase + lOff < 0) throw XFileException(XFileException::badSeek, GetFilePath());
        m_nPos = size_t(nBase + lOff);
        return m_nPos;
    }
    uint64_t GetPosition() const override { return m_nPos; }
    uint64_t GetLength() const override { return m_nSize; }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos;
};

/// Registers the classes a stream may name.
inline void RegisterClasses()
{
    XObject::GetThisClass();
    XObArray::GetThisClass();
    XObList::GetThisClass();
    XMapStringToOb::GetThisClass();
    XMapWordToOb::GetThisClass();
    XPtrArray::GetThisClass();
    XMapPtrToPtr::GetThisClass();
    XMapStringToPtr::GetThisClass();
    XFile::GetThisClass();  // no factory: a stream naming it must fail cleanly
}

inline void Collect(XObject* p, std::set<XObject*>& objects);

/// Adds the objects a container holds, and all they hold, to the set.
inline void CollectContents(XObject* p, std::set<XObject*>& objects)
{
    if (auto* pArray = dynamic_cast<XObArray*>(p)) {
        for (int i = 0; i < pArray->GetSize(); ++i) Collect(pArray->GetAt(i), objects);
    } else if (auto* pList = dynamic_cast<XObList*>(p)) {
        for (XPOSITION pos = pList->GetHeadPosition(); pos != nullptr;) Collect(pList->GetNext(pos), objects);
    } else if (auto* pNames = dynamic_cast<XMapStringToOb*>(p)) {
        for (XPOSITION pos = pNames->GetStartPosition(); pos != nullptr;) {
            XString strKey;
            XObject* pValue = nullptr;
            pNames->GetNextAssoc(pos, strKey, pValue);
            Collect(pValue, objects);
        }
    } else if (auto* pWords = dynamic_cast<XMapWordToOb*>(p)) {
        for (XPOSITION pos = pWords->GetStartPosition(); pos != nullptr;) {
            uint16_t wKey = 0;
            XObject* pValue = nullptr;
            pWords->GetNextAssoc(pos, wKey, pValue);
            Collect(pValue, objects);
        }
    }
}

/// Adds an object and everything it holds to the set, once each.
inline void Collect(XObject* p, std::set<XObject*>& objects)
{
    if (p != nullptr && objects.insert(p).second) CollectContents(p, objects);
}

/// Reads one input. Byte 0: bit 0 little-endian, bits 1-2 what to read
/// (0 objects until the stream fails, 1 an object array's content, 2
/// strings, 3 a string-keyed map's content). Returns normally or throws one
/// of the core's exceptions, having freed every object it read; anything
/// else is a finding.
inline void ReadInput(const uint8_t* pData, size_t nSize)
{
    if (nSize == 0) return;
    const uint8_t nChoice = pData[0];
    XMemoryInputFile file(pData + 1, nSize - 1);
    XArchive ar(&file, XArchive::load | ((nChoice & 1) ? uint32_t(XArchive::bNoByteSwap) : 0u), 128);
    // The objects that came back are the reader's to free (those of a call
    // that fails the archive frees itself); containers do not own theirs.
    std::set<XObject*> objects;
    XObArray array;
    XMapStringToOb map;
    try {
        switch ((nChoice >> 1) & 3) {
        case 0:
            for (;;) Collect(ar.ReadObject(nullptr), objects);  // each read takes a byte at least
        case 1:
            array.Serialize(ar);
            break;
        case 2:
            for (;;) {
                XString str;
                ar >> str;
            }
        default:
            map.Serialize(ar);
            break;
        }
    } catch (...) {
        CollectContents(&array, objects);
        CollectContents(&map, objects);
        for (XObject* p : objects) delete p;
        throw;
    }
    CollectContents(&array, objects);
    CollectContents(&map, objects);
    for (XObject* p : objects) delete p;
}

} // namespace TivraFuzz
