// XString: the core's 8-bit character string.
//
// The object is a single pointer to the character data of a heap block that
// it owns alone. The block starts with two 32-bit fields, the length and the
// capacity, followed by capacity + 1 bytes of data, so the string passes as a
// zero-terminated char pointer at no cost and reads its length just before
// the data. There is no sharing and no shared empty string: an empty string
// owns a block of capacity 0 holding a single zero byte.
//
// Text is 8-bit in the process's multibyte encoding. Where characters are
// walked as units (MakeReverse, the Format buffer estimate), a byte of value
// 128 or more starts a two-byte character.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace Pelmora::Tivra {

class XString {
public:
    // --- construction, assignment, access -----------------------------------

    /// Empty string (a block of capacity 0).
    XString();
    /// Deep copy: a new block of the capacity class of the source length.
    XString(const XString& strSrc);
    /// Takes over the source's block and gives the source a new empty one, so
    /// that every string still owns a block of its own.
    XString(XString&& strSrc);
    /// Copy of a zero-terminated text; null gives an empty string.
    XString(const char* psz);
    /// Copy of nLength bytes (which may include zero bytes); a null pointer or
    /// a negative count gives an empty string.
    XString(const char* pch, int nLength);
    /// One-character string.
    explicit XString(char ch);
    /// Wide text converted to the multibyte encoding of the user's default
    /// locale; a character the locale cannot represent is written in UTF-8
    /// (a value that is no character as U+FFFD), so no text is lost. Null
    /// gives an empty string.
    XString(const wchar_t* psz);
    ~XString();

    XString& operator=(const XString& strSrc);
    /// Exchanges blocks with the source: no allocation.
    XString& operator=(XString&& strSrc) noexcept;
    XString& operator=(const char* psz);
    XString& operator=(const wchar_t* psz);

    /// Number of bytes in use.
    int GetLength() const { return Header()->nDataLength; }
    /// Number of bytes the block holds, terminator not counted.
    int GetAllocLength() const { return Header()->nAllocLength; }
    bool IsEmpty() const { return m_pchData[0] == '\0'; }
    /// Length 0; the block is kept.
    void Empty();
    /// Sets the length to n (negative taken as 0) and writes the terminator
    /// there. Within the capacity the block is kept; beyond it a block of the
    /// class for n replaces it, keeping the old characters. Returns n.
    int SetLength(int nLength);
    /// For writing up to n bytes: n <= 0 returns the data and changes nothing;
    /// otherwise the length becomes n, and when n exceeds the capacity a new
    /// block of the class for n replaces the old one without its old content.
    /// The writer then calls SetLength with the real length.
    char* GetBuffer(int nLength);

    operator const char*() const { return m_pchData; }

    // --- concatenation -------------------------------------------------------

    XString& operator+=(const XString& str);
    XString& operator+=(const char* psz);
    XString& operator+=(char ch);

    friend XString operator+(const XString& str1, const XString& str2);
    friend XString operator+(const XString& str, const char* psz);
    friend XString operator+(const char* psz, const XString& str);
    friend XString operator+(const XString& str, char ch);
    friend XString operator+(char ch, const XString& str);

    // --- comparison (bytes taken as unsigned) ---------------------------------

    /// Byte-wise: -1, 0 or 1.
    int Compare(const char* psz) const;
    /// Case-insensitive, by the C library's rule for the current locale.
    int CompareNoCase(const char* psz) const;
    /// The C library's collation of the current locale.
    int Collate(const char* psz) const;
    /// Collation of both texts folded to lower case.
    int CollateNoCase(const char* psz) const;

    // --- extraction ------------------------------------------------------------

    /// nFirst clamped to 0..length-1, nCount to 0..length-nFirst.
    XString Mid(int nFirst, int nCount) const;
    /// From nFirst (clamped as above) to the end.
    XString Mid(int nFirst) const;
    /// The first nCount bytes; nCount < 0 gives an empty string.
    XString Left(int nCount) const;

    // --- search (byte indices, -1 when not found) -------------------------------

    /// First occurrence of the text at or after nStart (Boyer-Moore). -1 for
    /// an empty string, nStart outside 0..length-1, a null or empty pattern,
    /// or a pattern longer than the whole string.
    int Find(const char* pszSub, int nStart = 0) const;
    /// First occurrence of the byte at or after nStart.
    int Find(char ch, int nStart = 0) const;
    /// Last occurrence of the byte at or before index length - nSkip - 1
    /// (a negative nSkip is taken as 0).
    int ReverseFind(char ch, int nSkip = 0) const;
    /// Lowest index whose byte is in the set.
    int FindOneOf(const char* pszCharSet) const;

    // --- modification in place --------------------------------------------------

    void MakeUpper();
    void MakeLower();
    /// Reverses the characters; a two-byte character keeps its byte order.
    void MakeReverse();
    /// Removes leading spaces (the space character only, not tabs).
    void TrimLeft();
    /// Removes trailing spaces.
    void TrimRight();
    void TrimLeft(char chTarget);
    void TrimRight(char chTarget);
    /// Removes the longest common prefix of the string and the text, compared
    /// position by position (the text is not a character set).
    void TrimLeft(const char* pszTargets);
    /// Removes the longest common suffix of the string and the text.
    void TrimRight(const char* pszTargets);
    /// Returns the number of bytes replaced.
    int Replace(char chOld, char chNew);
    /// Replaces every non-overlapping occurrence, left to right, building the
    /// result in a new block. Returns the number of occurrences replaced.
    int Replace(const char* pszOld, const char* pszNew);
    /// Deletes every occurrence of the byte; returns the number removed.
    int Remove(char chRemove);
    /// Inserts before nIndex (clamped to 0..length); returns the new length.
    int Insert(int nIndex, char ch);
    int Insert(int nIndex, const char* psz);
    /// Deletes nCount bytes (negative taken as 0, clamped to what remains) at
    /// nIndex (clamped to 0..length); returns the new length.
    int Delete(int nIndex, int nCount = 1);

    // --- formatting -------------------------------------------------------------

    /// Replaces the content with printf-style output. The size prefixes of
    /// the original platform's C library are accepted: "I64" (64-bit), "I32"
    /// (32-bit), "I" (pointer-sized), "h" and "l"/"w" on s and c (narrow and
    /// wide text), "%S" and "%C" (wide text and character); "F" and "N" are
    /// ignored. A directive that is not understood is copied as text.
    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list argList);
    /// The number of bytes FormatV reserves for this format and these
    /// arguments, never less than what it writes; -1 when that exceeds the
    /// 32-bit length of a string.
    static int64_t EstimateFormatLength(const char* pszFormat, va_list argList);

    /// Capacity a block gets for a request of n bytes: 0 for 0, then 64, 128,
    /// 256 and 512 for the first n below each, n + 1 from 512 on.
    static int32_t CapacityClass(int32_t n);

private:
    struct XStringHeader {
        int32_t nDataLength;  // bytes in use
        int32_t nAllocLength; // bytes of data, terminator not counted
    };

    XStringHeader* Header() const { return reinterpret_cast<XStringHeader*>(m_pchData) - 1; }
    void SetDataLength(int32_t n)
    {
        Header()->nDataLength = n;
        m_pchData[n] = '\0';
    }

    static char* AllocBlock(int32_t nAlloc);
    static void FreeBlock(char* pchData);
    /// Makes room for nLength bytes in a block of the class for nLength,
    /// keeping the current content (the block may move).
    void GrowKeep(int32_t nLength);
    /// Replaces the block with one of the class for nLength, content dropped.
    void ReplaceBlock(int32_t nLength);
    /// Sets the content to nLength bytes copied from pch (which may lie in
    /// this string's own block).
    void AssignCopy(const char* pch, int32_t nLength);
    /// Appends nLength bytes from pch (which may lie in this string's block).
    void Append(const char* pch, int32_t nLength);
    /// Inserts nInsert bytes from psz before nIndex (clamped).
    int InsertBytes(int nIndex, const char* psz, int32_t nInsert);
    /// A string holding the two pieces one after the other.
    static XString Concat(const char* pch1, int32_t n1, const char* pch2, int32_t n2);
    /// True when p points into this string's block.
    bool InBlock(const void* p) const;

    char* m_pchData; // the data of the owned block; never null
};

// Comparisons: byte-wise and case-sensitive, null char pointers counting as
// empty text.
bool operator==(const XString& s1, const XString& s2);
bool operator==(const XString& s1, const char* s2);
bool operator==(const char* s1, const XString& s2);
bool operator!=(const XString& s1, const XString& s2);
bool operator!=(const XString& s1, const char* s2);
bool operator!=(const char* s1, const XString& s2);
bool operator<(const XString& s1, const XString& s2);
bool operator<(const XString& s1, const char* s2);
bool operator<(const char* s1, const XString& s2);
bool operator>(const XString& s1, const XString& s2);
bool operator>(const XString& s1, const char* s2);
bool operator>(const char* s1, const XString& s2);
bool operator<=(const XString& s1, const XString& s2);
bool operator<=(const XString& s1, const char* s2);
bool operator<=(const char* s1, const XString& s2);
bool operator>=(const XString& s1, const XString& s2);
bool operator>=(const XString& s1, const char* s2);
bool operator>=(const char* s1, const XString& s2);

} // namespace Pelmora::Tivra
