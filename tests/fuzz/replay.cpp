// Runs every file of the given folders, in name order, through the fuzz target this program is
// linked with. Built with the ordinary compiler, it makes a target's corpus (every input that
// ever crashed it included) a plain test. A folder without files fails: a corpus that went
// missing must not pass silently.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder...\n", argv[0]);
        return 2;
    }
    for (int a = 1; a < argc; ++a) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(argv[a], error))
            if (entry.is_regular_file()) files.push_back(entry.path());
        if (error || files.empty()) {
            std::fprintf(stderr, "no inputs in %s\n", argv[a]);
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::fprintf(stderr, "replay %s (%zu bytes)\n", file.filename().c_str(), bytes.size());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        }
        std::fprintf(stderr, "replayed %zu inputs of %s\n", files.size(), argv[a]);
    }
    return 0;
}
