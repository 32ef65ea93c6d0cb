// Fuzz target: the score server's handling of one request's query (the text after '?' of a
// "/Scores.php" request) against a scratch score database that lives for the whole run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "score_service.h"
#include "score_store.h"

namespace {

scores::ScoreService& Service() {
    static const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("brindlewick-fuzz-scores-" + std::to_string(getpid()));
    static scores::ScoreStore store;
    static scores::ScoreService* service = [] {
        std::filesystem::create_directories(dir);
        std::atexit([] {
            store.Close();
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        });
        std::string error;
        if (!store.Open((dir / "scores.db").string(), error)) std::fprintf(stderr, "%s\n", error.c_str());
        return new scores::ScoreService(store);
    }();
    return *service;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Service().HandleScores(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
