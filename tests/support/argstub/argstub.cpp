// The application the tests start: writes each of its arguments, followed by
// a NUL byte, to the file named by ORVANE_ARGSTUB_OUT. It writes to a
// neighbour first and renames it, so a waiting test never reads half a file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    const char* target = std::getenv("ORVANE_ARGSTUB_OUT");
    if (target == nullptr || *target == '\0')
        return 2;
    const std::string part = std::string(target) + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    bool written = out != nullptr;
    for (int i = 1; written && i < argc; ++i)
        written = std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, out) == std::strlen(argv[i]) + 1;
    written = out != nullptr && std::fclose(out) == 0 && written;
    return written && std::rename(part.c_str(), target) == 0 ? 0 : 1;
}
