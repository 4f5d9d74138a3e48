// xlate_once.cpp - the speed of one table direction on one file, for
// bench/before-after, which runs it against the library of another revision
// (LD_LIBRARY_PATH). It uses only calls every revision has, so that either
// library can stand behind it.
//
//   xlate_once HOME SERVER CLIENT FILE to-server|to-display CALLS
//   xlate_once --language SET
//
// Prints the best MiB/s of five runs of CALLS one-shot calls, and the output
// length, so that both revisions can be seen to do the same work; or the
// language of SET's real text, as the benchmarks choose it.
#include "corpus.h"

#include <intl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--language")
        return std::printf("%s\n", bench::language_of(argv[2]).c_str()) < 0;
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: xlate_once HOME SERVER CLIENT FILE to-server|to-display CALLS\n"
                     "       xlate_once --language SET\n");
        return 2;
    }
    if (intl_sethome(argv[1]) != INTL_OK)
        return std::fprintf(stderr, "xlate_once: cannot use %s\n", argv[1]), 1;
    const INTL_INT size = intl_xlatesize(argv[2], argv[3]);
    std::vector<unsigned char> buf(static_cast<std::size_t>(std::max<INTL_INT>(size, 0)) + 64);
    INTL_XLATE *tosrv = nullptr, *todisp = nullptr;
    if (size <= 0 || intl_load_xlate(buf.data(), argv[2], argv[3], &tosrv, &todisp) < 0)
        return std::fprintf(stderr, "xlate_once: cannot load %s/%s\n", argv[2], argv[3]), 1;
    const INTL_XLATE *table = std::string(argv[5]) == "to-display" ? todisp : tosrv;
    std::ifstream in(argv[4], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (table == nullptr || !in || text.empty())
        return std::fprintf(stderr, "xlate_once: no table or no text\n"), 1;
    std::vector<unsigned char> out(text.size() * 4 + 64);
    const int calls = std::max(1, std::atoi(argv[6]));
    double best = 1e30;
    INTL_INT produced = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int call = 0; call < calls; ++call) {
            INTL_INT used = 0, status = 0;
            produced = intl_xlate(reinterpret_cast<const unsigned char *>(text.data()),
                                  static_cast<INTL_INT>(text.size()), out.data(),
                                  static_cast<INTL_INT>(out.size()), table, &used, 1, &status);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / calls);
    }
    std::printf("%.0f %d\n", static_cast<double>(text.size()) / best / (1 << 20), produced);
}
