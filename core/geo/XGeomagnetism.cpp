// The geomagnetic main field: reading the coefficient file, bringing a model's
// coefficients to a date, the spherical-harmonic synthesis of the field
// components, and declination, inclination and intensities from them.
//
// Every call works on coefficient sets of its own. Arrays are indexed from 1,
// the coefficients of one degree n in the order g(n,0), g(n,1), h(n,1), ...,
// g(n,n), h(n,n), so degree n ends at index n (n + 2).
#include <tivra/geo/XGeomagnetism.h>

#include <tivra/env/XPaths.h>
#include <tivra/runtime/XPathName.h>

#include <locale.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Pelmora::Tivra {

namespace {

// ---- The coefficient file --------------------------------------------------

constexpr const char* kModelFileName = "WMM.cof";
// Lines are read into a buffer of this many bytes; a record is 80 characters
// and its newline.
constexpr int kLineBuffer = 93;
constexpr size_t kRecordLength = 81;
constexpr int kMaxModels = 30;
// Degree 13 has 13 (13 + 2) = 195 coefficients, at indices 1..195.
constexpr int kMaxDegree = 13;
constexpr int kSlots = kMaxDegree * (kMaxDegree + 2) + 1;

using Coeffs = std::array<double, kSlots>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// A model header. nFilePos is the file offset just after the header line,
/// nLine the index of that next line in the file.
struct ModelHeader {
    std::string strName;
    double epoch = 0;
    int max1 = 0; // degree of the main field
    int max2 = 0; // degree of the secular variation, 0 without
    int max3 = 0;
    double yrmin = 0, yrmax = 0, altmin = 0, altmax = 0;
    long nFilePos = 0;
    size_t nLine = 0;
};

/// Numbers in the file are written with a decimal point whatever the
/// process's locale (the string class switches the process to the user's
/// default, which may use a comma), so they are read in the C locale, set for
/// the calling thread only.
class CLocaleNumbers {
public:
    CLocaleNumbers() : m_old(uselocale(CLocale())) {}
    ~CLocaleNumbers() { uselocale(m_old); }
    CLocaleNumbers(const CLocaleNumbers&) = delete;
    CLocaleNumbers& operator=(const CLocaleNumbers&) = delete;

private:
    static locale_t CLocale()
    {
        static const locale_t s_c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return s_c;
    }
    locale_t m_old;
};

/// True when buf holds one record: 80 characters and a newline. A carriage
/// return before the newline is dropped first, as a text-mode read on the
/// system the format comes from does.
bool IsRecord(char* buf)
{
    size_t n = std::strlen(buf);
    if (n >= 2 && buf[n - 2] == '\r' && buf[n - 1] == '\n') {
        buf[n - 2] = '\n';
        buf[--n] = '\0';
    }
    return n == kRecordLength && buf[n - 1] == '\n';
}

bool IsHeader(const char* buf) { return std::strncmp(buf, "   ", 3) == 0; }

/// Fields a header does not give stay 0. False unless it gives all nine.
bool ParseHeader(const char* buf, ModelHeader& model)
{
    char szName[kLineBuffer] = "";
    const int nFields = std::sscanf(buf, "%92s%lg%d%d%d%lg%lg%lg%lg", szName, &model.epoch, &model.max1, &model.max2,
                                    &model.max3, &model.yrmin, &model.yrmax, &model.altmin, &model.altmax);
    model.strName = szName;
    return nFields == 9;
}

bool ParseCoefficientLine(const char* buf, bool bSecular, int& n, int& m, double& g, double& h);
bool DegreeOk(int n) { return n >= 0 && n <= kMaxDegree; }

/// "line N: why", N counted from 1.
std::string AtLine(size_t nIndex, const std::string& strWhy) { return "line " + std::to_string(nIndex + 1) + ": " + strWhy; }

/// Why the lines of a scanned file are not a sequence of whole models (empty
/// when they are): the first line is no header, a header lacks a field or
/// has a degree outside 0..13 (the main field's from 1), or a model's lines
/// are not exactly its coefficients in order, each with all its numbers
/// finite (so a missing, repeated or extra line, or a NaN, is named).
std::string CheckModels(const std::vector<std::string>& lines)
{
    if (lines.empty()) return "no model";
    if (!IsHeader(lines[0].c_str())) return AtLine(0, "expected a model header (a line starting with three spaces)");
    size_t k = 0;
    while (k < lines.size()) {
        ModelHeader model;
        const size_t nHeader = k++;
        if (!ParseHeader(lines[nHeader].c_str(), model))
            return AtLine(nHeader, "a model header needs name, epoch, three degrees, two years and two heights");
        if (!std::isfinite(model.epoch) || !std::isfinite(model.yrmin) || !std::isfinite(model.yrmax))
            return AtLine(nHeader, "the epoch and the years must be finite numbers");
        if (model.max1 < 1 || !DegreeOk(model.max1) || !DegreeOk(model.max2))
            return AtLine(nHeader, "degrees outside 1.." + std::to_string(kMaxDegree) + " (main field) or 0.." +
                                       std::to_string(kMaxDegree) + " (secular variation)");
        const int nmax = std::max(model.max1, model.max2);
        for (int nn = 1; nn <= nmax; ++nn)
            for (int mm = 0; mm <= nn; ++mm, ++k) {
                const std::string strWant = "expected the coefficients " + std::to_string(nn) + " " +
                                            std::to_string(mm) + " of " + model.strName;
                if (k == lines.size() || IsHeader(lines[k].c_str()))
                    return AtLine(k, strWant + ", found " + (k == lines.size() ? "the end of the file" : "a header"));
                int n = 0, m = 0;
                double g = 0, h = 0, gdot = 0, hdot = 0;
                if (!ParseCoefficientLine(lines[k].c_str(), false, n, m, g, h) ||
                    !ParseCoefficientLine(lines[k].c_str(), true, n, m, gdot, hdot))
                    return AtLine(k, strWant + ": the line lacks a number");
                if (n != nn || m != mm)
                    return AtLine(k, strWant + ", found " + std::to_string(n) + " " + std::to_string(m));
                if (!std::isfinite(g) || !std::isfinite(h) || !std::isfinite(gdot) || !std::isfinite(hdot))
                    return AtLine(k, "a coefficient is not a finite number");
            }
        if (k < lines.size() && !IsHeader(lines[k].c_str()))
            return AtLine(k, "a line after the last coefficients of " + model.strName);
    }
    return std::string();
}

/// Reads the whole file from its start: every line must be a record, and each
/// header line adds a model (at most kMaxModels), followed by exactly its
/// coefficients (CheckModels). The lines go to pLines when it is given. False
/// for a bad line, one model too many or a read error, with the reason and
/// line number in pError when it is given.
bool ScanFile(FILE* fp, std::vector<ModelHeader>& models, std::vector<std::string>* pLines,
              std::string* pError = nullptr)
{
    std::vector<std::string> own;
    std::vector<std::string>& lines = pLines != nullptr ? *pLines : own;
    auto fail = [&](const std::string& strWhy) {
        if (pError != nullptr) *pError = strWhy;
        return false;
    };
    char buf[kLineBuffer];
    while (std::fgets(buf, kLineBuffer, fp) != nullptr) {
        if (!IsRecord(buf)) return fail(AtLine(lines.size(), "not a record of 80 characters and a newline"));
        lines.emplace_back(buf);
        if (!IsHeader(buf)) continue;
        if (int(models.size()) == kMaxModels) return fail(AtLine(lines.size() - 1, "more than 30 models"));
        ModelHeader model;
        model.nFilePos = std::ftell(fp);
        model.nLine = lines.size();
        ParseHeader(buf, model);
        models.push_back(model);
    }
    if (std::ferror(fp) != 0) return fail(std::string("read error: ") + std::strerror(errno));
    const std::string strWhy = CheckModels(lines);
    return strWhy.empty() || fail(strWhy);
}

/// One coefficient line: n, m and two columns, the main field (columns 3
/// and 4) or its secular variation (columns 5 and 6). False unless the line
/// gives all eight fields.
bool ParseCoefficientLine(const char* buf, bool bSecular, int& n, int& m, double& g, double& h)
{
    double col[4];
    char szText[kLineBuffer];
    int nLineNumber;
    const int nFields =
        std::sscanf(buf, "%d%d%lg%lg%lg%lg%92s%d", &n, &m, &col[0], &col[1], &col[2], &col[3], szText, &nLineNumber);
    if (nFields != 8) return false;
    g = bSecular ? col[2] : col[0];
    h = bSecular ? col[3] : col[1];
    return true;
}

/// Reads the coefficients of degrees 1..nmax (at most kMaxDegree) into gh,
/// taking lines from nextLine (null at the end of the file). A line that does
/// not give all eight fields ends its degree; one whose n and m are not the
/// expected ones ends the read with -2. Whatever was stored stays. 0
/// otherwise.
template <class NextLine>
int ReadCoefficients(NextLine nextLine, int nmax, bool bSecular, Coeffs& gh)
{
    int ii = 0;
    for (int nn = 1; nn <= nmax; ++nn) {
        for (int mm = 0; mm <= nn; ++mm) {
            const char* buf = nextLine();
            int n, m;
            double g, h;
            if (buf == nullptr || !ParseCoefficientLine(buf, bSecular, n, m, g, h)) break;
            if (n != nn || m != mm) return -2;
            gh[++ii] = g;
            if (m != 0) gh[++ii] = h;
        }
    }
    return 0;
}

// ---- Coefficients at a date ------------------------------------------------

/// gh1 carried along its secular variation gh2 from epoch to date: the
/// common degrees gh1 + factor gh2, main-field degrees beyond the secular
/// variation's gh1, secular-variation degrees beyond the main field's
/// factor gh2. Returns the degree of the result.
int Extrapolate(double date, double epoch, int nmax1, int nmax2, const Coeffs& gh1, const Coeffs& gh2, Coeffs& gh)
{
    const double factor = date - epoch;
    int k, nmax;
    if (nmax1 == nmax2) {
        k = nmax1 * (nmax1 + 2);
        nmax = nmax1;
    } else if (nmax1 > nmax2) {
        k = nmax2 * (nmax2 + 2);
        const int l = nmax1 * (nmax1 + 2);
        for (int ii = k + 1; ii <= l; ++ii) gh[ii] = gh1[ii];
        nmax = nmax1;
    } else {
        k = nmax1 * (nmax1 + 2);
        const int l = nmax2 * (nmax2 + 2);
        for (int ii = k + 1; ii <= l; ++ii) gh[ii] = factor * gh2[ii];
        nmax = nmax2;
    }
    for (int ii = 1; ii <= k; ++ii) gh[ii] = gh1[ii] + factor * gh2[ii];
    return nmax;
}

/// Linear blend of the main fields gh1 (at epoch1) and gh2 (at epoch2) at
/// date; a degree held by one set only is blended with zeros. Returns the
/// degree of the result.
int Blend(double date, double epoch1, int nmax1, double epoch2, int nmax2, const Coeffs& gh1, const Coeffs& gh2,
          Coeffs& gh)
{
    const double factor = (date - epoch1) / (epoch2 - epoch1);
    int k, nmax;
    if (nmax1 == nmax2) {
        k = nmax1 * (nmax1 + 2);
        nmax = nmax1;
    } else if (nmax1 > nmax2) {
        k = nmax2 * (nmax2 + 2);
        const int l = nmax1 * (nmax1 + 2);
        for (int ii = k + 1; ii <= l; ++ii) gh[ii] = gh1[ii] - factor * gh1[ii];
        nmax = nmax1;
    } else {
        k = nmax1 * (nmax1 + 2);
        const int l = nmax2 * (nmax2 + 2);
        for (int ii = k + 1; ii <= l; ++ii) gh[ii] = factor * gh2[ii];
        nmax = nmax2;
    }
    for (int ii = 1; ii <= k; ++ii) gh[ii] = gh1[ii] + factor * (gh2[ii] - gh1[ii]);
    return nmax;
}

// ---- Synthesis -------------------------------------------------------------

// The model's reference radius (km).
constexpr double kReferenceRadius = 6371.2;
// Degrees to radians as the model's software has always taken it (a
// truncation of pi / 180 that moves a point by up to 3 m on the ground).
constexpr double kDegToRad = 0.01745329;
// Squares of the WGS 84 semi-axes (km^2), a = 6378.137 and b = 6356.7523142.
constexpr double kA2 = 40680631.59;
constexpr double kB2 = 40408299.98;
// Latitude within this many degrees of a pole is taken 89.999 (or -89.999)
// for its cosine, so that the east component keeps a finite divisor.
constexpr double kPoleMargin = 0.001;
constexpr double kPoleLatitude = 89.999;
// Number of (n, m) terms up to kMaxDegree: kMaxDegree (kMaxDegree + 3) / 2.
constexpr int kMaxTerms = kMaxDegree * (kMaxDegree + 3) / 2;

/// The north, east and down components x, y, z (nT) at geodetic latitude
/// flat and longitude flon (degrees) and height elev (km) above the
/// ellipsoid, from the Schmidt semi-normalised coefficients gh of degree
/// nmax.
///
/// The position is turned into geocentric latitude and radius r first; the
/// sums run over n = 1..nmax, m = 0..n with the factor (a / r)^(n + 2), and
/// x and z are turned back into the geodetic frame at the end. p holds
/// (n + 1) P(n,m) and q dP(n,m)/dtheta, with P the Schmidt semi-normalised
/// associated Legendre function of the geocentric colatitude theta
/// (sin theta = clat, cos theta = slat below); both follow from the values of
/// degrees 1 and 2 by the recursions in n (for m < n) and along the diagonal
/// (m = n).
void Synthesize(double flat, double flon, double elev, int nmax, const Coeffs& gh, double& x, double& y, double& z)
{
    double slat = std::sin(flat * kDegToRad);
    double aa;
    if ((90.0 - flat) < kPoleMargin) aa = kPoleLatitude;
    else if ((90.0 + flat) < kPoleMargin) aa = -kPoleLatitude;
    else aa = flat;
    double clat = std::cos(aa * kDegToRad);

    double sl[kMaxDegree + 1], cl[kMaxDegree + 1];
    sl[1] = std::sin(flon * kDegToRad);
    cl[1] = std::cos(flon * kDegToRad);

    // Geodetic to geocentric: r from the height over the ellipsoid, and the
    // rotation (cd, sd) from the geodetic to the geocentric latitude.
    aa = kA2 * clat * clat;
    double bb = kB2 * slat * slat;
    double cc = aa + bb;
    const double dd = std::sqrt(cc);
    const double r = std::sqrt(elev * (elev + 2.0 * dd) + (kA2 * aa + kB2 * bb) / cc);
    const double cd = (elev + dd) / r;
    const double sd = (kA2 - kB2) / dd * slat * clat / r;
    aa = slat;
    slat = slat * cd - clat * sd;
    clat = clat * cd + aa * sd;

    const double ratio = kReferenceRadius / r;
    const double sqrt3 = std::sqrt(3.0);
    double p[kMaxTerms + 1], q[kMaxTerms + 1];
    p[1] = 2.0 * slat;
    p[2] = 2.0 * clat;
    p[3] = 4.5 * slat * slat - 1.5;
    p[4] = 3.0 * sqrt3 * clat * slat;
    q[1] = -clat;
    q[2] = slat;
    q[3] = -3.0 * clat * slat;
    q[4] = sqrt3 * (slat * slat - clat * clat);

    x = y = z = 0.0;
    int l = 1; // index of the next g in gh
    int n = 0, m = 1;
    double rr = 0.0, fn = 0.0;
    const int npq = nmax * (nmax + 3) / 2;
    for (int k = 1; k <= npq; ++k) {
        if (n < m) {
            m = 0;
            n = n + 1;
            rr = std::pow(ratio, double(n + 2));
            fn = n;
        }
        const double fm = m;
        if (k >= 5) {
            if (m == n) {
                aa = std::sqrt(1.0 - 0.5 / fm);
                const int j = k - n - 1; // (n - 1, n - 1)
                p[k] = (1.0 + 1.0 / fm) * aa * clat * p[j];
                q[k] = aa * (clat * q[j] + slat / fm * p[j]);
                sl[m] = sl[m - 1] * cl[1] + cl[m - 1] * sl[1];
                cl[m] = cl[m - 1] * cl[1] - sl[m - 1] * sl[1];
            } else {
                aa = std::sqrt(fn * fn - fm * fm);
                bb = std::sqrt(((fn - 1.0) * (fn - 1.0)) - (fm * fm)) / aa;
                cc = (2.0 * fn - 1.0) / aa;
                const int ii = k - n;        // (n - 1, m)
                const int j = k - 2 * n + 1; // (n - 2, m); its weight bb is 0 when m = n - 1
                p[k] = (fn + 1.0) * (cc * slat / fn * p[ii] - bb / (fn - 1.0) * p[j]);
                q[k] = cc * (slat * q[ii] - clat / fn * p[ii]) - bb * q[j];
            }
        }
        aa = rr * gh[l];
        if (m == 0) {
            x = x + aa * q[k];
            z = z - aa * p[k];
            l = l + 1;
        } else {
            bb = rr * gh[l + 1];
            cc = aa * cl[m] + bb * sl[m];
            x = x + cc * q[k];
            z = z - cc * p[k];
            if (clat > 0) y = y + (aa * sl[m] - bb * cl[m]) * fm * p[k] / ((fn + 1.0) * clat);
            else y = y + (aa * sl[m] - bb * cl[m]) * q[k] * slat;
            l = l + 2;
        }
        m = m + 1;
    }
    // Back to the geodetic frame.
    aa = x;
    x = x * cd + z * sd;
    z = z * cd - aa * sd;
}

// Intensities under this (nT) leave an angle undefined.
constexpr double kTiny = 0.0001;
// pi as the model's software has always taken it.
constexpr double kPi = 3.141592654;

/// Horizontal and total intensity, declination and inclination (radians)
/// from the components.
void Angles(double x, double y, double z, double& h, double& f, double& d, double& i)
{
    h = std::sqrt(x * x + y * y);
    f = std::sqrt(h * h + z * z);
    if (f < kTiny) {
        d = kNaN;
        i = kNaN;
        return;
    }
    i = std::atan2(z, h);
    if (h < kTiny) d = kNaN;
    else if (h + x < kTiny) d = kPi;
    else d = 2.0 * std::atan2(y, h + x);
}

// Radians to degrees, 180 / 3.141592654.
constexpr double kRadToDeg = 57.29577950560105;
// Horizontal intensity (nT) under which the declination is left undefined.
constexpr double kMinHorizontal = 100.0;

/// The selected model (with the next one for a blend) and its two
/// coefficient sets as read: main field and secular variation, or the main
/// fields of the model and of the next one.
struct ModelAtHand {
    const ModelHeader* pModel;
    const ModelHeader* pNext;
    const Coeffs* pGh1;
    const Coeffs* pGh2;
};

/// The field at the date and one year later, declination and its annual
/// change, and the pole rules.
void ComputeField(const ModelAtHand& at, double lat, double lon, double alt, double sdate, tagXMagneticField& field)
{
    const ModelHeader& model = *at.pModel;
    Coeffs gh3{}, gh4{};
    int nmax;
    if (model.max2 != 0) {
        nmax = Extrapolate(sdate, model.epoch, model.max1, model.max2, *at.pGh1, *at.pGh2, gh3);
        Extrapolate(sdate + 1, model.epoch, model.max1, model.max2, *at.pGh1, *at.pGh2, gh4);
    } else {
        const ModelHeader& next = *at.pNext;
        nmax = Blend(sdate, model.yrmin, model.max1, next.yrmin, next.max1, *at.pGh1, *at.pGh2, gh3);
        Blend(sdate + 1, model.yrmin, model.max1, next.yrmin, next.max1, *at.pGh1, *at.pGh2, gh4);
    }

    const double elev = alt * 0.001; // km
    tagXMagneticElements now{}, later{};
    Synthesize(lat, lon, elev, nmax, gh3, now.x, now.y, now.z);
    Angles(now.x, now.y, now.z, now.h, now.f, now.d, now.i);
    Synthesize(lat, lon, elev, nmax, gh4, later.x, later.y, later.z);
    Angles(later.x, later.y, later.z, later.h, later.f, later.d, later.i);

    // The change over the year, folded into (-180, 180] degrees, in minutes.
    double ddot = (later.d - now.d) * kRadToDeg;
    if (ddot > 180.0) ddot -= 360.0;
    if (ddot <= -180.0) ddot += 360.0;
    ddot *= 60.0;

    for (tagXMagneticElements* e : {&now, &later}) {
        e->d *= kRadToDeg;
        e->i *= kRadToDeg;
    }
    if (now.h < kMinHorizontal) now.d = ddot = kNaN;
    if (90.0 - std::fabs(lat) <= kPoleMargin) now.x = now.y = now.d = ddot = kNaN;

    field.dDate = sdate;
    field.strModel = model.strName.c_str();
    field.dModelFrom = model.yrmin;
    field.dModelTo = model.yrmax;
    field.nDegree = nmax;
    field.now = now;
    field.later = later;
    field.ddot = ddot;
}

/// Index of the first model whose yrmax lies after the date, else of the
/// last one; -1 without models.
int SelectModel(const std::vector<ModelHeader>& models, double sdate)
{
    for (size_t i = 0; i < models.size(); ++i)
        if (sdate < models[i].yrmax) return int(i);
    return int(models.size()) - 1;
}

/// Whether the computation for model i can run: its degrees within the
/// arrays, and for a model without secular variation a next model (of a
/// degree within the arrays) to blend with.
bool CanCompute(const std::vector<ModelHeader>& models, int i)
{
    if (i < 0) return false;
    const ModelHeader& model = models[size_t(i)];
    if (!DegreeOk(model.max1) || !DegreeOk(model.max2)) return false;
    if (model.max2 != 0) return true;
    return size_t(i) + 1 < models.size() && DegreeOk(models[size_t(i) + 1].max1);
}

// ---- Reading on every call -------------------------------------------------

/// Opens the file again and reads one coefficient set from the position
/// after a model's header. False, with the message, when it cannot be opened.
bool ReadSetFromFile(const char* pszFile, long nPos, int nmax, bool bSecular, Coeffs& gh)
{
    FILE* fp = std::fopen(pszFile, "r");
    if (fp == nullptr) {
        std::printf("\nError on opening file %s", pszFile);
        std::fflush(stdout);
        return false;
    }
    char buf[kLineBuffer];
    if (std::fseek(fp, nPos, SEEK_SET) == 0)
        ReadCoefficients([&]() { return std::fgets(buf, kLineBuffer, fp); }, nmax, bSecular, gh);
    std::fclose(fp);
    return true;
}

bool FieldReadingEachCall(const char* pszFile, double lat, double lon, double alt, double sdate,
                          tagXMagneticField& field)
{
    // The text and binary modes of a file are the same here.
    FILE* fp = std::fopen(pszFile, "r");
    if (fp == nullptr) return false;
    std::vector<ModelHeader> models;
    const bool bScanned = ScanFile(fp, models, nullptr);
    std::fclose(fp);
    if (!bScanned) return false;

    const int i = SelectModel(models, sdate);
    if (!CanCompute(models, i)) return false;
    const ModelHeader& model = models[size_t(i)];
    Coeffs gh1{}, gh2{};
    ModelAtHand at{&model, nullptr, &gh1, &gh2};
    if (!ReadSetFromFile(pszFile, model.nFilePos, model.max1, false, gh1)) return false;
    if (model.max2 != 0) {
        if (!ReadSetFromFile(pszFile, model.nFilePos, model.max2, true, gh2)) return false;
    } else {
        at.pNext = &models[size_t(i) + 1];
        if (!ReadSetFromFile(pszFile, at.pNext->nFilePos, at.pNext->max1, false, gh2)) return false;
    }
    ComputeField(at, lat, lon, alt, sdate, field);
    return true;
}

// ---- The parsed file, kept between calls -----------------------------------

/// A file read once: its models and, per model, the coefficient sets the
/// computation reads, as reading the file at the model's position gives
/// them. bUsable is false for a file the scan rejects.
struct ParsedFile {
    bool bUsable = false;
    std::vector<ModelHeader> models;
    std::vector<Coeffs> main;    // columns 3 and 4 to degree max1
    std::vector<Coeffs> secular; // columns 5 and 6 to degree max2
};

/// What identifies one state of a file.
struct FileKey {
    std::string strPath;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long mtimeSec = 0;
    long mtimeNsec = 0;

    FileKey() = default;
    FileKey(const char* pszPath, const struct stat& st)
        : strPath(pszPath), dev(st.st_dev), ino(st.st_ino), size(st.st_size), mtimeSec(long(st.st_mtim.tv_sec)),
          mtimeNsec(long(st.st_mtim.tv_nsec))
    {
    }
    bool operator==(const FileKey&) const = default;
};

/// Reads and parses the file; null when it cannot be opened. key describes
/// the file that was read.
std::shared_ptr<const ParsedFile> ParseFile(const char* pszFile, FileKey& key)
{
    FILE* fp = std::fopen(pszFile, "r");
    if (fp == nullptr) return nullptr;
    struct stat st {};
    if (fstat(fileno(fp), &st) != 0) {
        std::fclose(fp);
        return nullptr;
    }
    key = FileKey(pszFile, st);
    auto parsed = std::make_shared<ParsedFile>();
    std::vector<std::string> lines;
    parsed->bUsable = ScanFile(fp, parsed->models, &lines);
    std::fclose(fp);
    if (!parsed->bUsable) return parsed;

    const size_t nModels = parsed->models.size();
    parsed->main.assign(nModels, Coeffs{});
    parsed->secular.assign(nModels, Coeffs{});
    for (size_t i = 0; i < nModels; ++i) {
        const ModelHeader& model = parsed->models[i];
        for (const bool bSecular : {false, true}) {
            const int nmax = bSecular ? model.max2 : model.max1;
            if (!DegreeOk(nmax)) continue; // never computed with (CanCompute)
            size_t nLine = model.nLine;
            ReadCoefficients([&]() { return nLine < lines.size() ? lines[nLine++].c_str() : nullptr; }, nmax, bSecular,
                             bSecular ? parsed->secular[i] : parsed->main[i]);
        }
    }
    return parsed;
}

/// The file last read, with the key it was read under.
struct ParsedFileCache {
    std::mutex mutex;
    FileKey key;
    std::shared_ptr<const ParsedFile> file;
};

/// The parsed file at pszFile, from the cache while the file is unchanged;
/// null when it cannot be read.
std::shared_ptr<const ParsedFile> GetParsedFile(const char* pszFile)
{
    static ParsedFileCache s_cache;
    struct stat st {};
    if (stat(pszFile, &st) != 0) return nullptr;
    const FileKey key(pszFile, st);
    std::lock_guard<std::mutex> lock(s_cache.mutex);
    if (s_cache.file != nullptr && s_cache.key == key) return s_cache.file;
    FileKey keyRead;
    std::shared_ptr<const ParsedFile> parsed = ParseFile(pszFile, keyRead);
    if (parsed != nullptr) {
        s_cache.key = keyRead;
        s_cache.file = parsed;
    }
    return parsed;
}

bool FieldFromCache(const char* pszFile, double lat, double lon, double alt, double sdate, tagXMagneticField& field)
{
    const std::shared_ptr<const ParsedFile> parsed = GetParsedFile(pszFile);
    if (parsed == nullptr || !parsed->bUsable) return false;
    const int i = SelectModel(parsed->models, sdate);
    if (!CanCompute(parsed->models, i)) return false;
    const size_t k = size_t(i);
    ModelAtHand at{&parsed->models[k], nullptr, &parsed->main[k], &parsed->secular[k]};
    if (at.pModel->max2 == 0) {
        at.pNext = &parsed->models[k + 1];
        at.pGh2 = &parsed->main[k + 1];
    }
    ComputeField(at, lat, lon, alt, sdate, field);
    return true;
}

} // namespace

namespace Xfn {

XString GetMagneticModelFile()
{
    XString str = GetResourcePath();
    const int n = str.GetLength();
    if (n == 0 || static_cast<const char*>(str)[n - 1] != kPathSeparator) str += kPathSeparator;
    return str + kModelFileName;
}

double MagneticDecimalDate(int year, int month, int day)
{
    // Days of a common year before the first of each month.
    static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (month < 1 || month > 12) return kNaN;
    const int leap = ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 1 : 0;
    const int dayInYear = kDaysBefore[month - 1] + day + (month > 2 ? leap : 0);
    return year + double(dayInYear) / (365 + leap);
}

bool CalcMagneticField(const char* pszFile, double lat, double lon, double alt, double dDate, tagXMagneticField& field,
                       _XMAGNETIC_READ eRead)
{
    if (pszFile == nullptr) return false;
    const CLocaleNumbers cLocale;
    return eRead == _XMAGNETIC_READ_EACH_CALL ? FieldReadingEachCall(pszFile, lat, lon, alt, dDate, field)
                                              : FieldFromCache(pszFile, lat, lon, alt, dDate, field);
}

XString DescribeMagneticModelFile(const char* pszFile)
{
    if (pszFile == nullptr) return XString("no file named");
    FILE* fp = std::fopen(pszFile, "r");
    if (fp == nullptr) return XString(std::strerror(errno));
    const CLocaleNumbers cLocale;
    std::vector<ModelHeader> models;
    std::string strWhy;
    const bool bScanned = ScanFile(fp, models, nullptr, &strWhy);
    std::fclose(fp);
    return XString(bScanned ? "" : strWhy.c_str());
}

bool CalcMagneticDeclination(double lat, double lon, double alt, double dDate, double& decl, double& ddot,
                             _XMAGNETIC_READ eRead)
{
    tagXMagneticField field;
    if (!CalcMagneticField(GetMagneticModelFile(), lat, lon, alt, dDate, field, eRead)) return false;
    decl = field.now.d;
    ddot = field.ddot;
    return true;
}

bool CalcMagneticDeclination(double lat, double lon, double alt, int year, int month, int day, double& decl,
                             double& ddot, _XMAGNETIC_READ eRead)
{
    const double dDate = MagneticDecimalDate(year, month, day);
    if (std::isnan(dDate)) return false;
    return CalcMagneticDeclination(lat, lon, alt, dDate, decl, ddot, eRead);
}

} // namespace Xfn

} // namespace Pelmora::Tivra
