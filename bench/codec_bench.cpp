// The codec benchmark: compressed size and speed of our two levels beside
// LZ4 HC 12 and 9, LZ4's fast level and zlib 9 on the same corpora, decoding
// speed beside LZ4's safe decoder and memcpy, and the best level against the
// exhaustive optimum on a few MB.
//
// Every decoder, memcpy included, writes into a freshly allocated block on
// each run, as the installer's decode_block does; freed blocks stay in the
// process, so that this measures decoding rather than the kernel mapping
// fresh pages. Each time is the fastest of several runs, in CPU time of the
// benchmark's thread (per core), except the best level on every core, which
// is wall time. Figures only: nothing here passes or fails.
//
//   codec_bench [binary_directory [text_directory...]]
#include "archive/codec.h"
#include "bench/bench_corpus.h"
#include "builder/compressor.h"
#include "builder/parsers.h"
#include "builder/reference_parser.h"

#include <lz4.h>
#include <malloc.h>
#include <lz4hc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

const size_t mib = size_t(1) << 20;

// CPU time of this thread: the machines that run this are shared, and other
// processes should not count against the codecs.
double thread_seconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

double wall_seconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

double seconds_of(const std::function<void()>& work, int runs, double (*clock)() = thread_seconds) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        double start = clock();
        work();
        best = std::min(best, clock() - start);
    }
    return best;
}

double mb_per_second(size_t bytes, double seconds) { return bytes / 1e6 / seconds; }

void fail(const char* what) {
    fprintf(stderr, "codec_bench: %s\n", what);
    exit(2);
}

struct Row {
    std::string codec;
    size_t size;
    double compress_seconds;
    double decompress_seconds;  // < 0: not measured
    double check_seconds = 0;   // ours: the walk that checks the tokens and sums the length
};

void print_row(const Row& row, size_t original) {
    printf("%-24s %12zu %7.2f%% %11.1f", row.codec.c_str(), row.size, 100.0 * row.size / original,
           row.compress_seconds > 0 ? mb_per_second(original, row.compress_seconds) : 0.0);
    if (row.decompress_seconds > 0) printf(" %12.1f", mb_per_second(original, row.decompress_seconds));
    if (row.check_seconds > 0 && row.decompress_seconds > row.check_seconds) {
        printf("   (check walk %.0f%%; the decoding walk alone %.1f)", 100 * row.check_seconds / row.decompress_seconds,
               mb_per_second(original, row.decompress_seconds - row.check_seconds));
    }
    printf("\n");
}

// threads 1: per core, in thread time; otherwise every core, in wall time.
Row ours(const Bytes& input, CompressionLevel level, const std::string& name, int runs, unsigned threads = 1) {
    Bytes block;
    double compress = seconds_of([&] { block = compress_block(input.data(), input.size(), level, threads); }, runs,
                                 threads == 1 ? thread_seconds : wall_seconds);
    double decompress = seconds_of(
        [&] {
            u8* data = block.data();
            i32 length = static_cast<i32>(block.size());
            if (!decode_block(&data, &length) || static_cast<size_t>(length) != input.size() ||
                memcmp(data, input.data(), input.size()) != 0) {
                fail("a block did not decode to its input");
            }
            core_free(data);
        },
        7);
    double check = seconds_of(
        [&] {
            if (block_decoded_length(block.data(), static_cast<i32>(block.size())) != static_cast<i32>(input.size())) {
                fail("a block's length walk disagrees with its decoding");
            }
        },
        7);
    return {name, block.size(), compress, decompress, check};
}

double lz4_decode_seconds(const Bytes& compressed, const Bytes& input) {
    return seconds_of(
        [&] {
            char* out = static_cast<char*>(malloc(input.size()));
            int n = LZ4_decompress_safe(reinterpret_cast<const char*>(compressed.data()), out,
                                        static_cast<int>(compressed.size()), static_cast<int>(input.size()));
            if (n != static_cast<int>(input.size()) || memcmp(out, input.data(), input.size()) != 0) {
                fail("LZ4 did not decode its block");
            }
            free(out);
        },
        7);
}

Row lz4(const Bytes& input, int level, int runs) {
    Bytes out(LZ4_compressBound(static_cast<int>(input.size())));
    int size = 0;
    const char* source = reinterpret_cast<const char*>(input.data());
    char* destination = reinterpret_cast<char*>(out.data());
    int capacity = static_cast<int>(out.size());
    int length = static_cast<int>(input.size());
    double compress = seconds_of(
        [&] {
            size = level > 0 ? LZ4_compress_HC(source, destination, length, capacity, level)
                             : LZ4_compress_default(source, destination, length, capacity);
        },
        runs);
    if (size <= 0) fail("LZ4 failed");
    out.resize(size);
    std::string name = level > 0 ? "LZ4 HC " + std::to_string(level) : "LZ4 default";
    return {name + " (safe decoder)", out.size(), compress, lz4_decode_seconds(out, input)};
}

Row zlib9(const Bytes& input, int runs) {
    Bytes out(compressBound(input.size()));
    uLongf size = 0;
    double compress = seconds_of(
        [&] {
            size = out.size();
            if (compress2(out.data(), &size, input.data(), input.size(), 9) != Z_OK) fail("zlib failed");
        },
        runs);
    out.resize(size);
    double decompress = seconds_of(
        [&] {
            uLongf n = input.size();
            unsigned char* plain = static_cast<unsigned char*>(malloc(input.size()));
            if (uncompress(plain, &n, out.data(), out.size()) != Z_OK || n != input.size()) fail("zlib did not decode");
            free(plain);
        },
        3);
    return {"zlib 9", out.size(), compress, decompress};
}

Row copy(const Bytes& input) {
    double seconds = seconds_of(
        [&] {
            void* out = malloc(input.size());
            memcpy(out, input.data(), input.size());
            if (memcmp(out, input.data(), 64) != 0) fail("memcpy");
            free(out);
        },
        7);
    return {"memcpy (the limit)", input.size(), 0, seconds};
}

// Seconds per core of the best level and of LZ4 HC 12 over every corpus so
// far, for the figure of all of them together.
double best_seconds_in_all = 0;
double lz4_hc12_seconds_in_all = 0;
size_t bytes_in_all = 0;

void bench_corpus(const Corpus& corpus) {
    const Bytes& input = corpus.bytes;
    printf("\n%s: %zu files, %zu bytes\n", corpus.name.c_str(), corpus.files, input.size());
    printf("%-24s %12s %8s %11s %12s\n", "codec", "size", "ratio", "comp MB/s", "decomp MB/s");
    print_row(ours(input, CompressionLevel::fast, "SEA fast", 3), input.size());
    Row best = ours(input, CompressionLevel::best, "SEA best", 1);
    print_row(best, input.size());
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    print_row(ours(input, CompressionLevel::best, "SEA best, " + std::to_string(cores) + " cores (wall)", 1, cores),
              input.size());
    Row hc12 = lz4(input, 12, 1);
    print_row(hc12, input.size());
    best_seconds_in_all += best.compress_seconds;
    lz4_hc12_seconds_in_all += hc12.compress_seconds;
    bytes_in_all += input.size();
    print_row(lz4(input, 9, 1), input.size());
    print_row(lz4(input, 0, 3), input.size());
    print_row(zlib9(input, 1), input.size());
    print_row(copy(input), input.size());
    fflush(stdout);
}

void bench_optimum(const Corpus& corpus, size_t slice) {
    size_t n = std::min(slice, corpus.bytes.size());
    const u8* data = corpus.bytes.data();
    size_t best = 0;
    double best_seconds = seconds_of([&] { best = compress_block(data, n, CompressionLevel::best).size(); }, 1);
    size_t optimum = 0;
    double optimum_seconds = seconds_of([&] { optimum = reference_block_size(data, n); }, 1);
    printf("%-18s first %5.2f MiB: exhaustive optimum %10zu (%6.1f s), best level %10zu (%5.1f s), %+.4f%%\n",
           corpus.name.c_str(), n / double(mib), optimum, optimum_seconds, best, best_seconds,
           100.0 * (double(best) - double(optimum)) / double(optimum));
}

// What parsing in segments of their own (for the threads) costs beside one
// parse of the whole corpus.
void bench_segments(const Corpus& corpus) {
    const Bytes& input = corpus.bytes;
    size_t segmented = compress_best(input.data(), input.size()).size();
    size_t whole = compress_best(input.data(), input.size(), best_chunk_size, input.size(), 1).size();
    printf("%-18s %5.1f MiB in segments of %zu MiB: %10zu, one segment %10zu, %+.4f%%\n", corpus.name.c_str(),
           input.size() / double(mib), best_segment_size / mib, segmented, whole,
           100.0 * (double(segmented) - double(whole)) / double(whole));
}

}  // namespace

int main(int argc, char** argv) {
    std::string binaries = argc > 1 ? argv[1] : "/usr/lib/i386-linux-gnu/wine/i386-windows";
    std::vector<std::string> texts;
    for (int i = 2; i < argc; ++i) texts.push_back(argv[i]);
    if (texts.empty()) texts = {"/usr/share/common-licenses", "/usr/share/doc"};

    // Freed blocks stay in the heap, so that every decoder's fresh block costs
    // the same few page faults rather than a new mapping of 40 MB per run.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);

    Corpus binary = binary_corpus(binaries, 40 * mib);
    Corpus text = text_corpus(texts, 10 * mib);
    if (binary.bytes.empty() && text.bytes.empty()) fail("no corpus found");
    printf("Sizes in bytes, ratio = compressed / original, speeds in MB/s of original bytes (10^6 B/s).\n");
    printf("Decoders write into a fresh block per run; times are the best of several runs, in thread CPU time.\n");
    printf("Our blocks do not store their decoded length, so our decoder walks each block twice: once to check\n"
           "every token and sum the length, then to decode into one allocation of exactly that length (no\n"
           "reservation beyond the result, no second copy while it grows). LZ4's decoder is handed the length.\n");
    for (const Corpus* corpus : {&binary, &text}) {
        if (!corpus->bytes.empty()) bench_corpus(*corpus);
    }
    if (!binary.bytes.empty() && !text.bytes.empty()) {
        double best = mb_per_second(bytes_in_all, best_seconds_in_all);
        double hc12 = mb_per_second(bytes_in_all, lz4_hc12_seconds_in_all);
        printf("\nBoth together (%.1f MB, as in bench/installer.sh's corpus), per core: SEA best %.1f MB/s,\n"
               "LZ4 HC 12 %.1f MB/s: %.2fx.\n",
               bytes_in_all / 1e6, best, hc12, best / hc12);
    }
    printf("\nBest level against the exhaustive optimal parse:\n");
    if (!binary.bytes.empty()) bench_optimum(binary, 3 * mib);
    if (!text.bytes.empty()) bench_optimum(text, 2 * mib);
    printf("\nThe best level in segments (one per thread at a time) against one parse of the whole:\n");
    for (const Corpus* corpus : {&binary, &text}) {
        if (!corpus->bytes.empty()) bench_segments(*corpus);
    }
    return 0;
}
