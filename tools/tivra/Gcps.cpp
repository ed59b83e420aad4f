#include "Gcps.h"

#include "AtomicFile.h"
#include "Cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace Pelmora::Tivra::Tool {

namespace {

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> SplitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) fields.push_back(Trim(field));
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

bool ParseUsed(const std::string& text, bool& used)
{
    if (text == "1" || text == "true" || text == "yes") used = true;
    else if (text == "0" || text == "false" || text == "no") used = false;
    else return false;
    return true;
}

/// Characters of a bad field quoted in a message: enough to recognise it,
/// and a field of megabytes does not flood the terminal.
constexpr size_t kQuotedField = 40;

std::string Quote(const std::string& field)
{
    return "'" + (field.size() <= kQuotedField ? field : field.substr(0, kQuotedField) + "...") + "'";
}

} // namespace

bool ReadGcps(const std::string& path, std::vector<tagXGCP>& points, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    points.clear();
    std::string line;
    int lineNo = 0;
    bool header = false, withZ = false;
    while (std::getline(in, line)) {
        ++lineNo;
        // Editors on some systems start a UTF-8 file with a byte-order mark;
        // it is no part of the header.
        if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#') continue;
        const std::vector<std::string> f = SplitCsv(text);
        const std::string where = path + " line " + std::to_string(lineNo) + ": ";
        if (!header) {
            const bool six = f.size() == 6 || (f.size() == 7 && f[6] == "ref_z");
            if (!six || f[0] != "id" || f[1] != "used" || f[2] != "img_x" || f[3] != "img_y" || f[4] != "ref_x" ||
                f[5] != "ref_y") {
                error = where + "expected the header id,used,img_x,img_y,ref_x,ref_y[,ref_z]";
                return false;
            }
            withZ = f.size() == 7;
            header = true;
            continue;
        }
        const size_t want = withZ ? 7 : 6;
        if (f.size() != want) {
            error = where + "expected " + std::to_string(want) + " fields, found " + std::to_string(f.size());
            return false;
        }
        tagXGCP p;
        double z = 0;
        if (!ParseInt(f[0], p.ID)) {
            error = where + "id " + Quote(f[0]) + " is not an integer";
            return false;
        }
        if (!ParseUsed(f[1], p.Used)) {
            error = where + "used " + Quote(f[1]) + " is not 1 or 0";
            return false;
        }
        const char* names[] = {"img_x", "img_y", "ref_x", "ref_y", "ref_z"};
        double* targets[] = {&p.imgCoord.x, &p.imgCoord.y, &p.refCoord.x, &p.refCoord.y, &z};
        for (size_t k = 2; k < want; ++k)
            if (!ParseDouble(f[k], *targets[k - 2])) {
                error = where + names[k - 2] + " " + Quote(f[k]) + " is not a number";
                return false;
            }
        p.refCoord.z = z;
        points.push_back(p);
    }
    if (!header) {
        error = path + ": empty file, expected the header id,used,img_x,img_y,ref_x,ref_y[,ref_z]";
        return false;
    }
    if (points.empty()) {
        error = path + ": no control points";
        return false;
    }
    return true;
}

bool WriteGcps(const std::string& path, const std::vector<tagXGCP>& points, std::string& error)
{
    bool withZ = false;
    for (const tagXGCP& p : points) withZ = withZ || p.refCoord.z != 0;
    if (!AtomicFile::CheckTarget(path, error)) return false;
    AtomicFile file(path);
    FILE* f = std::fopen(file.TempPath().c_str(), "w");
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fprintf(f, "id,used,img_x,img_y,ref_x,ref_y%s\n", withZ ? ",ref_z" : "");
    for (const tagXGCP& p : points) {
        // Full precision, so a fit to the written points is the fit to these.
        std::fprintf(f, "%d,%d,%s,%s,%s,%s", p.ID, p.Used ? 1 : 0, FormatNumber(p.imgCoord.x).c_str(),
                     FormatNumber(p.imgCoord.y).c_str(), FormatNumber(p.refCoord.x).c_str(),
                     FormatNumber(p.refCoord.y).c_str());
        if (withZ) std::fprintf(f, ",%s", FormatNumber(p.refCoord.z).c_str());
        std::fputc('\n', f);
    }
    if (std::fclose(f) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return file.Commit(error);
}

} // namespace Pelmora::Tivra::Tool
