#include <gtest/gtest.h>

#include <tivra/runtime/XString.h>

#include "FormatFuzzInput.h"
#include "FuzzReplay.h"

#include <cfloat>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <random>
#include <string>

using namespace Pelmora::Tivra;

namespace {

std::string Str(const XString& s) { return std::string(static_cast<const char*>(s), size_t(s.GetLength())); }

/// Capacity classes written out independently of the library.
int ExpectedClass(int n)
{
    if (n == 0) return 0;
    for (int c : {64, 128, 256, 512})
        if (n < c) return c;
    return n + 1;
}

/// Length and capacity sit as two 32-bit fields before the data.
void ExpectHeader(const XString& s)
{
    const int32_t* pHeader = reinterpret_cast<const int32_t*>(static_cast<const char*>(s));
    EXPECT_EQ(pHeader[-2], s.GetLength());
    EXPECT_EQ(pHeader[-1], s.GetAllocLength());
    EXPECT_EQ(static_cast<const char*>(s)[s.GetLength()], '\0');
}

int NaiveFind(const std::string& t, const std::string& p, int nStart)
{
    if (t.empty() || nStart < 0 || nStart >= int(t.size()) || p.empty() || p.size() > t.size()) return -1;
    for (size_t i = size_t(nStart); i + p.size() <= t.size(); ++i)
        if (t.compare(i, p.size(), p) == 0) return int(i);
    return -1;
}

int64_t Estimate(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    const int64_t n = XString::EstimateFormatLength(pszFormat, args);
    va_end(args);
    return n;
}

/// Format's output, after checking that it fits the estimate and is terminated.
template <class... A>
std::string CheckedFormat(const char* pszFormat, A... args)
{
    XString s("previous content");
    s.Format(pszFormat, args...);
    EXPECT_GE(Estimate(pszFormat, args...), s.GetLength()) << pszFormat;
    ExpectHeader(s);
    return Str(s);
}

template <class... A>
void ExpectLikeSnprintf(const char* pszFormat, A... args)
{
    char aExpected[8192];
    std::snprintf(aExpected, sizeof(aExpected), pszFormat, args...);
    EXPECT_EQ(CheckedFormat(pszFormat, args...), aExpected) << pszFormat;
}

} // namespace

TEST(RuntimeString, BlockLayoutAndCapacityClasses)
{
    for (int n : {0, 1, 63, 64, 127, 128, 255, 256, 511, 512, 600}) {
        const XString s(std::string(size_t(n), 'x').c_str());
        EXPECT_EQ(s.GetAllocLength(), ExpectedClass(n)) << n;
        ExpectHeader(s);
    }
    const XString sEmpty;
    EXPECT_NE(static_cast<const char*>(sEmpty), static_cast<const char*>(XString())); // no shared empty block

    // Appending regrows only when the capacity is not above the new length.
    XString s;
    int nModel = 0;
    for (int n = 1; n <= 700; ++n) {
        s += char('a' + n % 26);
        if (nModel <= n) nModel = ExpectedClass(n);
        ASSERT_EQ(s.GetAllocLength(), nModel) << n;
        ASSERT_EQ(s.GetLength(), n);
    }
    ExpectHeader(s);

    // A copy is deep and sized for the source's length, not its capacity.
    s.SetLength(10);
    const XString sCopy(s);
    EXPECT_NE(static_cast<const char*>(sCopy), static_cast<const char*>(s));
    EXPECT_EQ(sCopy.GetAllocLength(), 64);
    EXPECT_EQ(Str(sCopy), Str(s));

    XString sFrom("moved");
    XString sTo(std::move(sFrom));
    EXPECT_EQ(Str(sTo) + "|" + Str(sFrom), "moved|");
    ExpectHeader(sFrom); // the moved-from string keeps a block of its own
}

TEST(RuntimeString, SetLengthAndGetBuffer)
{
    // SetLength keeps the characters, also when it needs a larger block.
    XString s("abcdef");
    EXPECT_EQ(s.SetLength(3), 3);
    EXPECT_EQ(Str(s), "abc");
    EXPECT_EQ(s.SetLength(100), 100);
    EXPECT_EQ(s.GetAllocLength(), 128);
    EXPECT_EQ(std::string(s, 3), "abc");
    ExpectHeader(s);
    EXPECT_EQ(s.SetLength(-4), 0);

    // GetBuffer: within the capacity the block and its content stay; beyond
    // it a fresh block of the class for n, without the old content.
    XString b("abc");
    const char* pOld = b;
    EXPECT_EQ(b.GetBuffer(64), pOld);
    EXPECT_EQ(std::string(b, 3) + "|" + std::to_string(b.GetLength()), "abc|64");
    const char* p = b.GetBuffer(200);
    EXPECT_EQ(p, static_cast<const char*>(b));
    EXPECT_EQ(b.GetAllocLength(), 256);
    EXPECT_EQ(b.GetLength(), 200);
    EXPECT_EQ(p[0], '\0');
    for (int n : {0, -3}) EXPECT_EQ(b.GetBuffer(n), p);
    EXPECT_EQ(b.GetLength(), 200);
    b.Empty();
    EXPECT_EQ(Str(b) + std::to_string(b.GetAllocLength()), "256"); // empty, block kept
}

TEST(RuntimeString, ConstructionAndAssignment)
{
    EXPECT_EQ(Str(XString(static_cast<const char*>(nullptr))), "");
    EXPECT_EQ(Str(XString("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Str(XString("abc", -1)) + Str(XString(nullptr, 5)), "");
    EXPECT_EQ(Str(XString('q')), "q");

    // Wide text converts under the user's locale (UTF-8, or ASCII in "C");
    // what the locale cannot represent is written in UTF-8, and a lone
    // surrogate, which no locale represents, as U+FFFD: nothing is dropped.
    EXPECT_EQ(Str(XString(L"h\u00e9!")), "h\xC3\xA9!");
    EXPECT_EQ(Str(XString(L"a\xD800" L"b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(Str(XString(L"plain")), "plain");
    XString s("x");
    s = static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(Str(s), "");

    s = "abcdef";
    s = static_cast<const char*>(s) + 2; // source inside the string itself
    EXPECT_EQ(Str(s), "cdef");
    s = s;
    EXPECT_EQ(Str(s), "cdef");
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ(Str(s), "");
}

TEST(RuntimeString, Concatenation)
{
    const XString a("ab"), b("cd");
    EXPECT_EQ(Str(a + b), "abcd");
    EXPECT_EQ(Str(a + "x") + Str("x" + a), "abxxab");
    EXPECT_EQ(Str(a + 'y') + Str('y' + a), "abyyab");
    EXPECT_EQ(Str(a + static_cast<const char*>(nullptr)), "ab");

    XString s(std::string(40, 'z').c_str());
    s += s; // 80 characters: the source block is replaced while it is read
    EXPECT_EQ(Str(s), std::string(80, 'z'));
    s += static_cast<const char*>(s) + 75;
    s += "";
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ(Str(s), std::string(85, 'z'));
    ExpectHeader(s);
}

TEST(RuntimeString, ComparisonsAreUnsignedAndByteWise)
{
    // Every operator, in every operand combination, agrees with Compare; a
    // null text counts as empty.
    const struct { const char* a; const char* b; int nCmp; } cases[] = {
        {"abc", "abd", -1}, {"abd", "abc", 1}, {"abc", "abc", 0}, {"abc", "abcd", -1}, {"abc", "ab", 1},
        {"\xC8", "\x64", 1}, {"\x64", "\xC8", -1}, {"", "", 0}, {"abc", nullptr, 1}, {"", nullptr, 0},
    };
    for (const auto& c : cases) {
        const XString a(c.a), b(c.b);
        EXPECT_EQ(a.Compare(c.b), c.nCmp) << c.a << " " << c.b;
        const bool r[] = {a == b, a != b, a < b, a > b, a <= b, a >= b,
                          a == c.b, a != c.b, a < c.b, a > c.b, a <= c.b, a >= c.b,
                          c.a == b, c.a != b, c.a < b, c.a > b, c.a <= b, c.a >= b};
        const bool e[] = {c.nCmp == 0, c.nCmp != 0, c.nCmp < 0, c.nCmp > 0, c.nCmp <= 0, c.nCmp >= 0};
        for (size_t i = 0; i < 18; ++i) EXPECT_EQ(r[i], e[i % 6]) << c.a << " " << c.b << " op " << i;
    }
    // Case is folded on both sides.
    const XString mixed("aBc");
    EXPECT_TRUE(mixed.CompareNoCase("AbC") == 0 && mixed.CompareNoCase("abd") < 0 && XString("b").CompareNoCase("A") > 0);
    EXPECT_TRUE(XString("a").Collate("b") < 0 && mixed.Collate("aBc") == 0);
    EXPECT_TRUE(mixed.CollateNoCase("AbD") < 0 && mixed.CollateNoCase("AbC") == 0);
}

TEST(RuntimeString, LocaleDependentOperationsRestoreTheUserDefault)
{
    const std::string strDefault = std::setlocale(LC_ALL, "");
    const char* pszOther = strDefault == "C" ? "C.UTF-8" : "C";
    XString s("Abc");
    const std::function<void()> ops[] = {
        [&] { (void)s.Compare("x"); }, [&] { (void)s.CompareNoCase("x"); }, [&] { (void)s.Collate("x"); },
        [&] { (void)s.CollateNoCase("x"); }, [&] { (void)(s == "x"); }, [&] { (void)(s < "x"); },
        [&] { s.MakeUpper(); }, [&] { s.MakeLower(); }, [&] { s.MakeReverse(); }, [&] { s = L"w"; },
    };
    for (size_t i = 0; i < std::size(ops); ++i) {
        ASSERT_NE(std::setlocale(LC_ALL, pszOther), nullptr);
        ASSERT_NE(strDefault, std::setlocale(LC_ALL, nullptr));
        ops[i]();
        EXPECT_EQ(strDefault, std::setlocale(LC_ALL, nullptr)) << "operation " << i;
    }
}

TEST(RuntimeString, ExtractionClamps)
{
    const XString s("abc");
    const struct { int nFirst, nCount; const char* pszMid; } mids[] = {
        {10, 2, "c"}, {-1, 2, "ab"}, {1, -2, ""}, {1, 99, "bc"}, {0, 3, "abc"}};
    for (const auto& m : mids) EXPECT_EQ(Str(s.Mid(m.nFirst, m.nCount)), m.pszMid) << m.nFirst << "," << m.nCount;
    EXPECT_EQ(Str(s.Mid(1)) + "|" + Str(s.Mid(7)) + "|" + Str(s.Mid(-7)), "bc|c|abc");
    EXPECT_EQ(Str(XString().Mid(0, 1)) + Str(XString().Mid(3)), "");
    EXPECT_EQ(Str(s.Left(-3)) + "|" + Str(s.Left(2)) + "|" + Str(s.Left(3)) + "|" + Str(s.Left(30)), "|ab|abc|abc");
}

TEST(RuntimeString, FindAgreesWithNaiveSearch)
{
    // A null or empty pattern, or an empty text, finds nothing.
    EXPECT_TRUE(XString("abc").Find(static_cast<const char*>(nullptr)) == -1 && XString("abc").Find("") == -1);
    EXPECT_EQ(XString().Find("a"), -1);

    // Small alphabets give many partial matches; patterns are cut from the
    // text, random, or repeated letters (good-suffix shifts); past 64 bytes
    // the shift tables live on the heap.
    std::mt19937 rng(12345);
    const std::string alphabets[] = {"ab", "abc", "aab", "acgt", "\x80\xFF" "a", "abcdefghijklmnopqrstuvwxyz"};
    for (int iter = 0; iter < 6000; ++iter) {
        const std::string& alpha = alphabets[iter % 6];
        auto pick = [&] { return alpha[rng() % alpha.size()]; };
        std::string t, p;
        for (int i = 0, n = 1 + int(rng() % (iter % 10 == 0 ? 600 : 80)); i < n; ++i) t += pick();
        const int nPat = 1 + int(rng() % (iter % 7 == 0 ? 100 : 9));
        switch (rng() % 3) {
        case 0: p = t.substr(rng() % t.size(), size_t(nPat)); break;
        case 1: for (int i = 0; i < nPat; ++i) p += pick(); break;
        default:
            p = std::string(size_t(nPat - 1), alpha[0]) + alpha[1 % alpha.size()];
            if (rng() % 2) p = alpha[1 % alpha.size()] + p.substr(1);
        }
        const int nStart = int(rng() % (t.size() + 2)) - 1;
        ASSERT_EQ(XString(t.c_str(), int(t.size())).Find(p.c_str(), nStart), NaiveFind(t, p, nStart))
            << "text " << t << " pattern " << p << " start " << nStart;
    }
}

TEST(RuntimeString, ByteSearches)
{
    const XString s("abcabc");
    const struct { char ch; int nStart, nFind, nReverse; } cases[] = {
        {'c', 0, 2, 5}, {'c', 3, 5, 2}, {'c', 6, -1, -1}, {'c', -1, -1, 5}, {'c', -4, -1, 5},
        {'a', 2, 3, 3}, {'a', 3, 3, 0}, {'a', 6, -1, -1}, {'z', 0, -1, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(s.Find(c.ch, c.nStart), c.nFind) << c.ch << c.nStart;
        EXPECT_EQ(s.ReverseFind(c.ch, c.nStart), c.nReverse) << c.ch << c.nStart;
    }
    EXPECT_EQ(s.ReverseFind('a'), 3);
    const XString ab("ab");
    EXPECT_EQ(ab.FindOneOf("xyzb"), 1);
    for (const char* psz : {"xyz", "", static_cast<const char*>(nullptr)}) EXPECT_EQ(ab.FindOneOf(psz), -1);
    EXPECT_EQ(XString("a\xE9z").FindOneOf("\xE9"), 1);
}

TEST(RuntimeString, CaseAndReversal)
{
    XString s("Mixed Case 42 \xC3\xA9");
    s.MakeUpper();
    EXPECT_EQ(Str(s), "MIXED CASE 42 \xC3\xA9");
    s.MakeLower();
    EXPECT_EQ(Str(s), "mixed case 42 \xC3\xA9");

    // A byte of 128 or more starts a two-byte character, except at the very
    // end; check against reversing the character list of random texts.
    std::mt19937 rng(7);
    for (int iter = 0; iter < 500; ++iter) {
        std::string text = iter == 0 ? "a\xB1\xB2" "b\xC3\xA9" "c" : iter == 1 ? "ab\xB1" : "";
        for (int i = 0, n = iter < 2 ? 0 : int(rng() % 20); i < n; ++i)
            text += char(rng() % 2 ? 'a' + rng() % 3 : 0x80 + rng() % 0x7F);
        std::string expected;
        for (size_t i = 0; i < text.size();) {
            const size_t n = (static_cast<unsigned char>(text[i]) >= 128 && i + 1 < text.size()) ? 2 : 1;
            expected.insert(0, text, i, n);
            i += n;
        }
        XString x(text.c_str(), int(text.size()));
        x.MakeReverse();
        ASSERT_EQ(Str(x), expected);
    }
}

TEST(RuntimeString, Trimming)
{
    auto trim = [](const char* psz, const std::function<void(XString&)>& f) {
        XString s(psz);
        f(s);
        return Str(s);
    };
    EXPECT_EQ(trim("  a b  ", [](XString& s) { s.TrimLeft(); }), "a b  ");
    EXPECT_EQ(trim("  a b  ", [](XString& s) { s.TrimRight(); }), "  a b");
    EXPECT_EQ(trim("\tx ", [](XString& s) { s.TrimLeft(); }), "\tx "); // only the space character
    EXPECT_EQ(trim("   ", [](XString& s) { s.TrimRight(); }), "");
    EXPECT_EQ(trim("..x..", [](XString& s) { s.TrimLeft('.'); }), "x..");
    EXPECT_EQ(trim("..x..", [](XString& s) { s.TrimRight('.'); }), "..x");
    EXPECT_EQ(trim("abcx", [](XString& s) { s.TrimLeft("abd"); }), "cx");
    EXPECT_EQ(trim("xabc", [](XString& s) { s.TrimRight("zbc"); }), "xa");
    EXPECT_EQ(trim("abc", [](XString& s) { s.TrimLeft("abcdef"); }), "");
    EXPECT_EQ(trim("abc", [](XString& s) { s.TrimLeft(static_cast<const char*>(nullptr)); s.TrimRight(static_cast<const char*>(nullptr)); }), "abc");
}

TEST(RuntimeString, ReplaceRemoveInsertDelete)
{
    XString g("a--bc");
    EXPECT_EQ(g.Replace("-", nullptr), 2);
    EXPECT_EQ(g.Replace("", "x"), 0);
    EXPECT_EQ(g.Replace("b", g), 1); // the new text is this string itself
    EXPECT_EQ(Str(g), "aabcc");

    // Against a left-to-right, non-overlapping replace-all on std::string.
    std::mt19937 rng(99);
    for (int iter = 0; iter < 2000; ++iter) {
        std::string t, from, to(rng() % 5, 'x');
        for (int i = 0, n = 1 + int(rng() % 40); i < n; ++i) t += char('a' + rng() % 2);
        for (int i = 0, n = 1 + int(rng() % 4); i < n; ++i) from += char('a' + rng() % 2);
        std::string expected = t;
        int nExpected = 0;
        for (size_t at = expected.find(from); at != std::string::npos; at = expected.find(from, at + to.size()), ++nExpected)
            expected.replace(at, from.size(), to);
        XString x(t.c_str());
        ASSERT_EQ(x.Replace(from.c_str(), to.c_str()), nExpected);
        ASSERT_EQ(Str(x), expected);
        ExpectHeader(x);
    }

    XString c("a-b-c");
    EXPECT_EQ(c.Replace('-', '+'), 2);
    EXPECT_EQ(Str(c), "a+b+c");
    EXPECT_EQ(c.Remove('+'), 2);
    EXPECT_EQ(c.Remove('z'), 0);
    EXPECT_EQ(Str(c), "abc");

    XString i("ac");
    EXPECT_EQ(i.Insert(1, 'b'), 3);
    EXPECT_EQ(i.Insert(-5, "<"), 4);
    EXPECT_EQ(i.Insert(100, ">"), 5);
    EXPECT_EQ(i.Insert(2, static_cast<const char*>(nullptr)), 5);
    EXPECT_EQ(Str(i), "<abc>");
    EXPECT_EQ(i.Insert(1, i), 10); // the text comes from the string's own block
    EXPECT_EQ(Str(i), "<<abc>abc>");
    XString big(std::string(63, 'x').c_str());
    EXPECT_EQ(big.Insert(0, "yy"), 65);
    EXPECT_EQ(big.GetAllocLength(), 128);
    EXPECT_EQ(Str(big), "yy" + std::string(63, 'x'));

    XString d("abcdef");
    const struct { int nIndex, nCount; const char* pszAfter; } dels[] = {
        {1, 2, "adef"}, {-3, 1, "def"}, {1, 99, "d"}, {0, -2, "d"}, {9, 1, "d"}};
    for (const auto& x : dels) {
        EXPECT_EQ(d.Delete(x.nIndex, x.nCount), int(std::strlen(x.pszAfter))) << x.nIndex << "," << x.nCount;
        EXPECT_EQ(Str(d), x.pszAfter);
    }
}

TEST(RuntimeString, FormatEveryDirectiveAsTheCLibrary)
{
    ExpectLikeSnprintf("%d|%i|%5d|%-5d|%05d|%+d|% d|%.3d|%u|%o|%#o|%x|%#x|%X|%#X", -42, 7, 3, 3, 3, 3, 3, 3,
                       4000000000u, 8u, 8u, 255u, 255u, 255u, 255u);
    ExpectLikeSnprintf("%hd|%hhu|%ld|%lld|%zu|%jd|%td", 70000, 300, -5L, -6LL, size_t(7), intmax_t(8), ptrdiff_t(9));
    ExpectLikeSnprintf("%e|%E|%.2e|%g|%G|%#g|%a|%A", 1234.5, 1234.5, -1e-300, 1e-5, 1e20, 1.0, 1.0, 0.5);
    ExpectLikeSnprintf("%f|%.0f|%10.3f|%-10.1f", 3.14159, 2.5, -1.0, 1.0);
    ExpectLikeSnprintf("%c|%3c|%-3c|%s|%.2s|%8s|%-8s|%s", 'a', 'b', 'c', "text", "text", "text", "text", "");
    ExpectLikeSnprintf("%*d|%-*d|%.*f|%*.*s", 6, 1, -6, 2, 2, 1.0, 5, 2, "abcdef");
    ExpectLikeSnprintf("%p|%%|100%%|%ls|%lc|%.3ls", static_cast<void*>(nullptr), L"wide", wint_t(L'w'), L"wide");

    int nCount = 0;
    XString s;
    s.Format("abc%n|%d", &nCount, 5);
    EXPECT_EQ(Str(s) + std::to_string(nCount), "abc|53");

    // The original platform's size prefixes.
    s.Format("%I64d|%I64u|%I64x|%I32d|%Iu|%Id", INT64_MIN, UINT64_MAX, int64_t(0x123456789AB), -1, size_t(1) << 40, ptrdiff_t(-3));
    EXPECT_EQ(Str(s), "-9223372036854775808|18446744073709551615|123456789ab|-1|1099511627776|-3");
    s.Format("%S|%C|%hs|%hc|%ws|%wc|%hS|%hC|%Fs|%Nd|%Ls", L"w1", wint_t(L'w'), "n1", 'n', L"w2", wint_t(L'v'), "n2", 'm', "far", 2, "x");
    EXPECT_EQ(Str(s), "w1|w|n1|n|w2|v|n2|m|far|2|x");
    // L is skipped like F and N: the argument is a double.
    s.Format("%Lf|%.1Le|%Lg|%Ld", 1.5, -2.0, 0.25, 7);
    EXPECT_EQ(Str(s), "1.500000|-2.0e+00|0.25|7");

    // Not understood: copied as text, no argument taken.
    s.Format("%q|%'d|%1$d|%**d|%5%|%s|end%", "arg");
    EXPECT_EQ(Str(s), "%q|%'d|%1$d|%**d|%|arg|end%");

    s = "self";
    s.Format("%s+%s+%s", static_cast<const char*>(s), static_cast<const char*>(s), static_cast<const char*>(s));
    EXPECT_EQ(Str(s), "self+self+self");
    s.Format(s);
    EXPECT_EQ(Str(s), "self+self+self");
    s.Format(nullptr);
    EXPECT_EQ(Str(s), "");
    ExpectHeader(s);
}

TEST(RuntimeString, FormatEstimateNeverBelowTheOutput)
{
    // Worst cases: extreme values, long precisions and widths, multibyte
    // output, lead bytes that could swallow a '%'.
    std::mt19937 rng(2024);
    const std::string strLocale = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(CheckedFormat("%f", -DBL_MAX).size(), 317u);
    CheckedFormat("%+.0f|%#f", DBL_MAX, DBL_MAX);
    EXPECT_EQ(CheckedFormat("%Lf", -DBL_MAX).size(), 317u);
    CheckedFormat("%.400f|%.300e|%#.300g|%.200a", -DBL_MAX, -DBL_MAX, -DBL_MAX, -DBL_MAX);
    CheckedFormat("%.40d|%+.40d|%#.40o|%#.40x|%.40p|%+p", -1, 1, UINT32_MAX, UINT32_MAX, static_cast<void*>(&rng), static_cast<void*>(nullptr));
    CheckedFormat("%#llo|%lld|%#llx", UINT64_MAX, INT64_MIN, UINT64_MAX);
    CheckedFormat("%500f|%300c|%-*d|%*s", 1.0, 'c', -400, 1, 350, "x");
    const char* const pszNull = nullptr;
    CheckedFormat("%s|%.3s|%.9s", pszNull, pszNull, pszNull);
    const char aUnterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(CheckedFormat("%.3s", aUnterminated), "abc");
    const std::string strLong(3000, 'L');
    EXPECT_EQ(CheckedFormat("\xE2\x82\xAC%s", strLong.c_str()).size(), 3003u); // euro sign, then a directive
    CheckedFormat("\xAC%s\xAC", strLong.c_str());
    CheckedFormat("%lc%lc|%ls|%S", wint_t(0x20AC), wint_t(0x1F600), L"\u20AC\u20AC\u20AC", L"\U0001F600");
    EXPECT_EQ(Estimate("%2147483647d%2147483647d", 1, 2), -1);
    std::setlocale(LC_ALL, strLocale.c_str());

    // Random directives over every flag, width, precision and type.
    const char* const flags[] = {"", "-", "+", " ", "#", "0", "-#", "+0", "#0 "};
    const char* const widths[] = {"", "1", "7", "40", "*"};
    const char* const precs[] = {"", ".", ".0", ".3", ".25", ".*"};
    const std::string ints = "diouxX", floats = "eEfgGaA";
    for (int iter = 0; iter < 3000; ++iter) {
        const size_t iWidth = rng() % 5, iPrec = rng() % 6;
        const std::string f = std::string("%") + flags[rng() % 9] + widths[iWidth] + precs[iPrec];
        const int nW = int(rng() % 60) - 20, nP = int(rng() % 60) - 10;
        XString s;
        int64_t nEst = 0;
        auto run = [&](auto value, const std::string& fmt) {
            auto both = [&](auto... a) { nEst = Estimate(fmt.c_str(), a...); s.Format(fmt.c_str(), a...); };
            if (iWidth == 4 && iPrec == 5) both(nW, nP, value);
            else if (iWidth == 4 || iPrec == 5) both(iWidth == 4 ? nW : nP, value);
            else both(value);
        };
        switch (rng() % 4) {
        case 0: run(int64_t(rng() % 2 ? INT64_MIN : INT64_MAX), f + "I64" + ints[rng() % ints.size()]); break;
        case 1: run(rng() % 2 ? -DBL_MAX : DBL_MIN, f + floats[rng() % floats.size()]); break;
        case 2: run("some text", f + "s"); break;
        default: run(int(rng()), f + ints[rng() % ints.size()]);
        }
        ASSERT_GE(nEst, s.GetLength()) << f;
    }
}

TEST(RuntimeString, FormatFuzzFindingsReplay)
{
    // The format fuzz target's seeds and findings: the output never exceeds
    // the estimate (the input reader aborts if it does).
    EXPECT_GE(TivraTest::ReplayFuzzInputs("format", TivraFuzz::ReadFormatInput), 5);
}
