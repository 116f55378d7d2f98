// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzz targets without libFuzzer, for `make test`: each file named on
// the command line (or found in a folder named there) goes through the
// target as it is, then in MUTANTS altered copies: bytes flipped, cut off,
// doubled, dropped or set to a boundary value. The alterations come from a
// fixed seed, so every run tries the same inputs; the sanitizers of the
// build catch what goes wrong. `make fuzz` runs the real fuzzer.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

const int MUTANTS = 500;

uint32_t next(uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

std::vector<uint8_t> mutant(const std::vector<uint8_t>& in, uint32_t& s) {
    std::vector<uint8_t> out = in;
    static const uint8_t boundary[] = {0, 1, 0x7F, 0x80, 0xFF, '\n', ' ', '-', '9', '#'};
    for (int edits = 1 + (int)(next(s) % 4); edits > 0; edits--) {
        const size_t at = out.empty() ? 0 : next(s) % out.size();
        switch (next(s) % 6) {
            case 0:
                if (!out.empty()) out[at] ^= (uint8_t)(1u << (next(s) % 8));
                break;
            case 1: out.resize(at); break;
            case 2: out.insert(out.begin() + (long)at, out.begin() + (long)at, out.end()); break;
            case 3:
                if (!out.empty()) out.erase(out.begin() + (long)at);
                break;
            case 4:
                if (!out.empty()) out[at] = boundary[next(s) % sizeof boundary];
                break;
            default: out.insert(out.begin() + (long)at, (uint8_t)next(s)); break;
        }
        if (out.size() > (1u << 20)) out.resize(1u << 20);
    }
    return out;
}

bool read_file(const std::string& path, std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return true;
}

void collect(const std::string& path, std::vector<std::string>& files) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        files.push_back(path);
        return;
    }
    DIR* d = opendir(path.c_str());
    if (!d) return;
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.') collect(path + "/" + e->d_name, files);
    closedir(d);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) collect(argv[i], files);
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s SEED_FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    long runs = 0;
    uint32_t s = 0x9E3779B9u;
    std::vector<uint8_t> seed;
    for (const std::string& path : files) {
        if (!read_file(path, seed)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        runs++;
        for (int m = 0; m < MUTANTS; m++, runs++) {
            const std::vector<uint8_t> input = mutant(seed, s);
            LLVMFuzzerTestOneInput(input.data(), input.size());
        }
    }
    std::printf("%zu seeds, %ld inputs, no sanitizer report\n", files.size(), runs);
    return 0;
}
