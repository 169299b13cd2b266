// What the program's GDAL modules let GDAL see of the machine.

#include "gdalguard/gdalguard.h"

#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <cpl_string.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace GdalGuard {

namespace {

// The terrain's formats of elevation models and the pictures someone may
// take for one (kept so that they get their own message), then the export's
// writers: MEM, and MBTiles with the SQLite driver it opens its database
// through. Every other driver, above all those that reach a server (WMS,
// PLScenes, KML super-overlays, netCDF's OPeNDAP...), leaves the process.
const char *const kAllowedDrivers[] = {
    "GTiff",   "VRT",     "SRTMHGT", "AAIGrid",     "GRASSASCIIGrid",
    "DTED",    "USGSDEM", "HFA",     "AIG",         "EHdr",
    "ENVI",    "ERS",     "BT",      "GSAG",        "GSBG",
    "GS7BG",   "SAGA",    "RST",     "ILWIS",       "RMF",
    "NWT_GRD", "ACE2",    "JDEM",    "Leveller",    "Terragen",
    "HF2",     "RRASTER", "JPEG",    "PNG",         "GIF",
    "BMP",     "WEBP",    "PNM",     "JP2OpenJPEG", "MEM",
    "MBTiles", "SQLite"};

// A virtual raster is parsed whole before GDAL sees it: one larger than any
// hand- or tool-made one is refused from its size.
constexpr long long kMaxVirtualRasterBytes = 16LL * 1024 * 1024;
// Virtual rasters within virtual rasters, below the model itself.
constexpr int kMaxNesting = 3;
// Elements within elements of one virtual raster: gdalbuildvrt's go six deep.
constexpr int kMaxXmlDepth = 64;
// Datasets one model may name in all, through every level.
constexpr std::size_t kMaxNamedDatasets = 65536;
// GDAL decides that a file is a virtual raster from its first bytes.
constexpr std::size_t kHeaderBytes = 1024;

// The kinds of virtual datasets and bands that only read other rasters
// through GDAL's drivers: never the raw bytes of a file, never code. A warped
// raster is left out: GDAL builds its transformer from the file's systems as
// it opens it, and GDAL 3.6 with PROJ 9.1 crashes on some (a geographic
// system carrying the code of a geocentric one).
const char *const kDatasetKinds[] = {"", "VRTDataset"};
const char *const kBandKinds[] = {"VRTSourcedRasterBand"};
// Elements whose text names a dataset GDAL opens: the sources of every kind
// of band, overview and mask band, and the source of a warped raster.
const char *const kDatasetElements[] = {"SourceFilename", "SourceDataset"};
// Files beside a raster that GDAL opens as datasets of their own, with any
// driver: external overviews, masks, and Imagine's auxiliary files.
const char *const kCompanionSuffixes[] = {".ovr", ".msk", ".aux"};

bool oneOf(const char *value, const auto &list)
{
    return std::any_of(std::begin(list), std::end(list),
                       [&](const char *item) { return EQUAL(value, item); });
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool containsNoCase(const std::string &text, const char *part)
{
    return lower(text).find(lower(part)) != std::string::npos;
}

std::optional<std::string> realPath(const std::string &path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool isUnder(const std::string &resolved, const std::string &root)
{
    return root == "/" || resolved == root || resolved.rfind(root + '/', 0) == 0;
}

// A FIFO blocks whoever opens it, a terminal whoever reads it, and a disk or
// /dev/zero never ends; a socket only refuses to open, and a folder with a
// database server's socket in it may well hold a model.
bool blocks(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

// Whether the regular file at `resolved` is one GDAL would take for a
// virtual raster. Opened without blocking, should it have been replaced by a
// FIFO since it was looked at.
bool looksVirtual(const std::string &resolved)
{
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    std::string header(kHeaderBytes, '\0');
    ssize_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        got = ::read(fd, header.data(), header.size());
    ::close(fd);
    header.resize(std::max<ssize_t>(got, 0));
    return std::string_view(header).find("<VRTDataset") != std::string_view::npos;
}

// One model's check: every file GDAL will open for it, and the folders they
// lie in, each looked at once.
class Check
{
public:
    explicit Check(std::string root) : m_root(std::move(root)) {}

    // `path` as GDAL will be given it; `nesting` counts the virtual rasters
    // above it; `inside`: it must lie in the model's folder tree.
    bool file(const std::string &path, int nesting, bool inside)
    {
        if (!isPlainLocalPath(path))
            return false;
        const std::optional<std::string> resolved = realPath(path);
        struct stat st;
        if (!resolved || (inside && !isUnder(*resolved, m_root)) ||
            ::stat(resolved->c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            !folderIsSafe(folderOf(path)))
            return false;
        if (!looksVirtual(*resolved)) {
            // Plain rasters are the same whichever virtual raster names them.
            if (!m_plain.insert(*resolved).second)
                return true;
            return companions(path, nesting);
        }
        if (nesting > kMaxNesting || st.st_size > kMaxVirtualRasterBytes ||
            std::find(m_chain.begin(), m_chain.end(), *resolved) != m_chain.end())
            return false;
        const auto checked = m_checked.find(*resolved);
        if (checked != m_checked.end() && nesting <= checked->second)
            return true;
        m_chain.push_back(*resolved);
        const bool safe = companions(path, nesting) && virtualRaster(path, *resolved, nesting);
        m_chain.pop_back();
        if (safe)
            m_checked[*resolved] = nesting;
        return safe;
    }

private:
    // Whether nothing in `folder` could block GDAL when opened: a FIFO, a
    // device, or a link to one. Such a file could be any raster's companion,
    // or named by a header GDAL reads (ER Mapper's DataFile), so the whole
    // folder is looked at.
    bool folderIsSafe(const std::string &folder)
    {
        const auto known = m_folders.find(folder);
        if (known != m_folders.end())
            return known->second.has_value();
        std::optional<std::vector<std::string>> &companions = m_folders[folder];
        const auto close = [](DIR *d) { ::closedir(d); };
        std::unique_ptr<DIR, decltype(close)> dir(::opendir(folder.c_str()), close);
        if (!dir)
            return false;
        std::vector<std::string> found;
        while (const dirent *entry = ::readdir(dir.get())) {
            const std::string name = entry->d_name;
            struct stat st;
            if (entry->d_type != DT_REG && entry->d_type != DT_DIR &&
                ::fstatat(::dirfd(dir.get()), entry->d_name, &st, 0) == 0 && blocks(st.st_mode))
                return false;
            const std::string low = lower(name);
            for (const char *suffix : kCompanionSuffixes) {
                if (low.size() > std::strlen(suffix) &&
                    low.compare(low.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
                    found.push_back(name);
            }
        }
        companions = std::move(found);
        return true;
    }

    // The files beside `path` that GDAL may open as datasets with any
    // driver: checked like the model's own sources.
    bool companions(const std::string &path, int nesting)
    {
        const std::string folder = folderOf(path);
        const std::string name = lower(path.substr(path.rfind('/') + 1));
        const std::string stem = name.substr(0, name.rfind('.'));
        for (const std::string &entry : *m_folders.at(folder)) {
            const std::string low = lower(entry);
            const bool companion =
                low != name && std::any_of(std::begin(kCompanionSuffixes),
                                           std::end(kCompanionSuffixes), [&](const char *suffix) {
                                               return low == name + suffix || low == stem + suffix;
                                           });
            if (!companion)
                continue;
            std::string beside = folder;
            beside += '/';
            beside += entry;
            struct stat st;
            if (::stat(beside.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
                !file(beside, nesting + 1, true))
                return false;
        }
        return true;
    }

    bool virtualRaster(const std::string &path, const std::string &resolved, int nesting)
    {
        std::unique_ptr<CPLXMLNode, decltype(&CPLDestroyXMLNode)> xml(
            CPLParseXMLFile(resolved.c_str()), &CPLDestroyXMLNode);
        if (!xml)
            return false;
        // Relative sources are taken from the folder of the path GDAL is
        // given, in GDAL's own way.
        const std::string folder = CPLGetPath(path.c_str());
        std::vector<std::pair<const CPLXMLNode *, int>> pending{{xml.get(), 0}};
        while (!pending.empty()) {
            auto [node, depth] = pending.back();
            pending.pop_back();
            for (; node; node = node->psNext) {
                if (node->eType != CXT_Element)
                    continue;
                if (!element(node, folder, nesting))
                    return false;
                if (node->psChild) {
                    if (depth >= kMaxXmlDepth)
                        return false;
                    pending.emplace_back(node->psChild, depth + 1);
                }
            }
        }
        return true;
    }

    bool element(const CPLXMLNode *node, const std::string &folder, int nesting)
    {
        const char *name = node->pszValue;
        if (EQUAL(name, "VRTDataset"))
            return oneOf(CPLGetXMLValue(node, "subClass", ""), kDatasetKinds);
        if (EQUAL(name, "VRTRasterBand"))
            return oneOf(CPLGetXMLValue(node, "subClass", "VRTSourcedRasterBand"), kBandKinds);
        // Geolocation arrays are datasets named in metadata, opened by the
        // transformer that reads them; GDAL 3.6 crashes reading through a
        // kernel that lacks its size, and no elevation model needs one.
        if (EQUAL(name, "GeoLocTransformer") || EQUAL(name, "KernelFilteredSource") ||
            (EQUAL(name, "MDI") && containsNoCase(CPLGetXMLValue(node, "key", ""), "_DATASET")))
            return false;
        if (!oneOf(name, kDatasetElements))
            return true;
        const char *named = CPLGetXMLValue(node, nullptr, nullptr);
        if (!named || ++m_named > kMaxNamedDatasets)
            return false;
        const bool relative = std::atoi(CPLGetXMLValue(node, "relativeToVRT", "0")) != 0;
        const std::string source =
            relative ? std::string(CPLProjectRelativeFilename(folder.c_str(), named)) : named;
        return file(source, nesting + 1, true);
    }

    const std::string m_root; // the model's folder, resolved
    // The folders looked at, with the names of their companion files; none
    // for a folder that could block.
    std::map<std::string, std::optional<std::vector<std::string>>> m_folders;
    std::set<std::string> m_plain;        // rasters already checked
    std::map<std::string, int> m_checked; // virtual rasters found safe, at this nesting
    std::vector<std::string> m_chain;     // virtual rasters being checked, outermost first
    std::size_t m_named = 0;
};

} // namespace

void confineDrivers()
{
    static std::vector<GDALDriverH> confined;
    const auto registered = [] {
        std::vector<GDALDriverH> drivers;
        for (int i = 0, n = GDALGetDriverCount(); i < n; ++i)
            drivers.push_back(GDALGetDriver(i));
        return drivers;
    };
    std::vector<GDALDriverH> drivers = registered();
    if (drivers == confined)
        return;
    for (GDALDriverH driver : drivers) {
        if (!oneOf(GDALGetDriverShortName(driver), kAllowedDrivers)) {
            GDALDeregisterDriver(driver);
            GDALDestroyDriver(driver);
        }
    }
    confined = registered();
}

// An absolute path can start with no driver prefix ("PLScenes:", "NETCDF:");
// the virtual file systems may be nested anywhere in a path (/vsigzip//vsi...),
// and GDAL reads a backslash as a separator where the system does not.
bool isPlainLocalPath(const std::string &path)
{
    return !path.empty() && path.front() == '/' && path.find('\\') == std::string::npos &&
           path.find("://") == std::string::npos && !containsNoCase(path, "/vsi") &&
           !containsNoCase(path, "<VRTDataset");
}

bool mayOpen(const std::string &path)
{
    if (!isPlainLocalPath(path))
        return false;
    const std::optional<std::string> root = realPath(folderOf(path));
    return root && Check(*root).file(path, 0, false);
}

bool usesOnlyItsFolder(GDALDatasetH dataset, const std::string &path)
{
    const std::optional<std::string> root = realPath(folderOf(path));
    if (!root)
        return false;
    std::unique_ptr<char *, decltype(&CSLDestroy)> files(GDALGetFileList(dataset), &CSLDestroy);
    for (char **file = files.get(); file && *file; ++file) {
        if (*file == path)
            continue;
        if (!isPlainLocalPath(*file))
            return false;
        errno = 0;
        const std::optional<std::string> resolved = realPath(*file);
        // A file GDAL lists but could not find was never read.
        if (resolved ? !isUnder(*resolved, *root) : errno != ENOENT)
            return false;
    }
    return true;
}

} // namespace GdalGuard
