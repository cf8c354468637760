// The maker's own library. Programs ask it for the maker's homepage at the moment they need it,
// so the address lives in one place. The homepage travels with the program as a local page,
// found from where this library itself was installed.
#include <dlfcn.h>
#include <sys/stat.h>

#include <string>

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
    // Beside the library in a build tree; under share/ once installed (lib/ or lib/<triplet>/).
    static std::string address;
    const std::string here = ownFolder();
    address.clear();
    for (const char* relative : { "/homepage/index.html", "/../share/kururin/homepage/index.html",
                                  "/../../share/kururin/homepage/index.html" }) {
        const std::string candidate = here + relative;
        if (!here.empty() && isFile(candidate)) {
            char resolved[4096];
            address = fileUrl(::realpath(candidate.c_str(), resolved) ? std::string(resolved) : candidate);
            break;
        }
    }
    return address.c_str();
}
