// XString::Format: printf-style formatting into a buffer sized in advance.
//
// The format is scanned once, with two results: an estimate of the output's
// length, computed from the directives and their arguments, and the same
// format rewritten for the C library at hand. Formats written for the
// original platform use size prefixes that glibc reads differently ("%I64d"
// would be the flag I, width 64 and a 32-bit d), so every directive is
// re-emitted in standard form: I64 -> ll, I32 -> none, I -> z, h on s and c
// -> narrow, l or w on s and c -> wide, %S -> %ls, %C -> %lc, F, L and N
// dropped. L goes with the old pointer prefixes because the original
// platform's long double is a double: "%Lf" reads and prints a double, and
// no directive here reads a long double. The string then takes a block of
// the capacity class for the estimate and vsnprintf writes into it.
//
// Since the directive is re-emitted from what the scanner understood, the C
// library never sees a directive that the estimate did not count: one that
// is malformed or uses an unknown type letter is copied as plain text (its
// percent sign doubled) and counted by its bytes.
#include <tivra/runtime/XString.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace Pelmora::Tivra {

namespace {

// Item lengths of the estimate. Each is an upper bound of what the C library
// writes for the directive; widths and precisions raise them as noted.

/// Integers and pointers: 64-bit octal needs 22 digits, so 32 holds any
/// value with sign or radix prefix. With a width and a precision the output
/// is at most width + precision + sign + radix prefix ("0x").
constexpr int64_t kIntegerItem = 32;
constexpr int64_t kIntegerExtra = 3;
/// e, E, g, G, a, A of a double: 128 holds any default
/// output; with a precision the output is the precision plus at most sign,
/// leading digit, point, four decimal zeros (g), "e+dddd" or "0x" and
/// "p+dddd" (a): well under 32 more.
constexpr int64_t kFloatItem = 128;
constexpr int64_t kFloatExtra = 32;
/// f of a double: up to 309 integer digits (DBL_MAX is about 1.8e308), a
/// sign, the point and one spare, plus the precision (6 when omitted).
constexpr int64_t kFixedDouble = 312;
/// c of a narrow character.
constexpr int64_t kCharItem = 2;
/// A wide character converts to at most MB_LEN_MAX bytes.
constexpr int64_t kWideCharItem = MB_LEN_MAX;
/// The C library prints a null text as "(null)".
constexpr int64_t kNullTextItem = 6;
/// Default precision of f when none is given.
constexpr int64_t kDefaultPrecision = 6;
/// Widths and precisions are read up to this value; the C library fails
/// beyond INT_MAX anyway, and the estimate then exceeds what a string holds.
constexpr int64_t kNumberCap = int64_t(INT_MAX) + 1;

enum class ESize { None, Char, Short, Long, LongLong, IntMax, SizeT, PtrDiff, Wide };

/// Scans a format once, adding up the estimate and writing the standard form
/// of the format to pOut (when given; it must hold 2 x length + 1 bytes: a
/// directive is re-emitted in at most one byte more than it had).
class XFormatScanner {
public:
    XFormatScanner(char* pOut, uintptr_t uBlockLo, uintptr_t uBlockHi)
        : m_pOut(pOut), m_uBlockLo(uBlockLo), m_uBlockHi(uBlockHi)
    {
    }

    /// The estimate for the format with these arguments (consumed).
    int64_t Run(const char* pszFormat, va_list args);

    /// True when a text argument lies in the block [lo, hi].
    bool TextInBlock() const { return m_bTextInBlock; }

private:
    void Put(char ch)
    {
        if (m_pOut != nullptr) *m_pOut++ = ch;
    }
    void Put(const char* psz)
    {
        while (*psz != '\0') Put(*psz++);
    }
    void NoteText(const void* p)
    {
        const uintptr_t u = reinterpret_cast<uintptr_t>(p);
        if (p != nullptr && u >= m_uBlockLo && u <= m_uBlockHi) m_bTextInBlock = true;
    }
    /// Reads and re-emits a decimal number, saturating at kNumberCap.
    int64_t Number(const char*& p)
    {
        int64_t n = 0;
        while (*p >= '0' && *p <= '9') {
            n = std::min(n * 10 + (*p - '0'), kNumberCap);
            Put(*p++);
        }
        return n;
    }

    /// One directive starting at p (a percent sign); returns its estimate
    /// and leaves p after it.
    int64_t Directive(const char*& p);

    char* m_pOut;
    va_list m_args; // the arguments, read in step with the directives
    uintptr_t m_uBlockLo, m_uBlockHi;
    bool m_bTextInBlock = false;
};

int64_t XFormatScanner::Run(const char* pszFormat, va_list args)
{
    va_copy(m_args, args);
    int64_t nTotal = 0;
    const char* p = pszFormat;
    while (*p != '\0') {
        if (p[0] == '%' && p[1] == '%') {
            Put("%%");
            nTotal += 2;
            p += 2;
        } else if (p[0] == '%') {
            nTotal += Directive(p);
        } else if (static_cast<unsigned char>(p[0]) >= 128 && p[1] != '\0' && p[1] != '%') {
            // A two-byte character is walked as one unit, so its second
            // byte is never read as the start of a directive. A percent
            // sign after a high byte is still a directive: the C library
            // scans its format byte by byte (in UTF-8 a three-byte character
            // ends in a high byte that would otherwise pair with it).
            Put(p[0]);
            Put(p[1]);
            nTotal += 2;
            p += 2;
        } else {
            Put(*p++);
            nTotal += 1;
        }
    }
    Put('\0');
    va_end(m_args);
    return nTotal;
}

int64_t XFormatScanner::Directive(const char*& p)
{
    const char* const pStart = p;
    char* const pOutStart = m_pOut;
    ++p;

    // The directive as the scanner reads it, in the order of the original
    // platform: flags (with '*' for a width from the arguments among them),
    // width, precision, size prefix, type letter.
    int64_t nExtra = 0;
    bool bWidthArg = false, bPrecArg = false, bPrec = false, bBad = false;
    int64_t nWidth = 0, nPrec = 0;
    Put('%');
    for (;; ++p) {
        const char ch = *p;
        if (ch == '#') {
            nExtra += 2; // radix prefix or forced point
            Put(ch);
        } else if (ch == '-' || ch == '+' || ch == '0' || ch == ' ') {
            Put(ch);
        } else if (ch == '*') {
            bBad = bBad || bWidthArg; // a second '*' has no meaning
            bWidthArg = true;
        } else {
            break;
        }
    }
    if (bWidthArg) {
        Put('*');
        bBad = bBad || (*p >= '0' && *p <= '9'); // both '*' and digits
    }
    nWidth = Number(p);
    if (*p == '.') {
        Put(*p++);
        bPrec = true;
        if (*p == '*') {
            bPrecArg = true;
            Put(*p++);
        } else {
            nPrec = Number(p);
        }
    }

    ESize eSize = ESize::None;
    switch (*p) {
    case 'I':
        if (p[1] == '6' && p[2] == '4') {
            eSize = ESize::LongLong;
            p += 3;
        } else if (p[1] == '3' && p[2] == '2') {
            p += 3;
        } else {
            eSize = ESize::SizeT;
            ++p;
        }
        break;
    case 'h':
        eSize = p[1] == 'h' ? ESize::Char : ESize::Short;
        p += p[1] == 'h' ? 2 : 1;
        break;
    case 'l':
        eSize = p[1] == 'l' ? ESize::LongLong : ESize::Long;
        p += p[1] == 'l' ? 2 : 1;
        break;
    case 'w': eSize = ESize::Wide; ++p; break;
    case 'j': eSize = ESize::IntMax; ++p; break;
    case 'z': eSize = ESize::SizeT; ++p; break;
    case 't': eSize = ESize::PtrDiff; ++p; break;
    case 'F':
    case 'L':
    case 'N': ++p; break; // skipped: the argument is read as the type letter alone says
    default: break;
    }

    const char chType = *p;
    if (chType != '\0') ++p;
    const bool bWideTextSize = eSize == ESize::Long || eSize == ESize::Wide;
    int nKind = 0; // 1 integer, 2 float, 3 fixed, 4 char, 5 text, 6 pointer, 7 count, 8 percent
    bool bWide = false;
    switch (chType) {
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': nKind = 1; break;
    case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': nKind = 2; break;
    case 'f': nKind = 3; break;
    case 'c': nKind = 4; bWide = bWideTextSize; break;
    case 'C': nKind = 4; bWide = eSize != ESize::Short; break;
    case 's': nKind = 5; bWide = bWideTextSize; break;
    case 'S': nKind = 5; bWide = eSize != ESize::Short; break;
    case 'p': nKind = 6; break;
    case 'n': nKind = 7; break;
    case '%': nKind = 8; break;
    default: bBad = true; break;
    }

    if (bBad) {
        // Not understood: copied as text, no argument read.
        m_pOut = pOutStart;
        for (const char* q = pStart; q < p; ++q) {
            if (*q == '%') Put('%');
            Put(*q);
        }
        return p - pStart;
    }
    if (nKind == 8) {
        m_pOut = pOutStart;
        Put("%%");
        return 1;
    }

    // Arguments in the order the C library reads them.
    if (bWidthArg) {
        const int n = va_arg(m_args, int);
        nWidth = n < 0 ? -int64_t(n) : n; // a negative width means left-justified
    }
    if (bPrecArg) {
        const int n = va_arg(m_args, int);
        bPrec = n >= 0; // a negative precision counts as none
        nPrec = bPrec ? n : 0;
    }

    int64_t nItem = 0;
    switch (nKind) {
    case 1: {
        const char* pszSize = "";
        switch (eSize) {
        case ESize::Char: pszSize = "hh"; (void)va_arg(m_args, int); break;
        case ESize::Short: pszSize = "h"; (void)va_arg(m_args, int); break;
        case ESize::Long: pszSize = "l"; (void)va_arg(m_args, long); break;
        case ESize::LongLong: pszSize = "ll"; (void)va_arg(m_args, long long); break;
        case ESize::IntMax: pszSize = "j"; (void)va_arg(m_args, intmax_t); break;
        case ESize::SizeT: pszSize = "z"; (void)va_arg(m_args, size_t); break;
        case ESize::PtrDiff: pszSize = "t"; (void)va_arg(m_args, ptrdiff_t); break;
        default: (void)va_arg(m_args, int); break; // L and w mean nothing on integers
        }
        Put(pszSize);
        nItem = std::max(kIntegerItem, nWidth + nPrec + kIntegerExtra);
        break;
    }
    case 2:
    case 3:
        (void)va_arg(m_args, double);
        if (nKind == 2) {
            nItem = std::max(kFloatItem, nWidth + nPrec + kFloatExtra);
        } else {
            const int64_t nDigits = kFixedDouble + (bPrec ? nPrec : kDefaultPrecision);
            nItem = std::max({kFloatItem, nDigits, nWidth});
        }
        break;
    case 4:
        (void)va_arg(m_args, wint_t); // char and wide char both arrive as int
        if (bWide) Put('l');
        nItem = std::max(bWide ? kWideCharItem : kCharItem, nWidth);
        break;
    case 5: {
        if (bWide) {
            Put('l');
            const wchar_t* psz = va_arg(m_args, const wchar_t*);
            NoteText(psz);
            if (psz == nullptr) {
                nItem = kNullTextItem;
            } else {
                // The bytes the text converts to under the current locale;
                // text it cannot convert makes the C library fail.
                std::mbstate_t state{};
                const wchar_t* q = psz;
                const size_t n = std::wcsrtombs(nullptr, &q, 0, &state);
                nItem = n == size_t(-1) ? 0 : (n == 0 ? 1 : int64_t(n));
            }
        } else {
            const char* psz = va_arg(m_args, const char*);
            NoteText(psz);
            if (psz == nullptr) {
                nItem = kNullTextItem;
            } else {
                // With a precision the text need not be terminated within it.
                const size_t n = bPrec ? strnlen(psz, size_t(nPrec)) : std::strlen(psz);
                nItem = n == 0 ? 1 : int64_t(n);
            }
        }
        if (bPrec) nItem = std::min(nItem, nPrec);
        nItem = std::max(nItem, nWidth);
        break;
    }
    case 6:
        (void)va_arg(m_args, void*);
        nItem = std::max(kIntegerItem, nWidth + nPrec + kIntegerExtra);
        break;
    case 7:
        (void)va_arg(m_args, void*);
        switch (eSize) {
        case ESize::Char: Put("hh"); break;
        case ESize::Short: Put('h'); break;
        case ESize::Long: Put('l'); break;
        case ESize::LongLong: Put("ll"); break;
        case ESize::IntMax: Put('j'); break;
        case ESize::SizeT: Put('z'); break;
        case ESize::PtrDiff: Put('t'); break;
        default: break;
        }
        break;
    }
    Put(chType == 'S' ? 's' : (chType == 'C' ? 'c' : chType));
    return nItem + nExtra;
}

} // namespace

int64_t XString::EstimateFormatLength(const char* pszFormat, va_list argList)
{
    if (pszFormat == nullptr) return 0;
    XFormatScanner scanner(nullptr, 0, 0);
    const int64_t n = scanner.Run(pszFormat, argList); // reads a copy of the list
    return n > INT32_MAX - 1 ? -1 : n;
}

void XString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void XString::FormatV(const char* pszFormat, va_list argList)
{
    if (pszFormat == nullptr) {
        Empty();
        return;
    }

    // The standard form of the format, on the stack for ordinary formats.
    const size_t nFormat = std::strlen(pszFormat);
    const size_t nNeed = 2 * nFormat + 1;
    char aLocal[512];
    std::unique_ptr<char[]> pHeap;
    char* pszStandard = aLocal;
    if (nNeed > sizeof(aLocal)) {
        pHeap.reset(new char[nNeed]);
        pszStandard = pHeap.get();
    }

    const uintptr_t uData = reinterpret_cast<uintptr_t>(m_pchData);
    XFormatScanner scanner(pszStandard, uData, uData + uintptr_t(GetAllocLength()));
    const int64_t nEstimate = scanner.Run(pszFormat, argList); // reads a copy of the list
    if (nEstimate > INT32_MAX - 1) {
        Empty();
        return;
    }
    const int32_t nLength = static_cast<int32_t>(nEstimate);

    // The original format is used when nothing was rewritten and it does not
    // lie in this string's block (which is about to be written).
    const char* pszUse = (!InBlock(pszFormat) && std::strcmp(pszStandard, pszFormat) == 0) ? pszFormat : pszStandard;

    // A text argument taken from this string's own block must survive the
    // write: the output then goes into a new block.
    char* pchNew = nullptr;
    char* pchDest;
    if (scanner.TextInBlock()) {
        pchNew = AllocBlock(CapacityClass(nLength));
        pchDest = pchNew;
    } else {
        pchDest = GetBuffer(nLength);
    }

    va_list args;
    va_copy(args, argList);
    int nWritten = std::vsnprintf(pchDest, size_t(nLength) + 1, pszUse, args);
    va_end(args);

    if (nWritten > nLength) {
        // The estimate bounds every directive the scanner lets through, so
        // this does not happen; if it ever did, the output is written again
        // into a block of the real size rather than cut short.
        if (pchNew != nullptr) FreeBlock(pchNew);
        pchNew = AllocBlock(CapacityClass(nWritten));
        va_copy(args, argList);
        nWritten = std::vsnprintf(pchNew, size_t(nWritten) + 1, pszUse, args);
        va_end(args);
    }
    if (pchNew != nullptr) {
        FreeBlock(m_pchData);
        m_pchData = pchNew;
    }
    // An output the C library cannot produce (a wide text the locale cannot
    // convert, a width beyond its range) leaves the string empty.
    SetDataLength(nWritten < 0 ? 0 : nWritten);
}

} // namespace Pelmora::Tivra
