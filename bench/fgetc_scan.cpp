// fgetc_scan: reads a file character by character with fgetc and prints the
// elapsed seconds and the byte count: the floor that any reader of the same
// file through stdio must pay.
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen(argv[1], "r");
    if (!f) {
        std::fprintf(stderr, "fgetc_scan: can't open file '%s'\n", argv[1]);
        return 1;
    }
    long bytes = 0, lines = 0;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        ++bytes;
        if (c == '\n') ++lines;
    }
    (void)std::fclose(f);  // read only: nothing to lose
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f %ld %ld\n", s, bytes, lines);
    return 0;
}
