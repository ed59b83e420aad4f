// XString: block management, conversions, concatenation, comparison,
// extraction, search and modification. Formatting is in XStringFormat.cpp.
#include <tivra/runtime/XString.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

namespace Pelmora::Tivra {

namespace {

/// Sets the C library's locale for all categories to the user's default
/// before an operation whose result depends on it (comparisons, case
/// conversion, reversal, wide-character conversion). The core's text is in
/// the user's encoding, and a host or a library may have switched the process
/// to another locale: comparing or converting under that one would give
/// results that differ from what the user sees elsewhere.
///
/// The call to setlocale(LC_ALL, "") reloads the locale and takes the C
/// library's lock, too costly for every comparison, so it is made only when
/// the locale in effect is not already the user's default. The default's name
/// is taken once, the first time through; asking for the current name is a
/// cheap read. A program that changes its locale environment variables after
/// the first string operation keeps the earlier default.
void UseUserLocale()
{
    static const std::string s_strDefault = [] {
        const char* psz = std::setlocale(LC_ALL, "");
        if (psz == nullptr) psz = std::setlocale(LC_ALL, nullptr); // no usable default: keep what is in effect
        return std::string(psz != nullptr ? psz : "");
    }();
    const char* pszNow = std::setlocale(LC_ALL, nullptr);
    if (pszNow == nullptr || s_strDefault != pszNow) std::setlocale(LC_ALL, "");
}

/// Length of a text that may be null (counted as empty). Lengths beyond the
/// 32-bit range cannot be held by a string and count as a memory failure.
int32_t SafeLength(const char* psz)
{
    if (psz == nullptr) return 0;
    const size_t n = std::strlen(psz);
    if (n > size_t(INT32_MAX - 1)) throw std::bad_alloc();
    return static_cast<int32_t>(n);
}

/// Appends the UTF-8 form of a code point; a surrogate or a value beyond
/// U+10FFFF, which are no characters, as U+FFFD.
void AppendUtf8(std::string& str, uint32_t u)
{
    if ((u >= 0xD800 && u < 0xE000) || u > 0x10FFFF) u = 0xFFFD;
    if (u < 0x80) {
        str += char(u);
    } else if (u < 0x800) {
        str += char(0xC0 | (u >> 6));
        str += char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        str += char(0xE0 | (u >> 12));
        str += char(0x80 | ((u >> 6) & 0x3F));
        str += char(0x80 | (u & 0x3F));
    } else {
        str += char(0xF0 | (u >> 18));
        str += char(0x80 | ((u >> 12) & 0x3F));
        str += char(0x80 | ((u >> 6) & 0x3F));
        str += char(0x80 | (u & 0x3F));
    }
}

/// Sum of two lengths, refusing results that do not fit a string.
int32_t AddLengths(int64_t n1, int64_t n2)
{
    const int64_t n = n1 + n2;
    if (n > INT32_MAX - 1) throw std::bad_alloc();
    return static_cast<int32_t>(n);
}

/// Byte-wise comparison, null counting as empty. strcmp compares the bytes
/// as unsigned char, so a byte of 200 sorts after one of 100.
int CompareBytes(const char* p1, const char* p2)
{
    UseUserLocale();
    return std::strcmp(p1 != nullptr ? p1 : "", p2 != nullptr ? p2 : "");
}

/// Boyer-Moore search of one pattern, built once and used for any number of
/// searches (Replace runs many).
///
/// The pattern is compared right to left against the text at the current
/// shift. On a mismatch at pattern position j against text byte c, two rules
/// each give a shift that cannot skip an occurrence:
///  - bad character: align c with its last occurrence in the pattern before
///    j (shift j - that position, or j + 1 when c does not occur before j);
///  - good suffix: align the matched tail pattern[j+1..] with its rightmost
///    other occurrence in the pattern that is preceded by a byte other than
///    pattern[j], or else with the longest prefix of the pattern that is a
///    suffix of the tail (the strong good-suffix rule).
/// Since neither skips an occurrence, the larger of the two shifts is taken.
class XBoyerMoore {
public:
    XBoyerMoore(const char* pchPattern, int32_t nPattern)
        : m_pPat(reinterpret_cast<const unsigned char*>(pchPattern)), m_nPat(nPattern)
    {
        // Short patterns (the common case) keep their tables on the stack.
        int32_t* pTables = m_aLocal;
        if (nPattern > kLocal) {
            m_pHeap.reset(new int32_t[size_t(nPattern) * 3]);
            pTables = m_pHeap.get();
        }
        m_pGoodSuffix = pTables;
        m_pPrevSame = pTables + nPattern;
        int32_t* pSuffix = pTables + 2 * nPattern; // scratch for the suffix lengths

        // Bad character: the last position of each byte in the pattern, and
        // for each position the previous position holding the same byte, so
        // the last occurrence before j is found by walking back from the last
        // one. The walk only passes positions after j, which were just
        // matched, so it costs no more than the comparisons already made.
        std::fill(std::begin(m_aLast), std::end(m_aLast), -1);
        for (int32_t i = 0; i < nPattern; ++i) {
            m_pPrevSame[i] = m_aLast[m_pPat[i]];
            m_aLast[m_pPat[i]] = i;
        }

        // pSuffix[i]: length of the longest common suffix of pattern[0..i]
        // and the whole pattern.
        const int32_t m = nPattern;
        pSuffix[m - 1] = m;
        int32_t g = m - 1, f = 0;
        for (int32_t i = m - 2; i >= 0; --i) {
            if (i > g && pSuffix[i + m - 1 - f] < i - g) {
                pSuffix[i] = pSuffix[i + m - 1 - f];
            } else {
                if (i < g) g = i;
                f = i;
                while (g >= 0 && m_pPat[g] == m_pPat[g + m - 1 - f]) --g;
                pSuffix[i] = f - g;
            }
        }

        // Good suffix shift for a mismatch at each position j.
        // First: the tail is not found again, so shift to the longest prefix
        // of the pattern that is also a suffix of the tail (or past the whole
        // pattern when there is none).
        for (int32_t j = 0; j < m; ++j) m_pGoodSuffix[j] = m;
        int32_t j = 0;
        for (int32_t i = m - 1; i >= 0; --i) {
            if (pSuffix[i] == i + 1) {
                for (; j < m - 1 - i; ++j)
                    if (m_pGoodSuffix[j] == m) m_pGoodSuffix[j] = m - 1 - i;
            }
        }
        // Then: the tail occurs again, ending at i and preceded by another
        // byte; later (rightmost) occurrences overwrite earlier ones, giving
        // the smallest such shift.
        for (int32_t i = 0; i <= m - 2; ++i) m_pGoodSuffix[m - 1 - pSuffix[i]] = m - 1 - i;

        // Most alignments fail at the last pattern byte, so the shift for a
        // mismatch there is tabulated per text byte: the same two rules with
        // j = m - 1, without the walk.
        for (int c = 0; c < 256; ++c) {
            const int32_t nBad = m_aLast[c] == m - 1 ? m_pPrevSame[m - 1] : m_aLast[c];
            m_aShiftLast[c] = std::max(m_pGoodSuffix[m - 1], m - 1 - nBad);
        }
    }

    /// First match in text[nStart .. nText) or -1.
    int32_t Search(const char* pchText, int32_t nText, int32_t nStart) const
    {
        const unsigned char* t = reinterpret_cast<const unsigned char*>(pchText);
        const int32_t m = m_nPat;
        const int32_t nLastShift = nText - m;
        const unsigned char chLast = m_pPat[m - 1];
        int32_t s = nStart;
        while (s <= nLastShift) {
            const unsigned char c = t[s + m - 1];
            if (c != chLast) {
                s += m_aShiftLast[c];
                continue;
            }
            int32_t j = m - 2;
            while (j >= 0 && m_pPat[j] == t[s + j]) --j;
            if (j < 0) return s;
            int32_t nBad = m_aLast[t[s + j]];
            while (nBad > j) nBad = m_pPrevSame[nBad];
            s += std::max(m_pGoodSuffix[j], j - nBad);
        }
        return -1;
    }

private:
    static constexpr int32_t kLocal = 64; // patterns up to this length need no heap

    const unsigned char* m_pPat;
    int32_t m_nPat;
    int32_t m_aLast[256];
    int32_t m_aShiftLast[256]; // shift for a mismatch at the last pattern byte, per text byte
    int32_t* m_pGoodSuffix = nullptr;
    int32_t* m_pPrevSame = nullptr;
    int32_t m_aLocal[kLocal * 3];
    std::unique_ptr<int32_t[]> m_pHeap;
};

} // namespace

// --- blocks ---------------------------------------------------------------

int32_t XString::CapacityClass(int32_t n)
{
    if (n <= 0) return 0;
    if (n < 64) return 64;
    if (n < 128) return 128;
    if (n < 256) return 256;
    if (n < 512) return 512;
    return n + 1;
}

char* XString::AllocBlock(int32_t nAlloc)
{
    void* p = std::malloc(sizeof(XStringHeader) + size_t(nAlloc) + 1);
    if (p == nullptr) throw std::bad_alloc();
    XStringHeader* pHeader = new (p) XStringHeader{0, nAlloc};
    char* pchData = reinterpret_cast<char*>(pHeader + 1);
    pchData[0] = '\0';
    return pchData;
}

void XString::FreeBlock(char* pchData)
{
    std::free(reinterpret_cast<XStringHeader*>(pchData) - 1);
}

void XString::GrowKeep(int32_t nLength)
{
    // The block is replaced by one of the class for the new length. The C
    // library's realloc does this, and for long strings (whose class is the
    // length + 1, so that every append replaces the block) it can often
    // extend the block where it lies instead of copying it.
    const int32_t nAlloc = CapacityClass(nLength);
    void* p = std::realloc(Header(), sizeof(XStringHeader) + size_t(nAlloc) + 1);
    if (p == nullptr) throw std::bad_alloc();
    m_pchData = reinterpret_cast<char*>(static_cast<XStringHeader*>(p) + 1);
    Header()->nAllocLength = nAlloc;
}

void XString::ReplaceBlock(int32_t nLength)
{
    char* pchNew = AllocBlock(CapacityClass(nLength));
    FreeBlock(m_pchData);
    m_pchData = pchNew;
}

bool XString::InBlock(const void* p) const
{
    const uintptr_t u = reinterpret_cast<uintptr_t>(p);
    const uintptr_t uData = reinterpret_cast<uintptr_t>(m_pchData);
    return u >= uData && u <= uData + uintptr_t(GetAllocLength());
}

void XString::AssignCopy(const char* pch, int32_t nLength)
{
    if (nLength > GetAllocLength()) {
        // A longer source cannot lie in this block, so the old block can go.
        ReplaceBlock(nLength);
    }
    if (nLength > 0) std::memmove(m_pchData, pch, size_t(nLength));
    SetDataLength(nLength);
}

void XString::Append(const char* pch, int32_t nLength)
{
    if (nLength <= 0) return;
    const int32_t nOld = GetLength();
    const int32_t nNew = AddLengths(nOld, nLength);
    if (GetAllocLength() <= nNew) {
        // A new block: a source inside the old one moves with it.
        const ptrdiff_t nOffset = InBlock(pch) ? pch - m_pchData : -1;
        GrowKeep(nNew);
        if (nOffset >= 0) pch = m_pchData + nOffset;
    }
    std::memmove(m_pchData + nOld, pch, size_t(nLength));
    SetDataLength(nNew);
}

XString XString::Concat(const char* pch1, int32_t n1, const char* pch2, int32_t n2)
{
    XString str;
    const int32_t n = AddLengths(n1, n2);
    if (n > 0) {
        str.ReplaceBlock(n);
        if (n1 > 0) std::memcpy(str.m_pchData, pch1, size_t(n1));
        if (n2 > 0) std::memcpy(str.m_pchData + n1, pch2, size_t(n2));
    }
    str.SetDataLength(n);
    return str;
}

// --- construction, assignment, access ---------------------------------------

XString::XString() : m_pchData(AllocBlock(0)) {}

XString::XString(const XString& strSrc) : m_pchData(AllocBlock(CapacityClass(strSrc.GetLength())))
{
    std::memcpy(m_pchData, strSrc.m_pchData, size_t(strSrc.GetLength()));
    SetDataLength(strSrc.GetLength());
}

XString::XString(XString&& strSrc) : m_pchData(AllocBlock(0))
{
    std::swap(m_pchData, strSrc.m_pchData);
}

XString::XString(const char* psz) : XString(psz, SafeLength(psz)) {}

XString::XString(const char* pch, int nLength)
{
    if (pch == nullptr || nLength < 0) nLength = 0;
    m_pchData = AllocBlock(CapacityClass(nLength));
    if (nLength > 0) std::memcpy(m_pchData, pch, size_t(nLength));
    SetDataLength(nLength);
}

XString::XString(char ch) : m_pchData(AllocBlock(CapacityClass(1)))
{
    m_pchData[0] = ch;
    SetDataLength(1);
}

XString::XString(const wchar_t* psz) : m_pchData(AllocBlock(0))
{
    *this = psz;
}

XString::~XString()
{
    FreeBlock(m_pchData);
}

XString& XString::operator=(const XString& strSrc)
{
    if (this != &strSrc) AssignCopy(strSrc.m_pchData, strSrc.GetLength());
    return *this;
}

XString& XString::operator=(XString&& strSrc) noexcept
{
    std::swap(m_pchData, strSrc.m_pchData);
    return *this;
}

XString& XString::operator=(const char* psz)
{
    AssignCopy(psz, SafeLength(psz));
    return *this;
}

XString& XString::operator=(const wchar_t* psz)
{
    UseUserLocale();
    if (psz == nullptr) {
        Empty();
        return *this;
    }
    // Character by character, so that one the locale cannot represent does
    // not lose the others: it is written in UTF-8 (the 8-bit encoding of
    // text on this system), and a value that is no character as U+FFFD.
    std::string str;
    std::mbstate_t state{};
    char aBytes[MB_LEN_MAX];
    for (const wchar_t* p = psz; *p != L'\0'; ++p) {
        const size_t n = std::wcrtomb(aBytes, *p, &state);
        if (n != size_t(-1)) {
            str.append(aBytes, n);
            continue;
        }
        state = std::mbstate_t{};
        AppendUtf8(str, uint32_t(*p));
    }
    // Back to the initial shift state, for encodings that have one.
    const size_t nEnd = std::wcrtomb(aBytes, L'\0', &state);
    if (nEnd != size_t(-1) && nEnd > 1) str.append(aBytes, nEnd - 1);
    AssignCopy(str.data(), SafeLength(str.c_str()));
    return *this;
}

void XString::Empty()
{
    SetDataLength(0);
}

int XString::SetLength(int nLength)
{
    if (nLength < 0) nLength = 0;
    const int32_t nAlloc = GetAllocLength();
    if (nLength > nAlloc) {
        // The old characters are kept; the bytes the old block did not have
        // are zeroed rather than left undefined.
        GrowKeep(nLength);
        std::memset(m_pchData + nAlloc + 1, 0, size_t(nLength - nAlloc));
    }
    SetDataLength(nLength);
    return nLength;
}

char* XString::GetBuffer(int nLength)
{
    if (nLength <= 0) return m_pchData;
    if (nLength > GetAllocLength()) ReplaceBlock(nLength);
    SetDataLength(nLength);
    return m_pchData;
}

// --- concatenation ------------------------------------------------------------

XString& XString::operator+=(const XString& str)
{
    Append(str.m_pchData, str.GetLength());
    return *this;
}

XString& XString::operator+=(const char* psz)
{
    Append(psz, SafeLength(psz));
    return *this;
}

XString& XString::operator+=(char ch)
{
    // The one-byte append is the hot path of text builders: no length scan.
    const int32_t nOld = GetLength();
    if (GetAllocLength() <= nOld + 1) GrowKeep(AddLengths(nOld, 1));
    m_pchData[nOld] = ch;
    SetDataLength(nOld + 1);
    return *this;
}

XString operator+(const XString& str1, const XString& str2)
{
    return XString::Concat(str1.m_pchData, str1.GetLength(), str2.m_pchData, str2.GetLength());
}

XString operator+(const XString& str, const char* psz)
{
    return XString::Concat(str.m_pchData, str.GetLength(), psz, SafeLength(psz));
}

XString operator+(const char* psz, const XString& str)
{
    return XString::Concat(psz, SafeLength(psz), str.m_pchData, str.GetLength());
}

XString operator+(const XString& str, char ch)
{
    return XString::Concat(str.m_pchData, str.GetLength(), &ch, 1);
}

XString operator+(char ch, const XString& str)
{
    return XString::Concat(&ch, 1, str.m_pchData, str.GetLength());
}

// --- comparison ---------------------------------------------------------------

int XString::Compare(const char* psz) const
{
    const int n = CompareBytes(m_pchData, psz);
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

int XString::CompareNoCase(const char* psz) const
{
    UseUserLocale();
    return strcasecmp(m_pchData, psz != nullptr ? psz : "");
}

int XString::Collate(const char* psz) const
{
    UseUserLocale();
    return std::strcoll(m_pchData, psz != nullptr ? psz : "");
}

int XString::CollateNoCase(const char* psz) const
{
    // Both texts are folded to lower case under the user's locale (which
    // MakeLower sets) and then collated.
    XString str1(*this), str2(psz);
    str1.MakeLower();
    str2.MakeLower();
    return std::strcoll(str1.m_pchData, str2.m_pchData);
}

bool operator==(const XString& s1, const XString& s2) { return CompareBytes(s1, s2) == 0; }
bool operator==(const XString& s1, const char* s2) { return CompareBytes(s1, s2) == 0; }
bool operator==(const char* s1, const XString& s2) { return CompareBytes(s1, s2) == 0; }
bool operator!=(const XString& s1, const XString& s2) { return CompareBytes(s1, s2) != 0; }
bool operator!=(const XString& s1, const char* s2) { return CompareBytes(s1, s2) != 0; }
bool operator!=(const char* s1, const XString& s2) { return CompareBytes(s1, s2) != 0; }
bool operator<(const XString& s1, const XString& s2) { return CompareBytes(s1, s2) < 0; }
bool operator<(const XString& s1, const char* s2) { return CompareBytes(s1, s2) < 0; }
bool operator<(const char* s1, const XString& s2) { return CompareBytes(s1, s2) < 0; }
bool operator>(const XString& s1, const XString& s2) { return CompareBytes(s1, s2) > 0; }
bool operator>(const XString& s1, const char* s2) { return CompareBytes(s1, s2) > 0; }
bool operator>(const char* s1, const XString& s2) { return CompareBytes(s1, s2) > 0; }
bool operator<=(const XString& s1, const XString& s2) { return CompareBytes(s1, s2) <= 0; }
bool operator<=(const XString& s1, const char* s2) { return CompareBytes(s1, s2) <= 0; }
bool operator<=(const char* s1, const XString& s2) { return CompareBytes(s1, s2) <= 0; }
bool operator>=(const XString& s1, const XString& s2) { return CompareBytes(s1, s2) >= 0; }
bool operator>=(const XString& s1, const char* s2) { return CompareBytes(s1, s2) >= 0; }
bool operator>=(const char* s1, const XString& s2) { return CompareBytes(s1, s2) >= 0; }

// --- extraction ---------------------------------------------------------------

XString XString::Mid(int nFirst, int nCount) const
{
    const int32_t nLength = GetLength();
    if (nLength == 0) return XString();
    nFirst = std::clamp(nFirst, 0, nLength - 1);
    nCount = std::clamp(nCount, 0, nLength - nFirst);
    if (nFirst == 0 && nCount == nLength) return *this;
    return XString(m_pchData + nFirst, nCount);
}

XString XString::Mid(int nFirst) const
{
    const int32_t nLength = GetLength();
    if (nLength == 0) return XString();
    nFirst = std::clamp(nFirst, 0, nLength - 1);
    return Mid(nFirst, nLength - nFirst);
}

XString XString::Left(int nCount) const
{
    if (nCount < 0) nCount = 0;
    if (nCount >= GetLength()) return *this;
    return XString(m_pchData, nCount);
}

// --- search ---------------------------------------------------------------------

int XString::Find(const char* pszSub, int nStart) const
{
    const int32_t nLength = GetLength();
    if (nLength == 0 || nStart < 0 || nStart >= nLength || pszSub == nullptr || pszSub[0] == '\0') return -1;
    const size_t nSub = std::strlen(pszSub);
    if (nSub > size_t(nLength)) return -1;
    if (nSub == 1) {
        // A one-byte pattern gives every Boyer-Moore shift as 1: a byte scan.
        return Find(pszSub[0], nStart);
    }
    const XBoyerMoore bm(pszSub, static_cast<int32_t>(nSub));
    return bm.Search(m_pchData, nLength, nStart);
}

int XString::Find(char ch, int nStart) const
{
    const int32_t nLength = GetLength();
    if (nLength == 0 || nStart < 0 || nStart >= nLength) return -1;
    const void* p = std::memchr(m_pchData + nStart, ch, size_t(nLength - nStart));
    return p != nullptr ? static_cast<int>(static_cast<const char*>(p) - m_pchData) : -1;
}

int XString::ReverseFind(char ch, int nSkip) const
{
    if (nSkip < 0) nSkip = 0;
    for (int i = GetLength() - 1 - nSkip; i >= 0; --i)
        if (m_pchData[i] == ch) return i;
    return -1;
}

int XString::FindOneOf(const char* pszCharSet) const
{
    if (GetLength() == 0 || pszCharSet == nullptr || pszCharSet[0] == '\0') return -1;
    bool aInSet[256] = {};
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszCharSet); *p != 0; ++p) aInSet[*p] = true;
    const unsigned char* pData = reinterpret_cast<const unsigned char*>(m_pchData);
    for (int32_t i = 0, n = GetLength(); i < n; ++i)
        if (aInSet[pData[i]]) return i;
    return -1;
}

// --- modification -----------------------------------------------------------------

void XString::MakeUpper()
{
    UseUserLocale();
    unsigned char* p = reinterpret_cast<unsigned char*>(m_pchData);
    for (int32_t i = 0, n = GetLength(); i < n; ++i) p[i] = static_cast<unsigned char>(std::toupper(p[i]));
}

void XString::MakeLower()
{
    UseUserLocale();
    unsigned char* p = reinterpret_cast<unsigned char*>(m_pchData);
    for (int32_t i = 0, n = GetLength(); i < n; ++i) p[i] = static_cast<unsigned char>(std::tolower(p[i]));
}

void XString::MakeReverse()
{
    UseUserLocale();
    // Walking forward, the two bytes of each two-byte character (a first
    // byte of 128 or more, followed by any byte) are swapped; reversing all
    // bytes afterwards puts them back in their order. A first byte at the
    // very end has no partner and stays a one-byte character.
    char* p = m_pchData;
    const int32_t n = GetLength();
    for (int32_t i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 128 && i + 1 < n) {
            std::swap(p[i], p[i + 1]);
            ++i;
        }
    }
    std::reverse(p, p + n);
}

void XString::TrimLeft()
{
    TrimLeft(' ');
}

void XString::TrimRight()
{
    TrimRight(' ');
}

void XString::TrimLeft(char chTarget)
{
    const int32_t n = GetLength();
    int32_t i = 0;
    while (i < n && m_pchData[i] == chTarget) ++i;
    Delete(0, i);
}

void XString::TrimRight(char chTarget)
{
    int32_t n = GetLength();
    while (n > 0 && m_pchData[n - 1] == chTarget) --n;
    SetDataLength(n);
}

void XString::TrimLeft(const char* pszTargets)
{
    if (pszTargets == nullptr) return;
    const int32_t n = GetLength();
    int32_t i = 0;
    while (i < n && pszTargets[i] != '\0' && pszTargets[i] == m_pchData[i]) ++i;
    Delete(0, i);
}

void XString::TrimRight(const char* pszTargets)
{
    const int32_t nTarget = SafeLength(pszTargets);
    int32_t n = GetLength();
    int32_t k = nTarget;
    while (n > 0 && k > 0 && pszTargets[k - 1] == m_pchData[n - 1]) {
        --n;
        --k;
    }
    SetDataLength(n);
}

int XString::Replace(char chOld, char chNew)
{
    int nCount = 0;
    for (int32_t i = 0, n = GetLength(); i < n; ++i) {
        if (m_pchData[i] == chOld) {
            m_pchData[i] = chNew;
            ++nCount;
        }
    }
    return nCount;
}

int XString::Replace(const char* pszOld, const char* pszNew)
{
    const int32_t nOld = SafeLength(pszOld);
    const int32_t nLength = GetLength();
    if (nOld == 0 || nOld > nLength) return 0;
    const int32_t nNew = SafeLength(pszNew);

    // Occurrences are those that Find returns, walking left to right from
    // the end of the previous one, so they never overlap. The first pass
    // counts them to size the new block; the second builds it.
    const XBoyerMoore bm(pszOld, nOld);
    auto next = [&](int32_t nStart) -> int32_t {
        if (nStart >= nLength) return -1;
        return nOld == 1 ? Find(pszOld[0], nStart) : bm.Search(m_pchData, nLength, nStart);
    };
    int nCount = 0;
    for (int32_t i = next(0); i >= 0; i = next(i + nOld)) ++nCount;
    if (nCount == 0) return 0;

    const int32_t nResult = AddLengths(nLength, int64_t(nCount) * (int64_t(nNew) - nOld));
    char* pchNew = AllocBlock(CapacityClass(nResult));
    char* pOut = pchNew;
    int32_t nFrom = 0;
    for (int32_t i = next(0); i >= 0; i = next(i + nOld)) {
        std::memcpy(pOut, m_pchData + nFrom, size_t(i - nFrom));
        pOut += i - nFrom;
        if (nNew > 0) std::memcpy(pOut, pszNew, size_t(nNew)); // pszNew may be in the old block: still valid
        pOut += nNew;
        nFrom = i + nOld;
    }
    std::memcpy(pOut, m_pchData + nFrom, size_t(nLength - nFrom));
    FreeBlock(m_pchData);
    m_pchData = pchNew;
    SetDataLength(nResult);
    return nCount;
}

int XString::Remove(char chRemove)
{
    char* p = m_pchData;
    const int32_t n = GetLength();
    int32_t nKept = 0;
    for (int32_t i = 0; i < n; ++i)
        if (p[i] != chRemove) p[nKept++] = p[i];
    SetDataLength(nKept);
    return n - nKept;
}

int XString::Insert(int nIndex, char ch)
{
    return InsertBytes(nIndex, &ch, 1);
}

int XString::Insert(int nIndex, const char* psz)
{
    return InsertBytes(nIndex, psz, SafeLength(psz));
}

int XString::InsertBytes(int nIndex, const char* psz, int32_t nInsert)
{
    const int32_t nLength = GetLength();
    if (nInsert == 0) return nLength;
    // A text from this string's own block is copied first, since the tail
    // moves under it.
    if (InBlock(psz)) {
        const XString strCopy(psz, nInsert);
        return InsertBytes(nIndex, strCopy.m_pchData, nInsert);
    }
    nIndex = std::clamp(nIndex, 0, nLength);
    const int32_t nNew = AddLengths(nLength, nInsert);
    if (nNew > GetAllocLength()) GrowKeep(nNew);
    std::memmove(m_pchData + nIndex + nInsert, m_pchData + nIndex, size_t(nLength - nIndex));
    std::memcpy(m_pchData + nIndex, psz, size_t(nInsert));
    SetDataLength(nNew);
    return nNew;
}

int XString::Delete(int nIndex, int nCount)
{
    const int32_t nLength = GetLength();
    nIndex = std::clamp(nIndex, 0, nLength);
    nCount = std::clamp(nCount, 0, nLength - nIndex);
    if (nCount > 0) {
        std::memmove(m_pchData + nIndex, m_pchData + nIndex + nCount, size_t(nLength - nIndex - nCount));
        SetDataLength(nLength - nCount);
    }
    return GetLength();
}

} // namespace Pelmora::Tivra
