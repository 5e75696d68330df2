#include "core/operations/write_log.h"

#include <array>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/company_key.h"
#include "core/formats/utf8_path.h"

namespace {

constexpr const char* logFolder = "tavofox";
constexpr const char* logFile = "writes.csv";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path dataFolder() {
#ifdef _WIN32
    return utf8Path(environment("APPDATA"));
#else
    if (const std::string data = environment("XDG_DATA_HOME"); !data.empty()) return utf8Path(data);
    return utf8Path(environment("HOME")) / ".local" / "share";
#endif
}

std::string csvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The fields of one record; a quoted field may hold line breaks, so records are read from
// the whole text.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = records.back().back();
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\n') {
            records.emplace_back(1);
        } else if (c != '\r') {
            field += c;
        }
    }
    if (records.back().size() == 1 && records.back().front().empty()) records.pop_back();
    return records;
}

} // namespace

std::filesystem::path writeLogPath() {
    return dataFolder() / companyKey / logFolder / logFile;
}

std::string writeLogNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local);
    return text.data();
}

std::string formatWriteLogLine(const WriteLogEntry& e) {
    std::string line;
    for (const std::string* field :
         {&e.time, &e.port, &e.timer, &e.setup, &e.fox, &e.cycleId, &e.cwText, &e.outcome})
        line += (line.empty() && field == &e.time ? "" : ",") + csvField(*field);
    return line;
}

bool appendWriteLog(const WriteLogEntry& entry) {
    const std::filesystem::path path = writeLogPath();
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    const bool fresh = !std::filesystem::exists(path, error);
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file) return false;
    if (fresh) file << writeLogHeader << '\n';
    file << formatWriteLogLine(entry) << '\n';
    file.flush();
    return static_cast<bool>(file);
}

std::optional<std::vector<WriteLogEntry>> readWriteLog() {
    const std::filesystem::path path = writeLogPath();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return std::vector<WriteLogEntry>{};
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream content;
    content << file.rdbuf();
    std::vector<WriteLogEntry> entries;
    for (auto& fields : csvRecords(content.str())) {
        if (fields.size() < 8 || (entries.empty() && fields[0] == "time")) continue;
        entries.push_back(
            {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]});
    }
    return entries;
}
