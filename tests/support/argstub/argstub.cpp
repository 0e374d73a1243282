// The application the tests start: it writes each of its arguments, followed
// by a NUL byte, to the file named by ORVANE_ARGSTUB_OUT and exits.
//
// The file is first written under a temporary name next to it and then
// renamed, so a test that waits for the file never reads it half written.
// An existing file is replaced, never appended to.
//
// Exit codes: 0 written, 1 the file could not be written, 2 no
// ORVANE_ARGSTUB_OUT in the environment.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool writeArguments(const std::string& path, int argc, char** argv)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    bool written = true;
    for (int i = 1; i < argc; ++i) {
        const std::size_t length = std::strlen(argv[i]) + 1; // with its NUL
        if (std::fwrite(argv[i], 1, length, out) != length) {
            written = false;
        }
    }
    return std::fclose(out) == 0 && written;
}

} // namespace

int main(int argc, char** argv)
{
    const char* target = std::getenv("ORVANE_ARGSTUB_OUT");
    if (target == nullptr || *target == '\0') {
        return 2;
    }
    const std::string finalPath = target;
    const std::string partPath = finalPath + ".part";
    if (!writeArguments(partPath, argc, argv)) {
        std::remove(partPath.c_str());
        return 1;
    }
    if (std::rename(partPath.c_str(), finalPath.c_str()) != 0) {
        // Some systems refuse to rename over an existing file.
        std::remove(finalPath.c_str());
        if (std::rename(partPath.c_str(), finalPath.c_str()) != 0) {
            std::remove(partPath.c_str());
            return 1;
        }
    }
    return 0;
}
