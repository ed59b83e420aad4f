// XArchive: a buffered binary serializer over an XFile, for primitives,
// strings and object graphs with class descriptions.
#pragma once

#include <cstdint>
#include <vector>

#include <tivra/runtime/XException.h>
#include <tivra/runtime/XObject.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

class XFile;
template <class TYPE>
class XArray;
template <class KEY, class VALUE>
class XMap;

/// A buffered stream of values over a file, either loading or storing for
/// its whole life.
///
/// Byte order: multi-byte values (integers, floating point, length prefixes,
/// indices) are stored most significant byte first, or least significant
/// byte first with bNoByteSwap. String characters are stored as they are.
///
/// Strings: a length below 255 as one byte; below 0xFFFE as 0xFF and 16
/// bits; otherwise 0xFF, 0xFFFF and 32 bits; then the bytes. On reading,
/// 0xFF followed by 0xFFFE announces wide text: a second prefix gives the
/// number of 16-bit characters (stored least significant byte first), which
/// are converted to the 8-bit text of the process's locale; characters the
/// locale cannot represent become UTF-8 (XString's rule for wide text).
///
/// Objects: WriteObject writes a tag byte: 0 null; 3 and the index of an
/// object already in the archive; 2 and the index of a class already in the
/// archive, then the object's data; 4, a class chain, then the object's data.
/// A class chain is the magic 0xFA2D481C, the count of classes of the
/// object's class and its bases not yet in the archive, and for each, the
/// most derived first, its schema (32 bits), name length (16 bits) and name.
/// Objects and classes share one index sequence starting at 1, so a reader
/// rebuilds the writer's numbering; shared and cyclic references come back
/// as the same object.
///
/// Failures throw XArchiveException (the causes of XArchiveException) with
/// the file's name, or XFileException from the file underneath; a class
/// that cannot be created gives XMemoryException. A stream cut anywhere,
/// within a class chain's magic number too, throws endOfFile. Reading never
/// trusts a length or count from the stream beyond the bytes that remain: on
/// a file that can seek, a string or an array that would run past its end
/// throws endOfFile before anything is allocated for it; on one that cannot
/// (a pipe), such blocks are allocated in pieces as their bytes arrive, so a
/// false length costs at most twice what the stream held before its short
/// read throws endOfFile.
///
/// Objects nest as deep as the calling thread's stack allows: each level
/// takes stack, so a level is refused with badIndex, by the writer as by
/// the reader, once the stack left to the thread falls below a reserve of
/// 128 KiB (the stack's bounds are read once per thread). A chain of ten
/// thousand objects fits the 8 MiB stack of a program's main thread; a
/// thread with a small stack refuses shallower graphs, and a hostile stream
/// of any depth is refused rather than overflowing the stack.
///
/// Ownership of objects read: ReadObject returns objects with a reference
/// count of 0, created through their class's factory, for the caller to
/// own. When a read fails, the objects that the failing outermost ReadObject
/// created are released (each is referenced once, then all are
/// unreferenced in creation order, so objects that hold others through
/// Ref/Unref are freed whole; an object that an owner among them has already
/// deleted directly is skipped) and forgotten by the archive. After any
/// exception the archive is fit only for Abort or destruction.
class XArchive {
public:
    enum Mode : uint32_t {
        store = 0x0,
        load = 0x1,
        bNoFlushOnDelete = 0x2,
        bNoByteSwap = 0x4,
    };

    /// The magic number that opens a class chain.
    static constexpr uint32_t kClassMagic = 0xFA2D481C;
    /// The index sequence ends here: an object or class that would take this
    /// index is refused with badIndex.
    static constexpr uint32_t kMaxMapCount = 0x7FFFFFF1;
    /// A class name of this length or longer is refused.
    static constexpr int kMaxClassName = 64;

    /// An archive over an open file. A buffer size below 128 becomes 128 and
    /// then a caller's buffer is not used; without one (pBuffer null) the
    /// archive allocates its own.
    XArchive(XFile* pFile, uint32_t nMode, int nBufSize = 4096, void* pBuffer = nullptr);
    /// Closes; a failure to write the last buffer is dropped here, so call
    /// Close to see it.
    ~XArchive();
    XArchive(const XArchive&) = delete;
    XArchive& operator=(const XArchive&) = delete;

    /// Writes the buffer when storing (unless bNoFlushOnDelete) and frees the
    /// archive's memory. The file stays open.
    void Close();
    /// Frees the archive's memory without writing anything.
    void Abort();

    bool IsLoading() const { return (m_nMode & load) != 0; }
    bool IsStoring() const { return (m_nMode & load) == 0; }
    /// True when values are stored least significant byte first.
    bool IsLittleEndian() const { return (m_nMode & bNoByteSwap) != 0; }
    XFile* GetFile() const { return m_pFile; }
    /// The file's path when the archive was made; exceptions carry it.
    const XString& GetFileName() const { return m_strFileName; }

    /// Copies up to nCount bytes; fewer only at the end of the file.
    uint32_t Read(void* pBuffer, uint32_t nCount);
    void Write(const void* pBuffer, uint32_t nCount);
    /// Storing: writes the buffered bytes to the file. Loading: gives the
    /// unread buffered bytes back to the file by seeking it back.
    void Flush();

    /// Throws endOfFile unless nBytes more bytes can still be read: for a
    /// reader to check a length taken from the stream before allocating for
    /// it. On a file that cannot seek nothing is known ahead, and nothing is
    /// checked: the reads that follow find the end.
    void EnsureRemaining(uint64_t nBytes);

    XArchive& operator<<(int8_t v);
    XArchive& operator<<(uint8_t v);
    XArchive& operator<<(int16_t v);
    XArchive& operator<<(uint16_t v);
    XArchive& operator<<(int32_t v);
    XArchive& operator<<(uint32_t v);
    XArchive& operator<<(int64_t v);
    XArchive& operator<<(uint64_t v);
    XArchive& operator<<(float v);
    XArchive& operator<<(double v);
    XArchive& operator<<(const XString& str);

    XArchive& operator>>(int8_t& v);
    XArchive& operator>>(uint8_t& v);
    XArchive& operator>>(int16_t& v);
    XArchive& operator>>(uint16_t& v);
    XArchive& operator>>(int32_t& v);
    XArchive& operator>>(uint32_t& v);
    XArchive& operator>>(int64_t& v);
    XArchive& operator>>(uint64_t& v);
    XArchive& operator>>(float& v);
    XArchive& operator>>(double& v);
    XArchive& operator>>(XString& str);

    /// Writes an object (null allowed) and, the first time, its data.
    void WriteObject(const XObject* pObject);
    /// Reads an object written by WriteObject. With pClassExpected, the
    /// object must be of that class or a derived one.
    XObject* ReadObject(const XRuntimeClass* pClassExpected);

    /// Writes the class chain of a class (only the count when every class of
    /// it is in the archive already).
    void WriteClass(const XRuntimeClass* pClass);
    /// Reads a class chain and returns its most derived class, with its
    /// stored schema in *pwSchema when asked. Without the magic number (a
    /// stream written without class descriptions) nothing is consumed, and
    /// as with a count of 0 the requested class is returned.
    XRuntimeClass* ReadClass(const XRuntimeClass* pClassRequested = nullptr, uint32_t* pwSchema = nullptr);
    /// The schema a class was stored with in this archive, read so far;
    /// XSCHEMA_NONE when it has not been read.
    uint32_t GetLoadedSchema(const XRuntimeClass* pClass) const;

private:
    template <class T>
    void WriteValue(T v);
    template <class T>
    T ReadValue();
    /// Makes at least nBytes (at most the buffer size) readable in the
    /// buffer; throws endOfFile when the file ends before.
    void FillBuffer(uint32_t nBytes);
    /// Writes the buffered bytes.
    void WriteBuffer();
    uint32_t ReadStringLength(bool bAllowWide, bool& bWide);
    /// Reads nBytes whose count came from the stream, growing data as they
    /// arrive; endOfFile when fewer remain.
    void ReadBlock(std::vector<uint8_t>& data, uint64_t nBytes);
    /// Refuses one more object level (badIndex) when the thread's stack is
    /// nearly used up; the outermost level reads the stack's floor.
    void CheckStack();
    XObject* ReadObjectAt(const XRuntimeClass* pClassExpected);
    /// Gives an object or class the next index.
    void MapObject(const void* p, bool bClass);
    /// The index of an object or class already stored; 0 when it is new.
    uint32_t StoredIndex(const void* p) const;
    /// Loads one class description and checks it against its registered
    /// class.
    XRuntimeClass* LoadClass(uint32_t& wSchema);
    /// Releases the objects read from index nFirst on, after a failure.
    void ReleaseLoaded(uint32_t nFirst);
    [[noreturn]] void Fail(int32_t nCause) const;

    XString m_strFileName;
    uint32_t m_nMode;
    bool m_bUserBuf;
    uint32_t m_nBufSize;
    XFile* m_pFile;
    uint8_t* m_lpBufCur;
    uint8_t* m_lpBufMax;
    uint8_t* m_lpBufStart;
    union {
        XArray<void*>* m_pLoadArray;
        XMap<void*, void*>* m_pStoreMap;
    };
    uint32_t m_nGrowSize;
    uint32_t m_nHashSize;
    uint32_t m_nMapCount;
    XMap<void*, void*>* m_pSchemaMap;
    int m_nDepth;
    /// The lowest frame address at which another object level may start.
    uintptr_t m_nStackFloor;
    /// False once the file has refused to tell its position (a pipe).
    bool m_bSeekable;
};

/// Objects through their pointers: WriteObject and ReadObject (any class).
XArchive& operator<<(XArchive& ar, const XObject* pObject);
XArchive& operator>>(XArchive& ar, XObject*& pObject);

} // namespace Pelmora::Tivra
