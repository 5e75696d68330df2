#include "golden.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "core/formats/timer_memory_map.h"
#include "emulator/timer_emulator.h"

std::vector<std::uint8_t> goldenBytes(const std::string& name) {
    const std::string path = std::string(TAVOFOX_TEST_DATA_DIR) + "/" + name;
    std::ifstream file(path);
    if (!file) ADD_FAILURE() << "no golden data " << path;
    std::vector<std::uint8_t> bytes;
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        for (std::string word; words >> word;) {
            std::size_t used = 0;
            const unsigned long value = std::stoul(word, &used, 16);
            if (used != word.size() || word.size() != 2) ADD_FAILURE() << path << ": not a byte: " << word;
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    return bytes;
}

void loadGoldenImage(TimerEmulator& timer, const std::string& name) {
    const std::vector<std::uint8_t> image = goldenBytes(name);
    if (image.size() != TimerMemoryMap::imageLength) {
        ADD_FAILURE() << name << " holds " << image.size() << " bytes, not an image";
        return;
    }
    std::copy(image.begin(), image.end(), timer.parameterMemory().begin());
}
