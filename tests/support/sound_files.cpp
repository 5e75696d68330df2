#include "sound_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

} // namespace

std::string soundDataPath(const std::string& name) {
    return std::string(TAVOFOX_TEST_DATA_DIR) + "/sound/" + name;
}

std::vector<std::uint8_t> soundData(const std::string& name) {
    std::ifstream file(soundDataPath(name), std::ios::binary);
    if (!file) throw std::runtime_error("missing test data " + name);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> canonicalWav(std::size_t n, std::uint8_t value) {
    std::vector<std::uint8_t> out;
    putTag(out, "RIFF");
    putLittleEndian(out, static_cast<std::uint32_t>(36 + n), 4);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2);     // PCM
    putLittleEndian(out, 1, 2);     // mono
    putLittleEndian(out, 11025, 4); // samples a second
    putLittleEndian(out, 11025, 4); // bytes a second
    putLittleEndian(out, 1, 2);     // bytes a frame
    putLittleEndian(out, 8, 2);     // bits a sample
    putTag(out, "data");
    putLittleEndian(out, static_cast<std::uint32_t>(n), 4);
    out.insert(out.end(), n, value);
    return out;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}
