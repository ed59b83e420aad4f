// Writes the seed corpus of the archive fuzz target: valid archives of every
// kind the target reads, in both byte orders, each behind its choice byte.
//   make_archive_seeds <directory>
#include <cstdio>
#include <string>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XFile.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XObList.h>

using namespace Pelmora::Tivra;

namespace {

/// Writes the choice byte, then what write stores.
template <class F>
void Seed(const std::string& dir, const char* pszName, uint8_t nChoice, F write)
{
    const std::string path = dir + "/" + pszName + ((nChoice & 1) ? "_le" : "_be");
    XFile file(path.c_str(), XFile::modeCreate | XFile::modeWrite);
    file.Write(&nChoice, 1);
    XArchive ar(&file, (nChoice & 1) ? uint32_t(XArchive::bNoByteSwap) : uint32_t(XArchive::store));
    write(ar);
    ar.Close();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_archive_seeds <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    // A graph: every container, shared and cyclic references, nulls.
    XObject a, b;
    XObArray array;
    XObList list;
    XMapStringToOb names;
    XMapWordToOb words;
    array.Add(&a), array.Add(nullptr), array.Add(&list), array.Add(&a);
    list.AddTail(&b), list.AddTail(&array), list.AddTail(&names);
    names.SetAt("first", &a), names.SetAt(XString(std::string(300, 'n').c_str()), &words);
    words.SetAt(7, &b), words.SetAt(0xFFFF, &array);
    for (uint8_t nOrder = 0; nOrder < 2; ++nOrder) {
        Seed(dir, "objects", nOrder | 0, [&](XArchive& ar) {
            ar << &array;
            ar << &b;
            ar.WriteObject(nullptr);
        });
        Seed(dir, "array", nOrder | 2, [&](XArchive& ar) { array.Serialize(ar); });
        Seed(dir, "strings", nOrder | 4, [&](XArchive& ar) {
            for (const int n : {0, 1, 254, 255, 0xFFFD, 0xFFFE, 70000}) ar << XString(std::string(size_t(n), 's').c_str());
        });
        Seed(dir, "map", nOrder | 6, [&](XArchive& ar) { names.Serialize(ar); });
    }
    return 0;
}
