// The maker's own library. Programs ask it for the maker's homepage at the moment they need it,
// so the address lives in one place. The homepage travels with the program as a local page,
// found from where this library itself was installed.
#include <dlfcn.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

bool isFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A file URL: everything but unreserved characters and "/" percent-encoded.
std::string fileUrl(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0x0F];
        }
    }
    return url;
}

std::string ownFolder()
{
    Dl_info info {};
    if (::dladdr(reinterpret_cast<void*>(&fileUrl), &info) == 0 || !info.dli_fname)
        return {};
    char resolved[4096];
    if (!::realpath(info.dli_fname, resolved))
        return folderOf(info.dli_fname);
    return folderOf(resolved);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const char* SoramichiHpURL()
{
    static std::string address;
    address.clear();
    const std::string here = ownFolder();
    if (here.empty())
        return address.c_str();
    // Beside the library in a build tree; once installed, under the prefix's share/ folder, a
    // few levels up from lib/, lib/<triplet>/ or lib/<triplet>/kururin/.
    std::vector<std::string> candidates { here + "/homepage/index.html" };
    std::string prefix = here;
    for (int up = 0; up < 4 && prefix.size() > 1; ++up) {
        prefix = folderOf(prefix);
        candidates.push_back((prefix == "/" ? std::string() : prefix) + "/share/kururin/homepage/index.html");
    }
    for (const std::string& candidate : candidates) {
        char resolved[4096];
        if (isFile(candidate)) {
            address = fileUrl(::realpath(candidate.c_str(), resolved) ? std::string(resolved) : candidate);
            break;
        }
    }
    return address.c_str();
}
