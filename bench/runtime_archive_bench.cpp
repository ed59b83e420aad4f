// Archives and files against the system's read and write of the same bytes:
//   - an archive of 1e6 small objects (an array of points: an index and two
//     doubles each) written and read back, against writing and reading the
//     file's bytes in the archive's buffer size;
//   - a 256 MiB byte block through an archive, against one write or read;
//   - XFile::Write and XFile::Read in 64 KiB pieces, against write and read
//     in the same pieces.
// Every file lies in the temporary directory and is read while it is in the
// page cache, so the figures compare the code paths, not the disk.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XFile.h>

using namespace Pelmora::Tivra;

namespace {

/// A small object: an index and a position.
class XBenchPoint : public XObject {
    XDECLARE_SERIAL(XBenchPoint)
public:
    int32_t m_nIndex = 0;
    double m_x = 0, m_y = 0;
    void Serialize(XArchive& ar) override
    {
        if (ar.IsStoring())
            ar << m_nIndex << m_x << m_y;
        else
            ar >> m_nIndex >> m_x >> m_y;
    }
};
XIMPLEMENT_SERIAL(XBenchPoint, XObject, 1)

constexpr int kObjects = 1000000;
constexpr size_t kBlock = size_t(256) << 20;
constexpr uint32_t kPiece = 64 << 10;
constexpr int kArchiveBuffer = 4096;  // the archive's default buffer

std::string ScratchPath(const char* pszName)
{
    return (std::filesystem::temp_directory_path() / ("tivra_bench_" + std::to_string(getpid()) + pszName)).string();
}

XObArray& Points()
{
    static XObArray s_array;
    static std::vector<XBenchPoint> s_points(kObjects);
    if (s_array.GetSize() == 0) {
        s_array.SetSize(kObjects);
        for (int i = 0; i < kObjects; ++i) {
            s_points[size_t(i)].m_nIndex = i;
            s_points[size_t(i)].m_x = i * 0.5;
            s_points[size_t(i)].m_y = -i * 0.25;
            s_array.SetAt(i, &s_points[size_t(i)]);
        }
    }
    return s_array;
}

std::vector<char>& Block()
{
    static std::vector<char> s_block(kBlock, 'b');
    return s_block;
}

uint64_t FileSize(const std::string& path) { return std::filesystem::file_size(path); }

/// Writes n bytes with write() in pieces of nPiece.
void PlainWrite(const std::string& path, const char* p, size_t n, size_t nPiece)
{
    const int h = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    for (size_t nDone = 0; nDone < n; nDone += nPiece)
        if (write(h, p + nDone, std::min(nPiece, n - nDone)) < 0) std::perror("write");
    close(h);
}

/// Reads a whole file with read() in pieces of nPiece.
size_t PlainRead(const std::string& path, char* p, size_t nPiece)
{
    const int h = open(path.c_str(), O_RDONLY);
    size_t nDone = 0;
    for (ssize_t r; (r = read(h, p + nDone, nPiece)) > 0;) nDone += size_t(r);
    close(h);
    return nDone;
}

// ---- 1e6 small objects --------------------------------------------------------------

void StoreGraph(const std::string& path)
{
    XFile file(path.c_str(), XFile::modeCreate | XFile::modeWrite);
    XArchive ar(&file, XArchive::store);
    ar << &Points();
    ar.Close();
}

void BM_GraphWrite_XArchive(benchmark::State& state)
{
    const std::string path = ScratchPath("graph.arc");
    XBenchPoint::GetThisClass();
    Points();  // built before the clock runs
    for (auto _ : state) StoreGraph(path);
    state.SetBytesProcessed(int64_t(state.iterations() * FileSize(path)));
    std::filesystem::remove(path);
}

void BM_GraphRead_XArchive(benchmark::State& state)
{
    const std::string path = ScratchPath("graph.arc");
    XBenchPoint::GetThisClass();
    StoreGraph(path);
    for (auto _ : state) {
        XFile file(path.c_str(), XFile::modeRead);
        XArchive ar(&file, XArchive::load);
        XObject* p = ar.ReadObject(nullptr);
        auto* pArray = static_cast<XObArray*>(p);
        for (int i = 0; i < pArray->GetSize(); ++i) delete pArray->GetAt(i);
        delete p;
    }
    state.SetBytesProcessed(int64_t(state.iterations() * FileSize(path)));
    std::filesystem::remove(path);
}

void BM_GraphWrite_PlainWrite(benchmark::State& state)
{
    // The same number of bytes, in the archive's buffer size.
    const std::string path = ScratchPath("graph.bin");
    StoreGraph(path);
    const size_t n = FileSize(path);
    std::vector<char> bytes(n, 'g');
    for (auto _ : state) PlainWrite(path, bytes.data(), n, kArchiveBuffer);
    state.SetBytesProcessed(int64_t(state.iterations() * n));
    std::filesystem::remove(path);
}

void BM_GraphRead_PlainRead(benchmark::State& state)
{
    const std::string path = ScratchPath("graph.bin");
    StoreGraph(path);
    std::vector<char> bytes(FileSize(path));
    for (auto _ : state) benchmark::DoNotOptimize(PlainRead(path, bytes.data(), kArchiveBuffer));
    state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
    std::filesystem::remove(path);
}

// ---- a 256 MiB block --------------------------------------------------------------------

void BM_BlockWrite_XArchive(benchmark::State& state)
{
    const std::string path = ScratchPath("block.arc");
    Block();  // filled before the clock runs
    for (auto _ : state) {
        XFile file(path.c_str(), XFile::modeCreate | XFile::modeWrite);
        XArchive ar(&file, XArchive::store);
        ar.Write(Block().data(), uint32_t(kBlock));
        ar.Close();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

void BM_BlockRead_XArchive(benchmark::State& state)
{
    const std::string path = ScratchPath("block.arc");
    PlainWrite(path, Block().data(), kBlock, kBlock);
    std::vector<char> in(kBlock);
    for (auto _ : state) {
        XFile file(path.c_str(), XFile::modeRead);
        XArchive ar(&file, XArchive::load);
        benchmark::DoNotOptimize(ar.Read(in.data(), uint32_t(kBlock)));
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

void BM_BlockWrite_PlainWrite(benchmark::State& state)
{
    const std::string path = ScratchPath("block.bin");
    Block();
    for (auto _ : state) PlainWrite(path, Block().data(), kBlock, kBlock);
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

void BM_BlockRead_PlainRead(benchmark::State& state)
{
    const std::string path = ScratchPath("block.bin");
    PlainWrite(path, Block().data(), kBlock, kBlock);
    std::vector<char> in(kBlock);
    for (auto _ : state) benchmark::DoNotOptimize(PlainRead(path, in.data(), kBlock));
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

// ---- XFile in 64 KiB pieces ---------------------------------------------------------------

void BM_PiecesWrite_XFile(benchmark::State& state)
{
    const std::string path = ScratchPath("pieces.bin");
    Block();
    for (auto _ : state) {
        XFile file(path.c_str(), XFile::modeCreate | XFile::modeWrite);
        for (size_t n = 0; n < kBlock; n += kPiece) file.Write(Block().data() + n, kPiece);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

void BM_PiecesRead_XFile(benchmark::State& state)
{
    const std::string path = ScratchPath("pieces.bin");
    PlainWrite(path, Block().data(), kBlock, kBlock);
    std::vector<char> in(kBlock);
    for (auto _ : state) {
        XFile file(path.c_str(), XFile::modeRead);
        size_t nDone = 0;
        for (uint32_t r; (r = file.Read(in.data() + nDone, kPiece)) > 0;) nDone += r;
        benchmark::DoNotOptimize(nDone);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

void BM_PiecesWrite_PlainWrite(benchmark::State& state)
{
    const std::string path = ScratchPath("pieces.bin");
    Block();
    for (auto _ : state) PlainWrite(path, Block().data(), kBlock, kPiece);
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

void BM_PiecesRead_PlainRead(benchmark::State& state)
{
    const std::string path = ScratchPath("pieces.bin");
    PlainWrite(path, Block().data(), kBlock, kBlock);
    std::vector<char> in(kBlock);
    for (auto _ : state) benchmark::DoNotOptimize(PlainRead(path, in.data(), kPiece));
    state.SetBytesProcessed(int64_t(state.iterations() * kBlock));
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_GraphWrite_XArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphWrite_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphRead_XArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphRead_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockWrite_XArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockWrite_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockRead_XArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockRead_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PiecesWrite_XFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PiecesWrite_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PiecesRead_XFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PiecesRead_PlainRead)->Unit(benchmark::kMillisecond);
