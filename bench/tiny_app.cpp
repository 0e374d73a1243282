// The application opened by the opening figure. It ends at once; when
// ORVANE_BENCH_MARK names a file it first writes its first argument there,
// so that the benchmark can check that the program really ran.

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const char* mark = std::getenv("ORVANE_BENCH_MARK");
    if (mark == nullptr || *mark == '\0') {
        return 0;
    }
    std::FILE* out = std::fopen(mark, "wb");
    if (out == nullptr) {
        return 1;
    }
    if (argc > 1) {
        std::fwrite(argv[1], 1, std::strlen(argv[1]), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
